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
    static constexpr int kBucketShift = 8;
    static constexpr int kBuckets = kKoyakuModulus >> kBucketShift;
    static constexpr std::uint8_t kMixedBucket = 0xFF;

    void Build(const WeightTables& t, int setting);

    // Small win of a value 0 .. 2^20 - 1. Almost every bucket of 256 values
    // lies inside one entry; the few that straddle a boundary count sums.
    int Koyaku(std::int32_t a) const {
        const std::uint8_t b = koyakuBucket[static_cast<std::uint32_t>(a) >> kBucketShift];
        if (b != kMixedBucket) [[likely]] return b;
        int n = 0;
        for (std::int32_t c : koyakuCum) n += a >= c;  // weights are non-negative
        return n;
    }
    // Next mode from an ordinary mode after small win k and mode draw r.
    int NextMode(int mode, int k, std::int32_t r) const {
        return static_cast<int>((modeNext[static_cast<std::size_t>(k)][static_cast<std::size_t>(r)] >> (8 * mode)) & 0xFF);
    }
    int KMode(int bbKind, std::int32_t a) const { return kmodeOf[bbKind == BlueBB ? 0 : 1][static_cast<std::size_t>(a)]; }
    int Keizoku(int kmode, std::int32_t a) const { return keizokuOf[static_cast<std::size_t>(kmode)][static_cast<std::size_t>(a)]; }
    int InitMode(std::int32_t a) const { return initModeOf[static_cast<std::size_t>(a)]; }

    std::array<std::uint8_t, kBuckets> koyakuBucket{};
    std::array<std::int32_t, 9> koyakuCum{};
    // Bytes 0..2: the next mode from Hamari, LowProb, HighProb; a small win
    // that selects no table keeps the mode.
    std::array<std::array<std::uint32_t, kModeModulus>, kKoyakuKinds> modeNext{};
    std::array<std::array<std::uint8_t, kKModeModulus>, 2> kmodeOf{};
    std::array<std::array<std::uint8_t, kKeizokuModulus>, kKModes> keizokuOf{};
    std::array<std::uint8_t, kInitModeModulus> initModeOf{};
};

}  // namespace morvane
