#pragma once
// Slot: the simulated machine. Its state fields are public so the run, the
// file writer and tests can read them directly; Play mutates them.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

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

// The machine's state as the BB takes and leaves it.
struct LoopState {
    std::uint64_t s;
    std::int32_t precursorCount, gamesSinceBB, playCount, medalBalance;
    std::int32_t bbKind, kmode, bbSets, mode, koyaku;
};

// The BB of Blue7/Red7, played after the game's own small win. Out of line
// and on a copy: it is rare, and the loop's state never has its address taken.
LoopState PlayBB(const DrawTables& d, LoopState h);
// The same for the game loop: in place, so no argument goes on the stack.
void PlayBBInPlace(const DrawTables& d, LoopState& h);

// The machine's whole state between two games: the random source, the
// setting and every field the next game reads. A machine restored from it
// plays the very games the saved one would have played.
struct MachineState {
    std::uint64_t rng = 0;
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

    friend bool operator==(const MachineState&, const MachineState&) = default;
};

class Slot {
public:
    Slot();  // seeded from the clock
    explicit Slot(std::uint32_t seed);

    // Throws std::out_of_range for a setting outside 1..6 and changes nothing.
    void SetFlevel(int s);
    int GetFlevel() const { return flevel; }
    void Reset();
    void Play();

    // Plays n games and calls onGame(record) after each, or
    // onGame(record, std::bool_constant<BB game>) where onGame takes that: a
    // tally of BBs then costs nothing in the other games. onGame is taken
    // and given back by value, like std::for_each: a tally kept inside it
    // stays in registers, where one reached through a reference has to go
    // to memory around every BB (PlayBB is out of line and could see it).
    template <class OnGame>
    OnGame PlayGames(std::int64_t n, OnGame onGame);

    MachineState Save() const;
    // Throws std::out_of_range for a setting outside 1..6 and changes
    // nothing; unlike SetFlevel it draws nothing.
    void Restore(const MachineState& state);

    GameRecord Record() const { return {gamesSinceBB, medalBalance, bbSets, playCount, bbKind, kmode, mode, koyaku}; }

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

namespace detail {

// Two int32 fields of a record that sit side by side, as one word: the first
// in the low half, as in memory on a little-endian machine.
constexpr std::uint64_t Pair(std::int32_t lo, std::int32_t hi) {
    return static_cast<std::uint32_t>(lo) | static_cast<std::uint64_t>(static_cast<std::uint32_t>(hi)) << 32;
}
constexpr std::int32_t Lo(std::uint64_t w) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(w)); }
constexpr std::int32_t Hi(std::uint64_t w) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(w >> 32)); }

// The small-win draw's state moved up 12 bits, so its 20-bit value is the
// top of the word (see DrawTables::RowOfTop): (s * kMul + 1) << 12 in one
// multiply and add.
inline constexpr int kTopShift = DrawTables::kKoyakuValueShift - 32;
inline constexpr std::uint64_t kTopMul = Random::kMul << kTopShift;
inline constexpr std::uint64_t kTopAdd = std::uint64_t{1} << kTopShift;

// Hands a game to a callback, with the BB-game flag when it takes one. A
// function of its own, so that the call not taken is never looked at.
template <class OnGame, bool kBBGame>
inline void Report(OnGame& onGame, const GameRecord& r, std::bool_constant<kBBGame> bbGame) {
    if constexpr (std::is_invocable_v<OnGame&, const GameRecord&, std::bool_constant<kBBGame>>)
        onGame(r, bbGame);
    else
        onGame(r);
}

}  // namespace detail

