#pragma once
// Slot: the simulated machine. Its state fields are public so the run, the
// file writer and tests can read them directly; Play mutates them.
#include <array>
#include <cstdint>

#include "machine/random.h"
#include "machine/rate_tbl.h"
#include "machine/tables.h"
#include "machine/vocabulary.h"

namespace morvane {

// The balance wraps like the 32-bit counter it is instead of overflowing.
inline std::int32_t AddMedals(std::int32_t balance, std::int32_t delta) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(balance) + static_cast<std::uint32_t>(delta));
}

// What one game leaves behind, in the binding order of the play history.
struct GameRecord {
    std::int32_t gamesSinceBB;
    std::int32_t medalBalance;
    std::int32_t bbSets;
    std::int32_t playCount;
    std::int32_t bbKind;
    std::int32_t kmode;
    std::int32_t mode;
    std::int32_t koyaku;
};

class Slot {
public:
    Slot();                                 // seeded from the clock
    explicit Slot(std::uint32_t seed);

    // Throws std::out_of_range for a setting outside 1..6 and changes nothing.
    void SetFlevel(int s);
    int GetFlevel() const { return flevel; }
    void Reset();
    void Play() { PlayGames(1, [](const GameRecord&) {}); }

    // Plays n games and calls onGame(record) after each. The state lives in
    // locals for the whole loop, so the compiler can keep it in registers.
    template <class OnGame>
    void PlayGames(std::int64_t n, OnGame&& onGame);

    GameRecord Record() const {
        return {gamesSinceBB, medalBalance, bbSets, playCount, bbKind, kmode, mode, koyaku};
    }

    std::int32_t Rand31() { return rng_.Rand31(); }
    Random& Rng() { return rng_; }
    const Rate_TBL<int>& Table(int id) const { return tables_[static_cast<std::size_t>(id)]; }

    // Fast equivalents of the table lookups the game loop uses, for the
    // current setting; exposed so tests can hold them against Lookup.
    int KoyakuOf(std::int32_t a) const {
        const std::uint8_t b = koyakuBucket_[static_cast<std::uint32_t>(a) >> kBucketShift];
        return b != kMixedBucket ? b : KoyakuCounted(a);
    }
    int NextMode(int mode, int koyaku, std::int32_t r) const {
        return static_cast<int>((modeNext_[koyaku][r] >> (8 * mode)) & 0xFF);
    }

    // Machine state, the names the history and files speak of.
    std::int32_t flevel = 1;
    std::int32_t precursorCount = 0;
    std::int32_t gamesSinceBB = 0;
    std::int32_t playCount = 0;
    std::int32_t medalBalance = 0;
    std::int32_t bbKind = 0;
    std::int32_t kmode = 0;
    std::int32_t bbSets = 0;
    std::int32_t mode = 0;
    std::int32_t koyaku = 0;

private:
    struct Hot {
        std::uint64_t s;
        std::int32_t precursorCount, gamesSinceBB, playCount, medalBalance;
        std::int32_t bbKind, kmode, bbSets, mode, koyaku;
    };

    static constexpr int kBucketShift = 8;
    static constexpr int kBuckets = kKoyakuModulus >> kBucketShift;
    static constexpr std::uint8_t kMixedBucket = 0xFF;

    void FillTables();
    void BuildFastTables();
    int KoyakuCounted(std::int32_t a) const;
    int DrawInitMode(std::uint64_t& s) const;
    // Precursor steps and BBs: rare, kept out of the inner loop.
    Hot SlowStep(Hot h) const;
    void PlayBB(Hot& h) const;

    Random rng_;
    std::array<Rate_TBL<int>, kTableCount> tables_;

    // Derived from tables_ for the current setting.
    std::array<std::uint8_t, kBuckets> koyakuBucket_{};
    std::array<std::int32_t, 9> koyakuCum_{};
    // Next mode for each ordinary mode packed in bytes 0..2, by small win and
    // the mode draw's value; a small win that selects no table keeps the mode.
    std::array<std::array<std::uint32_t, kModeModulus>, kKoyakuKinds> modeNext_{};
};

template <class OnGame>
inline void Slot::PlayGames(std::int64_t n, OnGame&& onGame) {
    Hot h{rng_.State(), precursorCount, gamesSinceBB, playCount, medalBalance,
          bbKind, kmode, bbSets, mode, koyaku};
    for (std::int64_t i = 0; i < n; ++i) {
        if (h.bbKind != 0) {
            h.gamesSinceBB = 1;
            h.bbSets = 0;
            h.bbKind = 0;
        } else if (++h.gamesSinceBB == kCeilingGames) [[unlikely]] {
            h.s = h.s * Random::kMul + 1;
            h.mode = (Random::Output(h.s) & 1) ? Precursor : Blue7;
        }
        ++h.playCount;
        if (h.mode < kOrdinaryModes) [[likely]] {
            // Small win and mode draw from one state, in parallel.
            const std::uint64_t s1 = h.s * Random::kMul + 1;
            const std::uint64_t s2 = h.s * kMul2 + kAdd2;
            h.s = s2;
            const int k = KoyakuOf(Random::Output(s1) & (kKoyakuModulus - 1));
            h.koyaku = k;
            h.medalBalance = AddMedals(h.medalBalance, kPayout[static_cast<std::size_t>(k)] - kBet);
            h.mode = NextMode(h.mode, k, Random::Output(s2) & (kModeModulus - 1));
        } else {
            h = SlowStep(h);
        }
        onGame(GameRecord{h.gamesSinceBB, h.medalBalance, h.bbSets, h.playCount,
                          h.bbKind, h.kmode, h.mode, h.koyaku});
    }
    rng_.SetState(h.s);
    precursorCount = h.precursorCount;
    gamesSinceBB = h.gamesSinceBB;
    playCount = h.playCount;
    medalBalance = h.medalBalance;
    bbKind = h.bbKind;
    kmode = h.kmode;
    bbSets = h.bbSets;
    mode = h.mode;
    koyaku = h.koyaku;
}

}  // namespace morvane
