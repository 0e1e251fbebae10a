#pragma once
// Lookup tables derived from the weight tables for one setting, so every
// draw of the game loop is one or two loads. Built with Rate_TBL::Lookup
// itself, so they agree with it by construction (and tests check all values).
#include <array>
#include <cstdint>

#include "machine/rate_tbl.h"
#include "machine/tables.h"
#include "machine/vocabulary.h"

namespace morvane {

using WeightTables = std::array<Rate_TBL<int>, kTableCount>;

struct DrawTables {
    DrawTables();
    // Holds pointers into itself.
    DrawTables(const DrawTables&) = delete;
    DrawTables& operator=(const DrawTables&) = delete;

    // The small-win value 0 .. 2^20 - 1 sits in the top 20 bits of a 64-bit
    // word, so the loop reads it from one product of the generator state.
    static constexpr int kKoyakuValueShift = 64 - 20;
    static constexpr int kBucketBits = 10;
    static constexpr int kBuckets = 1 << kBucketBits;
    static constexpr int kBucketShift = 64 - kBucketBits;
    // No word lies above it.
    static constexpr std::uint64_t kNoBoundary = ~std::uint64_t{0};

    // Throws std::logic_error for a small-win table the lookup below cannot
    // serve: a weight narrower than a bucket, or more than kKoyakuKinds
    // outcomes.
    void Build(const WeightTables& t, int setting);

    struct KoyakuRow;
    // The row of the small win of a value placed as described above; the
    // bits below it do not count. Every bucket of 1024 values holds at most
    // one boundary of the cumulative table, and the small win past it is the
    // one the next bucket starts with (every weight is wider than a bucket),
    // so one compare picks between the two buckets' rows.
    const KoyakuRow& RowOfTop(std::uint64_t top) const {
        const std::size_t b = static_cast<std::size_t>(top >> kBucketShift);
        return *bucketRow[b + (top > lastBeforeNext[b] ? 1 : 0)];
    }
    std::uint32_t KoyakuOfTop(std::uint64_t top) const { return RowOfTop(top).koyaku; }
    // Small win of a value 0 .. 2^20 - 1.
    int Koyaku(std::int32_t a) const {
        return static_cast<int>(
            KoyakuOfTop(static_cast<std::uint64_t>(static_cast<std::uint32_t>(a)) << kKoyakuValueShift));
    }
    // Next mode from an ordinary mode after small win k and mode draw r.
    int NextMode(int mode, int k, std::int32_t r) const {
        return static_cast<int>(NextMode8(8 * static_cast<std::uint32_t>(mode), static_cast<std::uint32_t>(k),
                                          static_cast<std::uint32_t>(r)) /
                                8);
    }
    // The same with modes as multiples of 8: the load does not wait for the
    // mode, only the shift does, which keeps the game-to-game chain short.
    std::uint32_t NextMode8(std::uint32_t mode8, std::uint32_t k, std::uint32_t r) const {
        return NextMode8(mode8, rows[k], r);
    }
    static std::uint32_t NextMode8(std::uint32_t mode8, const KoyakuRow& row, std::uint32_t r) {
        return (row.modeNext[r] >> mode8) & 0xFF;
    }
    int KMode(int bbKind, std::int32_t a) const {
        return kmodeOf[bbKind == BlueBB ? 0 : 1][static_cast<std::size_t>(a)];
    }
    int Keizoku(int kmode, std::int32_t a) const {
        return keizokuOf[static_cast<std::size_t>(kmode)][static_cast<std::size_t>(a)];
    }
    int InitMode(std::int32_t a) const { return initModeOf[static_cast<std::size_t>(a)]; }
    // Whether a precursor at `count` steps goes on after drawing x, that is
    // x % (32 - count) != 0: a multiply and compare instead of a division
    // (x * c mod 2^64 <= c - 1 exactly when d divides x, c = ceil(2^64 / d),
    // for every 32-bit x).
    static bool PrecursorGoesOn(std::int32_t count, std::int32_t x) {
        const std::uint64_t c = kDivisibility[static_cast<std::size_t>(count)];
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) * c > c - 1;
    }

    static constexpr std::array<std::uint64_t, kPrecursorSpan> kDivisibility = [] {
        std::array<std::uint64_t, kPrecursorSpan> c{};
        for (int count = 0; count < kPrecursorSpan; ++count)
            c[static_cast<std::size_t>(count)] =
                ~std::uint64_t{0} / static_cast<std::uint64_t>(kPrecursorSpan - count) + 1;
        return c;  // the modulus 1 wraps to 0, which still compares right
    }();

    // What an ordinary game needs once its small win is known, together, so
    // the loop finds it all from one pointer.
    struct KoyakuRow {
        // By mode draw, 8 times the next mode from Hamari, LowProb and
        // HighProb in bytes 0..2; a small win that selects no table keeps
        // the mode.
        std::array<std::uint32_t, kModeModulus> modeNext;
        // What the game adds to the record's first word, {gamesSinceBB,
        // medalBalance}: one game and the net payout. The count stays far
        // below 2^32, so no carry reaches the balance, whose half wraps as
        // the 32-bit counter does.
        std::uint64_t gameStep;
        std::uint32_t koyaku;
        // The record's last word, {mode, koyaku}, by 8 times the mode.
        std::array<std::uint64_t, kModes> modeAndKoyaku;
        std::uint64_t ModeAndKoyaku(std::uint32_t mode8) const { return modeAndKoyaku[mode8 / 8]; }
    };

    std::array<KoyakuRow, kKoyakuKinds> rows{};
    // By bucket, the last word before the next bucket's small win starts in
    // it (kNoBoundary: it does not), and the row of its first value; one
    // more at the end, never reached but by a bucket that would be wrong.
    std::array<std::uint64_t, kBuckets> lastBeforeNext{};
    std::array<const KoyakuRow*, kBuckets + 1> bucketRow{};
    std::array<std::array<std::uint8_t, kKModeModulus>, 2> kmodeOf{};
    std::array<std::array<std::uint8_t, kKeizokuModulus>, kKModes> keizokuOf{};
    std::array<std::uint8_t, kInitModeModulus> initModeOf{};
};

}  // namespace morvane
