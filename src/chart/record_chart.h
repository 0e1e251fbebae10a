#pragma once
// What the run's charts draw, read from a run's records however long the
// run: the balance line and the mode line or band, the small-win markers
// and the games between BBs. One pass over the records when the run is
// presented keeps a few figures per block of games and one value per BB;
// a view then reads whole blocks from those figures and plays again only
// the blocks its pixel columns cut, or the whole view when it is short.
//
// Every query gives exactly what the functions of envelope.h and bands.h
// give over the full columns of the same records (x the records' game
// numbers), so a run held in memory and the same run kept as checkpoints
// draw the same points. Qt-free, so it is tested and timed on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "chart/bands.h"
#include "chart/envelope.h"
#include "run/run_records.h"

namespace morvane::chart {

// The record value a line shows against the game number.
enum class Field { Balance, Mode };

class RecordChart {
public:
    // The records must stay unchanged while this is used. markerKoyaku: the
    // small wins each drawn as a marker series (at a game without a BB).
    RecordChart(const RunRecords& records, std::span<const std::int32_t> markerKoyaku);

    std::size_t size() const { return n_; }
    std::size_t Markers() const { return markerKoyaku_.size(); }

    // As Envelope(x, y, ...), YRange(x, y, ...) and CountIn(x, ...) over the
    // columns PlayNumLog and MedalLog (Balance) or ModeLog (Mode).
    std::vector<XY> Envelope(Field f, double xmin, double xmax, int columns) const;
    Range YRange(Field f, double xmin, double xmax) const;
    std::size_t CountIn(double xmin, double xmax) const;
    // As LevelShares(x, mode, ...).
    std::vector<LevelColumn> LevelShares(double xmin, double xmax, int columns) const;
    // As Thin(points, ...) over marker m's points (game number, balance) in
    // the order of the games.
    std::vector<XY> Thin(std::size_t m, double xmin, double xmax, double ymin, double ymax, int columns,
                         int rows) const;
    std::size_t MarkerPoints(std::size_t m) const { return markerPoints_[m]; }
    // The games since the previous BB at each BB game, in order: bar k + 1.
    std::span<const std::int32_t> BarHeights() const { return bars_; }

    // Memory held beside the records, for benchmarks.
    std::size_t Bytes() const;

    // A block's figures of one field: its first, last, lowest and highest
    // value and where in the block the lowest and the highest first occur.
    struct Extremes {
        std::int32_t first = 0, last = 0, low = INT32_MAX, high = INT32_MIN;
        std::uint32_t lowAt = 0, highAt = 0;
    };

private:
    struct Block {
        std::array<Extremes, 2> fields;  // Balance, Mode
        LevelIndex::Counts levels{};     // its games' modes
    };
    // Where a marker's bitmap lies: bit v - base is set when a game of the
    // block with that marker ended at balance v.
    struct Bitmap {
        std::uint32_t word = 0;   // the first of words_
        std::uint32_t words = 0;  // none without such a game
        std::int32_t base = 0;
    };
    struct Segment;

    void Scan();
    void KeepEveryColumn();
    std::int32_t X(std::size_t i) const { return static_cast<std::int32_t>(x0_ + static_cast<std::int64_t>(i)); }
    // The stretch of indices with xmin <= x <= xmax.
    std::pair<std::size_t, std::size_t> Visible(double xmin, double xmax) const;
    // The column boundaries of [lo, hi) as the envelope's column search finds
    // them: the first index of each non-empty column, then hi.
    std::vector<std::size_t> ColumnStarts(std::size_t lo, std::size_t hi, double xmin, double xmax, int columns) const;
    // Each stretch [bounds[j], bounds[j + 1]) summed up: whole blocks from
    // their figures, the rest played again, in order.
    std::vector<Segment> Segments(Field f, const std::vector<std::size_t>& bounds) const;
    bool AnyBit(const Bitmap& b, std::int64_t v0, std::int64_t v1) const;

    const RunRecords& records_;
    std::vector<std::int32_t> markerKoyaku_;
    std::size_t n_ = 0;
    std::size_t blockGames_ = 1;
    // Game numbers x0_ + i when the records are so numbered; otherwise the
    // columns themselves are kept and the plain functions read them.
    std::int64_t x0_ = 1;
    bool numbered_ = true;
    std::vector<Block> blocks_;
    std::vector<Bitmap> bitmaps_;  // per block, per marker
    std::vector<std::uint64_t> words_;
    std::vector<std::size_t> markerPoints_;
    std::vector<std::int32_t> bars_;

    struct Columns {
        std::vector<std::int32_t> x, balance, mode;
        SeriesIndex balanceIndex, modeIndex;
        LevelIndex levels;
        std::vector<std::vector<XY>> markers;
    };
    Columns plain_;
};

}  // namespace morvane::chart
