#pragma once
// A plain, literal rendering of the machine's rules: vectors, bounds-checked
// access, linear lookups, one draw at a time. Slow on purpose; the fast
// machine must agree with it draw for draw, and the benchmarks measure
// against it.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "machine/tables.h"

namespace morvane::reference {

class StraightRandom {
public:
    void Seed(std::uint32_t seed) {
        low_ = seed;
        high_ = 0;
        low_ = low_ * 22695477u + 1u;  // the dropped Rand15
    }
    // The 32-bit formulation: p = low * 20021, carry of the + 1 into high.
    std::int32_t Rand31() {
        const std::uint64_t p = static_cast<std::uint64_t>(low_) * 20021u;
        const std::uint32_t pl = static_cast<std::uint32_t>(p);
        const std::uint32_t c = pl == 0xFFFFFFFFu ? 1u : 0u;
        const std::uint32_t newLow = pl + 1u;
        const std::uint32_t newHigh = high_ * 20021u + low_ * 346u + static_cast<std::uint32_t>(p >> 32) + c;
        low_ = newLow;
        high_ = newHigh;
        return static_cast<std::int32_t>(high_ & 0x7FFFFFFFu);
    }
    std::uint32_t low_ = 0, high_ = 0;
};

class StraightSlot {
public:
    explicit StraightSlot(std::uint32_t seed) {
        rng.Seed(seed);
        for (int id = 0; id < kTableCount; ++id) {
            auto w = TableWeights(id);
            tables.emplace_back(w.begin(), w.end());
        }
    }

    int Lookup(int id, std::int32_t a) const {
        const std::vector<std::int32_t>& w = tables.at(static_cast<std::size_t>(id));
        std::int32_t sum = 0;
        for (std::size_t i = 0; i < w.size(); ++i) {
            const std::int32_t next = sum + w.at(i);
            if (sum <= a && a < next) return static_cast<int>(i);
            sum = next;
        }
        return static_cast<int>(w.size());
    }

    void SetFlevel(int s) {
        flevel = s;
        Reset();
    }
    void Reset() {
        mode = Lookup(InitModeTable(flevel), rng.Rand31() % 1024);
        gamesSinceBB = playCount = medalBalance = bbSets = 0;
    }

    int ModeChange(int m, int k) {
        const std::int32_t r = rng.Rand31() % 512;
        const int id = ModeChangeTable(m, k, flevel);
        return id == kNoTable ? m : Lookup(id, r);
    }

    void Play() {
        static const int payout[10] = {2, 4, 6, 6, 3, 0, 10, 0, 0, 0};
        static const int contPayout[10] = {2, 4, 6, 6, 0, 0, 10, 0, 0, 3};
        if (bbKind != 0) {
            gamesSinceBB = 1;
            bbSets = 0;
            bbKind = 0;
        } else {
            gamesSinceBB += 1;
            if (gamesSinceBB == 1500) mode = rng.Rand31() % 2 == 1 ? 3 : 4;
        }
        playCount += 1;
        medalBalance -= 3;
        koyaku = Lookup(KoyakuTable(flevel), rng.Rand31() % 1048576);
        medalBalance += payout[koyaku];
        if (mode <= 2) {
            mode = ModeChange(mode, koyaku);
        } else if (mode == 3) {
            const std::int32_t x = rng.Rand31() % (32 - precursorCount);
            if (x != 0) {
                precursorCount += 1;
            } else {
                precursorCount = 0;
                mode = rng.Rand31() % 512 <= 64 ? 5 : 4;
            }
        } else {
            bbKind = mode == 4 ? 1 : 2;
            koyaku = 99;
            kmode = Lookup(bbKind == 1 ? KModeRateBlue : KModeRateRed, rng.Rand31() % 2048);
            bbSets = 0;
            for (;;) {
                int c = 4;
                if (bbSets != 0) {
                    c = Lookup(KeizokuRateA + kmode, rng.Rand31() % 1024);
                    if (c == 0) mode = Lookup(InitModeTable(flevel), rng.Rand31() % 1024);
                }
                for (int g = 0; g < 6; ++g) {
                    medalBalance -= 3;
                    const int k = Lookup(KoyakuTable(flevel), rng.Rand31() % 1048576);
                    medalBalance += c == 4 ? contPayout[k] : payout[k];
                    if (c == 0) {
                        if (mode == 0) mode = ModeChange(0, k);
                        if (mode == 1) mode = ModeChange(1, k);
                        if (mode == 2) mode = ModeChange(2, k);
                    }
                }
                if (c == 0) break;
                if (c == 1) {
                    mode = 3;
                    break;
                }
                if (c == 2) {
                    mode = 4;
                    break;
                }
                if (c == 3) {
                    mode = 5;
                    break;
                }
                medalBalance += 108;
                bbSets += 1;
            }
        }
    }

    // The eight columns, appended one value at a time.
    struct History {
        std::vector<std::int32_t> cols[8];
        void clear() {
            for (auto& c : cols) c.clear();
        }
    };
    void RecordRun(History& h, bool hidden, int setting, std::int32_t games) {
        h.clear();
        SetFlevel(hidden ? rng.Rand31() % 6 + 1 : setting);
        Reset();
        for (std::int32_t i = 0; i < games; ++i) {
            Play();
            const std::int32_t v[8] = {gamesSinceBB, medalBalance, bbSets, playCount, bbKind, kmode, mode, koyaku};
            for (int c = 0; c < 8; ++c) h.cols[c].push_back(v[c]);
        }
    }

    StraightRandom rng;
    std::vector<std::vector<std::int32_t>> tables;
    std::int32_t flevel = 1, precursorCount = 0, gamesSinceBB = 0, playCount = 0, medalBalance = 0;
    std::int32_t bbKind = 0, kmode = 0, bbSets = 0, mode = 0, koyaku = 0;
};

}  // namespace morvane::reference
