#pragma once
// What the run's charts draw, read from a run's records however long the
// run: the balance line and the mode line or band, the small-win markers
// and the games between BBs. A few figures per block of games and one
// value per BB are kept: taken from the run's own pass when it kept its
// bars (RunIndex::KeepBars), else from a pass over the records when the run
// is presented. A view then reads whole
// blocks from those figures and plays again only the blocks its pixel
// columns cut, or the whole view when it is short.
//
// Every query gives exactly what the functions of envelope.h and bands.h
// give over the full columns of the same records (x the records' game
// numbers), so a run held in memory and the same run kept as checkpoints
// draw the same points. Qt-free, so it is tested and timed on its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
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
    // The records must stay unchanged while this is used, by one reader at
    // a time. markerKoyaku: the small wins each drawn as a marker series
    // (at a game without a BB), each one of 0 .. 15 of its own.
    RecordChart(const RunRecords& records, std::span<const std::int32_t> markerKoyaku);
    ~RecordChart();

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
    // The same for several marker series (at most 32) in one view: a block
    // is played again once for all the series that need it.
    std::vector<std::vector<XY>> ThinMany(std::span<const std::size_t> ms, double xmin, double xmax, double ymin,
                                          double ymax, int columns, int rows) const;
    std::size_t MarkerPoints(std::size_t m) const { return markerPoints_[m]; }
    // The games since the previous BB at each BB game, in order: bar k + 1.
    std::span<const std::int32_t> BarHeights() const { return bars_; }

    // Memory held beside the records, for benchmarks.
    std::size_t Bytes() const;

private:
    // A block's figures of one field: its first, last, lowest and highest
    // value and where in the block the lowest and the highest first occur.
    struct Extremes {
        std::int32_t first = 0, last = 0, low = INT32_MAX, high = INT32_MIN;
        std::uint32_t lowAt = 0, highAt = 0;
    };
    struct Block {
        std::array<Extremes, 2> fields;  // Balance, Mode
        LevelIndex::Counts levels{};     // its games' modes
    };
    // Which balances a block's games with one marker ended at, in 256
    // buckets of 2^shift balances from base: a bucket's bit says some game
    // may lie in a pixel row, and playing the block again tells which.
    struct Bitmap {
        static constexpr int kBuckets = 256;
        std::int32_t base = 0;
        std::uint8_t shift = 0;
        bool any = false;
        std::array<std::uint64_t, kBuckets / 64> bits{};
        // The highest balance its buckets reach.
        std::int64_t Top() const { return base + (std::int64_t{kBuckets} << shift) - 1; }
    };
    struct Segment;
    struct BlockScan;

    void Scan();
    // The figures from the run's own pass, when it kept its bars: nothing
    // is played again.
    bool TakeFromIndex();
    static void FillBitmaps(std::span<const std::int32_t> hits, std::span<Bitmap> maps,
                            std::span<std::uint64_t> points);
    // Block b's figures from its records, played by play(onRecord); what
    // all blocks add up to is added under `merge`.
    template <class Play>
    void ScanBlock(std::size_t b, std::vector<std::int32_t>& hits, std::mutex& merge, Play play);
    void KeepEveryColumn();
    std::int32_t X(std::size_t i) const { return static_cast<std::int32_t>(x0_ + static_cast<std::int64_t>(i)); }
    // The stretch of indices with xmin <= x <= xmax.
    std::pair<std::size_t, std::size_t> Visible(double xmin, double xmax) const;
    // The column boundaries of [lo, hi) as the envelope's column search finds
    // them: the first index of each non-empty column, then hi.
    std::vector<std::size_t> ColumnStarts(std::size_t lo, std::size_t hi, double xmin, double xmax, int columns) const;
    // Each stretch [bounds[j], bounds[j + 1]) summed up: whole blocks from
    // their figures, the rest played again.
    std::vector<Segment> Segments(const std::vector<std::size_t>& bounds) const;
    // The columns of a view and their stretches, kept for the next query
    // of the same view: the line and the band of one view play the cut
    // blocks once.
    struct ViewColumns;
    const ViewColumns& ColumnsOf(std::size_t lo, std::size_t hi, double xmin, double xmax, int columns) const;
    static bool AnyBit(const Bitmap& b, std::int64_t v0, std::int64_t v1);
    // Games [a, e) within one block.
    struct Stretch {
        std::size_t a, e;
    };
    // Plays each stretch again and calls onRecord(s, i, record) for the
    // records of stretch s in order; the stretches of a run kept as
    // checkpoints on every core at once.
    template <class OnRecord>
    void PlayAgain(std::span<const Stretch> stretches, OnRecord onRecord) const;

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
    // The marker of each small win 0 .. 15, -1 for none.
    std::array<std::int8_t, 16> markerOf_{};
    std::vector<std::size_t> markerPoints_;
    // Where each block's BB games begin among the bars.
    std::vector<std::uint64_t> barsBefore_;
    std::span<const std::int32_t> bars_;  // the run index's, or made here
    std::vector<std::int32_t> ownBars_;

    struct Columns {
        std::vector<std::int32_t> x, balance, mode;
        SeriesIndex balanceIndex, modeIndex;
        LevelIndex levels;
        std::vector<std::vector<XY>> markers;
    };
    Columns plain_;
    mutable std::unique_ptr<ViewColumns> view_;
};

}  // namespace morvane::chart
