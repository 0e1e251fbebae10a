#pragma once
// A run's records as its readers see them, whether they are held in memory
// or played again on demand: any record by index, any stretch [a, b) into a
// buffer or in pieces, and what a summary, a chart or a list needs without
// reading every record: the run's tallies and a summary per block of games.
//
// The i-th BB row or mode-change row is found from the blocks' counts by a
// binary search, then by reading that one block.
#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <span>
#include <vector>

#include "machine/game_record.h"
#include "machine/vocabulary.h"
#include "run/history.h"

namespace morvane {

// Games per block. Measured (bench_checkpoints), for a run kept as
// checkpoints: a record anywhere costs about 10 us at this size, a BB row
// 25 us, and a block holds about 230 bytes (and a run kept ready to be
// drawn 4 bytes a BB), so the most games a run can have (2^31) keep 30 MB
// (60 MB drawn). Blocks of 4096 would hold 4x that for 3 us a
// record; of 65536, a quarter for 40 us, but a chart zoomed in below a block per
// pixel plays up to a block per pixel again, 4x longer. A sweep over all
// 131 072 summaries takes about 0.15 ms, so no coarser level is needed
// above them.
inline constexpr std::size_t kDefaultBlockGames = 1 << 14;
// The most: a block's balances and places are scanned as exact sums of the
// two (see RunIndex::Scan).
inline constexpr std::size_t kMostBlockGames = 1 << 21;

// Small wins counted one by one (Cherry2 .. Blank), then any other value.
inline constexpr int kCountedWins = kKoyakuKinds + 1;
inline constexpr int kOtherWin = kKoyakuKinds;

// A change of mode is a row of the mode-change list unless it leaves a
// pending 7 (the BB that follows) or starts the run (from kNoMode).
inline constexpr std::int32_t kNoMode = -1;
constexpr bool IsModeChangeRow(std::int32_t from, std::int32_t to) {
    return from != kNoMode && from != Blue7 && from != Red7 && to != from;
}

// The games of one block, in a few counts.
struct BlockSummary {
    std::int32_t balanceLow = 0, balanceHigh = 0, balanceLast = 0;
    std::uint32_t bbRows = 0;                             // BB games
    std::uint32_t modeChangeRows = 0;                     // rows of the mode-change list
    std::array<std::uint32_t, kModes> modeGames{};        // games that end in each mode
    std::array<std::uint32_t, kCountedWins> smallWins{};  // over the games without a BB
    std::array<std::uint32_t, kKModes> kmodes{};          // over the BB games
    std::int32_t longestStretch = 0;                      // the most games since a BB at one of its BB games; 0 without
    std::uint32_t stretchGames = 0;                       // those games added up over its BB games
    std::int64_t bbSets = 0;                              // the BB games' continued sets added up
    // What a chart draws of the block without playing it again: the first
    // balance and mode, the mode's last, lowest and highest, and where the
    // lowest and highest of each first occur (games after the block's first).
    std::int32_t balanceFirst = 0;
    std::uint32_t balanceLowAt = 0, balanceHighAt = 0;
    std::int32_t modeFirst = 0, modeLast = 0, modeLow = 0, modeHigh = 0;
    std::uint32_t modeLowAt = 0, modeHighAt = 0;

    friend bool operator==(const BlockSummary&, const BlockSummary&) = default;
};

// What the run's summary and rate pages count, over all its games.
struct RunTallies {
    std::int64_t games = 0;
    std::int32_t finalBalance = 0;
    std::array<std::int64_t, kModes> modeGames{};
    std::array<std::int64_t, kCountedWins> smallWins{};  // over the games without a BB
    std::array<std::int64_t, kKModes> kmodes{};          // over the BB games
    std::int64_t bbGames = 0;                            // first hits
    std::int64_t bbSets = 0;                             // their continued sets added up
    std::int64_t modeChangeRows = 0;

    friend bool operator==(const RunTallies&, const RunTallies&) = default;
};

// The per-block summaries of a run and their running counts.
class RunIndex {
public:
    RunIndex() = default;
    explicit RunIndex(std::size_t blockGames);

