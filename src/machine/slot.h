#pragma once
// Slot: the simulated machine. Its state fields are public so the run, the
// file writer and tests can read them directly; Play mutates them.
#include <array>
#include <cstdint>
#include <memory>

#include "machine/draw_tables.h"
#include "machine/game_record.h"
#include "machine/random.h"
#include "machine/rate_tbl.h"
#include "machine/tables.h"
#include "machine/vocabulary.h"

namespace morvane {

// The balance wraps like the 32-bit counter it is instead of overflowing.
inline std::int32_t AddMedals(std::int32_t balance, std::int32_t delta) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(balance) + static_cast<std::uint32_t>(delta));
}

// The machine's state as the game loop carries it in registers.
struct LoopState {
    std::uint64_t s;
    std::int32_t precursorCount, gamesSinceBB, playCount, medalBalance;
    std::int32_t bbKind, kmode, bbSets, mode, koyaku;
};

// The BB of Blue7/Red7, played after the game's own small win. Out of line
// and by value: it is rare, and the loop's state never has its address taken.
LoopState PlayBB(const DrawTables& d, LoopState h);

class Slot {
public:
    Slot();                                 // seeded from the clock
    explicit Slot(std::uint32_t seed);

    // Throws std::out_of_range for a setting outside 1..6 and changes nothing.
    void SetFlevel(int s);
    int GetFlevel() const { return flevel; }
    void Reset();
    void Play() { PlayGames(1, [](const GameRecord&) {}); }

    // Plays n games and calls onGame(record) after each.
    template <class OnGame>
    void PlayGames(std::int64_t n, OnGame&& onGame);

    GameRecord Record() const {
        return {gamesSinceBB, medalBalance, bbSets, playCount, bbKind, kmode, mode, koyaku};
    }

    std::int32_t Rand31() { return rng_.Rand31(); }
    Random& Rng() { return rng_; }
    const Rate_TBL<int>& Table(int id) const { return tables_[static_cast<std::size_t>(id)]; }
    // The lookups of the current setting, for tests to hold against Lookup.
    const DrawTables& Draws() const { return *draws_; }

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
    Random rng_;
    WeightTables tables_;
    // On the heap, so handing it to PlayBB never exposes the Slot itself and
    // a loop of Play() calls can keep the state in registers.
    std::unique_ptr<DrawTables> draws_;
};

template <class OnGame>
inline void Slot::PlayGames(std::int64_t n, OnGame&& onGame) {
    const DrawTables& d = *draws_;
    LoopState h{rng_.State(), precursorCount, gamesSinceBB, playCount, medalBalance,
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
        const std::uint64_t s1 = h.s * Random::kMul + 1;
        const int k = d.Koyaku(Random::Output(s1) & (kKoyakuModulus - 1));
        h.koyaku = k;
        h.medalBalance = AddMedals(h.medalBalance, kNetPayout[static_cast<std::size_t>(k)]);
        if (h.mode < kOrdinaryModes) [[likely]] {
            // The mode draw's state comes from the same state as the small
            // win's, so the two multiplies run side by side.
            h.s = h.s * kMul2 + kAdd2;
            h.mode = d.NextMode(h.mode, k, Random::Output(h.s) & (kModeModulus - 1));
        } else if (h.mode == Precursor) {
            h.s = h.s * kMul2 + kAdd2;
            if (Random::Output(h.s) % (kPrecursorSpan - h.precursorCount) != 0) {
                ++h.precursorCount;
            } else {
                h.precursorCount = 0;
                h.s = h.s * Random::kMul + 1;
                h.mode = (Random::Output(h.s) & (kModeModulus - 1)) <= 64 ? Red7 : Blue7;
            }
        } else {
            h.s = s1;
            h = PlayBB(d, h);
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