template <class OnGame>
inline OnGame Slot::PlayGames(std::int64_t n, OnGame onGame) {
    static_assert(std::endian::native == std::endian::little, "records are written as 64-bit words");
    static_assert(sizeof(GameRecord) == 4 * sizeof(std::uint64_t));
    using detail::Pair;
    if (n <= 0) return onGame;
    const DrawTables& d = *draws_;
    std::uint64_t s = rng_.State();
    std::uint32_t m8 = 8 * static_cast<std::uint32_t>(mode);  // see NextMode8
    // The last game's small win as its row, or a BB game's marker.
    const DrawTables::KoyakuRow* row = nullptr;
    std::uint32_t bbGame = static_cast<std::uint32_t>(koyaku);
    // The record's words live in registers as they are stored, but for
    // playCount, which comes first so a game adds 1 to it (as a signed field
    // it never reaches 2^32, so no carry reaches bbSets).
    std::uint64_t sinceAndBalance = Pair(gamesSinceBB, medalBalance);
    std::uint64_t playsAndSets = Pair(playCount, bbSets);
    std::uint64_t kindAndKMode = Pair(bbKind, kmode);
    auto record = [&]<bool kBBGame>(std::uint64_t modeAndKoyaku, std::bool_constant<kBBGame> bbGame) {
        // Word by word, so a callback that copies the record stores four
        // words (a bit_cast of an array goes through the stack).
        const std::array<std::uint64_t, 4> w{sinceAndBalance, std::rotr(playsAndSets, 32), kindAndKMode, modeAndKoyaku};
        GameRecord r;
        for (std::size_t i = 0; i < w.size(); ++i)
            std::memcpy(reinterpret_cast<char*>(&r) + i * sizeof w[i], &w[i], sizeof w[i]);
        detail::Report(onGame, std::as_const(r), bbGame);
    };
    // The small win of a game and what it adds to the counts; top is the
    // draw's state moved up (see kTopMul).
    auto smallWin = [&](std::uint64_t top) {
        row = &d.RowOfTop(top);
        sinceAndBalance += row->gameStep;
        ++playsAndSets;
    };
    // An ordinary game whose mode draw is the state s2.
    auto ordinary = [&](std::uint64_t top, std::uint64_t s2) {
        smallWin(top);
        m8 = DrawTables::NextMode8(m8, *row, static_cast<std::uint32_t>(Random::Output(s2)) & (kModeModulus - 1));
        record(row->ModeAndKoyaku(m8), std::false_type{});
    };
    // A precursor game, from the game's start state.
    auto precursorGame = [&](std::int32_t& count) {
        smallWin(s * detail::kTopMul + detail::kTopAdd);
        s = s * kMul2 + kAdd2;
        if (DrawTables::PrecursorGoesOn(count, Random::Output(s))) [[likely]] {
            ++count;
        } else {
            count = 0;
            s = s * Random::kMul + 1;
            m8 = 8 * ((Random::Output(s) & (kModeModulus - 1)) <= 64 ? Red7 : Blue7);
        }
        record(row->ModeAndKoyaku(m8), std::false_type{});
    };
    // Any game, the ceiling's and the BB's among them.
    auto anyGame = [&] {
        if (static_cast<std::uint32_t>(sinceAndBalance) == kCeilingGames - 1) [[unlikely]] {
            s = s * Random::kMul + 1;
            m8 = 8 * ((Random::Output(s) & 1) ? Precursor : Blue7);
        }
        if (m8 < 8 * kOrdinaryModes) {
            const std::uint64_t s2 = s * kMul2 + kAdd2;
            ordinary(s * detail::kTopMul + detail::kTopAdd, s2);
            s = s2;
        } else if (m8 == 8 * Precursor) {
            precursorGame(precursorCount);
        } else {
            smallWin(s * detail::kTopMul + detail::kTopAdd);
            LoopState h{s * Random::kMul + 1,
                        precursorCount,
                        detail::Lo(sinceAndBalance),
                        detail::Lo(playsAndSets),
                        detail::Hi(sinceAndBalance),
                        NoBB,
                        detail::Hi(kindAndKMode),
                        0,
                        static_cast<std::int32_t>(m8 / 8),
                        static_cast<std::int32_t>(row->koyaku)};
            PlayBBInPlace(d, h);
            s = h.s;
            m8 = 8 * static_cast<std::uint32_t>(h.mode);
            row = nullptr;
            bbGame = static_cast<std::uint32_t>(h.koyaku);
            sinceAndBalance = Pair(h.gamesSinceBB, h.medalBalance);
            playsAndSets = Pair(h.playCount, h.bbSets);
            kindAndKMode = Pair(h.bbKind, h.kmode);
            record(Pair(static_cast<std::int32_t>(m8 / 8), static_cast<std::int32_t>(bbGame)), std::true_type{});
        }
    };
    // The game after a BB starts a new stretch: the loop's increment makes
    // it game 1, which is never the ceiling.
    constexpr std::uint64_t kLowHalf = 0xFFFFFFFFu;
    auto newStretch = [&] {
        sinceAndBalance &= ~kLowHalf;
        playsAndSets = static_cast<std::uint32_t>(playsAndSets);
        kindAndKMode &= ~kLowHalf;
    };
    if (bbKind != NoBB) newStretch();

    for (std::int64_t left = n;;) {
        // Runs of ordinary or of precursor games up to the ceiling's game.
        const std::uint32_t since = static_cast<std::uint32_t>(sinceAndBalance);
        const std::int64_t budget =
            since < kCeilingGames ? std::min<std::int64_t>(left, kCeilingGames - 1 - since) : left;
        std::int64_t b = budget;
        if (m8 < 8 * kOrdinaryModes) {
            // Two at a time: the second game's draws come straight from
            // the first's start state, so the generator's chain takes one
            // step per two games.
            for (; b >= 2 && m8 < 8 * kOrdinaryModes; b -= 2) {
                const std::uint64_t s2 = s * kMul2 + kAdd2;
                ordinary(s * detail::kTopMul + detail::kTopAdd, s2);
                if (m8 >= 8 * kOrdinaryModes) [[unlikely]] {
                    s = s2;
                    --b;
                    break;
                }
                s = s * kMul4 + kAdd4;
                ordinary(s2 * detail::kTopMul + detail::kTopAdd, s);
            }
        } else if (m8 == 8 * Precursor) {
            std::int32_t count = precursorCount;  // a register, not the field
            for (; b >= 1 && m8 == 8 * Precursor; --b) precursorGame(count);
            precursorCount = count;
        }
        left -= budget - b;
        if (left == 0) break;
        anyGame();
        if (--left == 0) break;
        if (static_cast<std::uint32_t>(kindAndKMode) != NoBB) newStretch();
    }
    rng_.SetState(s);
    gamesSinceBB = detail::Lo(sinceAndBalance);
    medalBalance = detail::Hi(sinceAndBalance);
    playCount = detail::Lo(playsAndSets);
    bbSets = detail::Hi(playsAndSets);
    bbKind = detail::Lo(kindAndKMode);
    kmode = detail::Hi(kindAndKMode);
    mode = static_cast<std::int32_t>(m8 / 8);
    koyaku = static_cast<std::int32_t>(row ? row->koyaku : bbGame);
    return onGame;
}