    std::size_t BlockGames() const { return blockGames_; }
    std::size_t Games() const { return games_; }
    std::span<const BlockSummary> Blocks() const { return blocks_; }
    const RunTallies& Tallies() const { return tallies_; }
    // The mode of the record before block b (b >= 1); for block 0 none.
    std::int32_t ModeBefore(std::size_t b) const { return modeBefore_[b]; }

    // The block holding the k-th BB row (k < tallies' bbGames) and how many
    // such rows come before that block; the same for mode-change rows.
    std::pair<std::size_t, std::uint64_t> BlockOfBBRow(std::uint64_t k) const;
    std::pair<std::size_t, std::uint64_t> BlockOfModeChangeRow(std::uint64_t k) const;

    // Memory it holds, for benchmarks.
    std::size_t Bytes() const;
    // Room for this many blocks.
    void Reserve(std::size_t blocks);

    // For a run to be drawn (set before the first block): its BB games'
    // bars, the games since the previous BB at each, in order, so that a
    // chart needs no pass of its own over the run.
    void KeepBars();
    bool KeepsBars() const { return keepsBars_; }
    std::span<const std::int32_t> Bars() const { return bars_; }

    // Built game by game: Scan is the callback of a game loop (it takes the
    // BB-game flag, see Slot::PlayGames) and carries the counts of one block
    // from the game numbered firstGame; Close ends it after the game
    // numbered lastGame, whose balance is lastBalance.
    struct Scan;
    Scan Open(std::int32_t firstGame);
    void Close(Scan scan, std::int32_t lastGame, std::int32_t lastBalance);

private:
    std::size_t blockGames_ = 0;
    std::size_t games_ = 0;
    std::vector<BlockSummary> blocks_;
    std::vector<std::int32_t> modeBefore_;
    // Rows before each block, one more entry than blocks.
    std::vector<std::uint64_t> bbBefore_{0}, modeChangesBefore_{0};
    RunTallies tallies_;
    std::int32_t lastMode_ = kNoMode;
    bool keepsBars_ = false;
    std::vector<std::int32_t> bars_;

    // The block being scanned: its counts, and what the scan touches only
    // now and then. Places are game numbers until the block is closed.
    // Nothing here calls out of line from the game loop: a call would put
    // the scan's values in memory for every game.
    struct OpenBlock {
        BlockSummary s;
        bool started = false;
        bool keepsBars = false;
        std::int32_t before = kNoMode;  // the mode of the game before the block
        std::uint32_t firstGame = 0, modeFrom = 0;
        // Room for a block's BB games' bars, and where the next goes.
        std::vector<std::int32_t> bars;
        std::int32_t* bar = nullptr;

        // The block's first game: its figures, and the mode the scan
        // carries on from.
        std::int32_t Start(const GameRecord& r) {
            started = true;
            s.balanceFirst = r.medalBalance;
            s.modeFirst = s.modeLow = s.modeHigh = r.mode;
            s.modeLowAt = s.modeHighAt = static_cast<std::uint32_t>(r.playCount);
            return before;
        }
        // A game whose mode differs from `was`, the mode before it (or any
        // game while none has started the block); returns the new mode.
        std::int32_t ModeChange(const GameRecord& r, std::int32_t was) {
            if (!started) {
                was = Start(r);
                if (r.mode == was) return was;
            }
            const auto game = static_cast<std::uint32_t>(r.playCount);
            if (static_cast<std::uint32_t>(was) < kModes) s.modeGames[static_cast<std::size_t>(was)] += game - modeFrom;
            s.modeChangeRows += IsModeChangeRow(was, r.mode);
            modeFrom = game;
            if (r.mode < s.modeLow) {
                s.modeLow = r.mode;
                s.modeLowAt = game;
            } else if (r.mode > s.modeHigh) {
                s.modeHigh = r.mode;
                s.modeHighAt = game;
            }
            return r.mode;
        }
    };
    OpenBlock open_;
};

// Every game adds to the balance's range and to the count of its small
// win; a change of mode, rare, settles the games of the mode it leaves,
// counted by the records' game numbers, which go up by one a game. The
// game loop's own games pass the BB-game flag and hold only the machine's
// codes; records from elsewhere go through the checks of the call without
// it, numbered by the caller. Only what changes every game is held in the
// scan itself, which the game loop keeps in registers; the rest is reached
// through a pointer, and nothing takes the scan's address (a call on the
// scan, or a larger one, put its values in memory for every game).
struct RunIndex::Scan {
    OpenBlock* o;
    // The balance's range and where its ends first lie, each in one
    // double: balance * scale + game number for the low end, balance *
    // scale - game for the high, scale a power of two at least the block's
    // games, so that the least of them is the lowest balance at its first
    // game and the most the highest at its first (exact: 2^31 * 2^21 + 2^31
    // < 2^53). They live in floating-point registers, which the game loop
    // leaves free, and take no branch: the integers, or positions of their
    // own, pushed the loop's own values to memory and a balance that drifts
    // down sits at a new low too often for a branch to be guessed (either
    // cost 0.5 to 1 ns a game in BM_CheckpointedRun).
    double low = std::numeric_limits<double>::infinity(), high = -std::numeric_limits<double>::infinity();
    double scale = 1;
    // The last game's mode; before the block's first game, one no game has,
    // so that the first goes the rare way and leaves the block's first
    // figures there.
    std::int32_t mode = INT32_MIN;

    template <bool kBBGame>
    void operator()(const GameRecord& r, std::bool_constant<kBBGame>) {
        const double b = static_cast<double>(r.medalBalance) * scale, game = r.playCount;
        low = b + game < low ? b + game : low;
        high = b - game > high ? b - game : high;
        if (r.mode != mode) [[unlikely]]
            mode = o->ModeChange(r, mode);
        BlockSummary& s = o->s;
        if constexpr (kBBGame) {
            ++s.bbRows;
            if (static_cast<std::uint32_t>(r.kmode) < kKModes) ++s.kmodes[static_cast<std::size_t>(r.kmode)];
            s.bbSets += r.bbSets;
            s.longestStretch = std::max(s.longestStretch, r.gamesSinceBB);
            s.stretchGames += static_cast<std::uint32_t>(r.gamesSinceBB);
            if (o->keepsBars) *o->bar++ = r.gamesSinceBB;
        } else {
            ++s.smallWins[static_cast<std::size_t>(r.koyaku)];
        }
    }
    void operator()(const GameRecord& r);
};

// A run's records, held or played again.
class RunRecords {
public:
    // A piece of records in order and the index of its first; false stops.
    using Piece = std::function<bool(std::size_t first, std::span<const GameRecord> records)>;

    virtual ~RunRecords() = default;

    std::size_t size() const { return index_.Games(); }
    bool empty() const { return size() == 0; }
    // Record i; throws std::out_of_range past the end.
    GameRecord at(std::size_t i) const;
    // Records [a, b) into out, which holds b - a; throws std::out_of_range
    // unless a <= b <= size().
    void Read(std::size_t a, std::size_t b, GameRecord* out) const;
    // Records [a, b) in order, a piece at a time, until a piece returns
    // false; the same checks as Read.
    void ForEach(std::size_t a, std::size_t b, const Piece& piece) const;
    void ForAll(const Piece& piece) const { ForEach(0, size(), piece); }

    const RunIndex& Index() const { return index_; }
    const RunTallies& Tallies() const { return index_.Tallies(); }

    // The game index of the k-th BB row and of the k-th mode-change row;
    // throws std::out_of_range for k past the last.
    std::size_t BBRow(std::uint64_t k) const;
    std::size_t ModeChangeRow(std::uint64_t k) const;

protected:
    explicit RunRecords(std::size_t blockGames) : index_(blockGames) {}
    RunIndex index_;

private:
    // Records [a, b), a < b already checked, in pieces of any length.
    virtual void Pieces(std::size_t a, std::size_t b, const Piece& piece) const = 0;
};

// Over a play history in memory, which must stay unchanged while read.
class HistoryRecords final : public RunRecords {
public:
    explicit HistoryRecords(const PlayHistory& history, std::size_t blockGames = kDefaultBlockGames);

private:
    void Pieces(std::size_t a, std::size_t b, const Piece& piece) const override;
    const PlayHistory& history_;
};

}  // namespace morvane