// One game straight on the fields: a loop of Play() calls keeps them in
// registers, which the run's packing would only get in the way of.
inline void Slot::Play() {
    const DrawTables& d = *draws_;
    std::uint64_t s = rng_.State();
    if (bbKind != NoBB) {
        gamesSinceBB = 1;
        bbSets = 0;
        bbKind = NoBB;
    } else if (++gamesSinceBB == kCeilingGames) [[unlikely]] {
        s = s * Random::kMul + 1;
        mode = (Random::Output(s) & 1) ? Precursor : Blue7;
    }
    ++playCount;
    const DrawTables::KoyakuRow& row = d.RowOfTop(s * detail::kTopMul + detail::kTopAdd);
    koyaku = static_cast<std::int32_t>(row.koyaku);
    medalBalance = AddMedals(medalBalance, kNetPayout[row.koyaku]);
    if (mode < kOrdinaryModes) [[likely]] {
        s = s * kMul2 + kAdd2;
        mode = static_cast<std::int32_t>(
            DrawTables::NextMode8(8 * static_cast<std::uint32_t>(mode), row,
                                  static_cast<std::uint32_t>(Random::Output(s)) & (kModeModulus - 1)) /
            8);
    } else if (mode == Precursor) {
        s = s * kMul2 + kAdd2;
        if (DrawTables::PrecursorGoesOn(precursorCount, Random::Output(s))) {
            ++precursorCount;
        } else {
            precursorCount = 0;
            s = s * Random::kMul + 1;
            mode = (Random::Output(s) & (kModeModulus - 1)) <= 64 ? Red7 : Blue7;
        }
    } else {
        LoopState h{s * Random::kMul + 1,
                    precursorCount,
                    gamesSinceBB,
                    playCount,
                    medalBalance,
                    bbKind,
                    kmode,
                    bbSets,
                    mode,
                    koyaku};
        PlayBBInPlace(d, h);
        s = h.s;
        bbKind = h.bbKind;
        kmode = h.kmode;
        bbSets = h.bbSets;
        mode = h.mode;
        koyaku = h.koyaku;
        medalBalance = h.medalBalance;
    }
    rng_.SetState(s);
}

}  // namespace morvane
