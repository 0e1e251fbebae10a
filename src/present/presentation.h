#pragma once
// Everything a run's presentation shows, from a run's records however they
// are kept. Tallies and figures come from the records' own tallies; rows
// and cells are read on demand, a block of games at a time, so a list of
// any length costs nothing per row.
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "present/pages.h"
#include "run/history.h"
#include "run/run_records.h"

namespace morvane {

struct Tallies {
    std::array<std::int64_t, 8> koyaku{};    // KoyakuCount: Cherry2 .. Chance, non-BB plays
    std::array<std::int64_t, 6> modeStay{};  // ModeStayCount: every play
    std::array<std::int64_t, 4> kmode{};     // KModeCount: BB plays
    std::int64_t firstHits = 0;              // FirstHitCount: BB plays
    std::int64_t bbCount = 0;                // BBCount: their continued sets
};

struct SummaryFigures {
    float bbProbability = 0;   // N / FirstHitCount
    float keizokuAverage = 0;  // BBCount / FirstHitCount
    float payoutRate = 0;      // balance / (3 N) x 100 + 100
    std::int64_t balanceYen = 0;
};

// The figures of a run of `games` games with `firstHits` BB games, their
// continued sets `bbSets` added up, ending at `balance` medals.
SummaryFigures FiguresOf(std::int64_t games, std::int64_t firstHits, std::int64_t bbSets, std::int32_t balance);

// The four-line summary caption from a run's tallies alone, as
// Presentation::ResultLabel words it for the same run; empty without games.
std::string ResultLabel(const RunTallies& tallies);

// Colours as 0xRRGGBB.
using Rgb = std::uint32_t;

struct ChartPoint {
    double x;
    double y;
    Rgb colour;
};

struct PieSlice {
    std::string_view name;
    std::int64_t value;
    Rgb colour;
};

// The small-win marker series of the slump chart, in drawing order.
enum class Marker { Cherry4, Suika_A, Suika_B, Chance, Cherry2 };
inline constexpr int kMarkerCount = 5;
inline constexpr std::array<Marker, kMarkerCount> kAllMarkers = {Marker::Cherry4, Marker::Suika_A, Marker::Suika_B,
                                                                 Marker::Chance, Marker::Cherry2};
std::string_view MarkerName(Marker m);  // "Cherry4" ..
Rgb MarkerColour(Marker m);
// The small win a marker series marks.
std::int32_t MarkerKoyaku(Marker m);

inline constexpr Rgb kModeLineColour = 0x0000FF;
inline constexpr Rgb kSlumpLineColour = 0xFF0000;
inline constexpr Rgb kBarColour = 0xFF0000;

// Progress after play j of n, truncated: (j + 1) / n x 100.
int PlayProgress(std::size_t j, std::size_t n);

class Presentation {
public:
    // Called with the progress bar's new position whenever it changes.
    using Progress = std::function<void(int percent)>;

    // Presents `records`, which must stay unchanged while this presentation
    // is shown (rows read them on demand). Replaces any earlier presentation.
    void Present(const RunRecords& records, const Progress& progress = {});
    // The same for a history in memory, read through records of its own;
    // the history must stay unchanged as well.
    void Present(const PlayHistory& history, const Progress& progress = {});
    void Clear();

    // N; 0 before any presentation and for an empty run.
    std::size_t Plays() const { return n_; }
    const Tallies& Counts() const { return tallies_; }
    const SummaryFigures& Figures() const { return figures_; }
    // The four-line summary caption; empty for an empty run.
    std::string ResultLabel() const;

    std::size_t RowCount(Page page) const;
    int ColumnCount(Page page) const { return static_cast<int>(PageInfo(page).columns.size()); }
    // The text of one cell: column 0 is the row's caption.
    std::string Cell(Page page, std::size_t row, int column) const;
    std::vector<std::string> Row(Page page, std::size_t row) const;
    // Texts that no cell of a play list's column outdoes in a font whose
    // digits are of one width: the names it may show and its extreme
    // numbers, from the run's block summaries (so a column can be sized for
    // the end of a long run without reading it). Empty for rate pages.
    std::vector<std::string> WidestCells(Page page, int column) const;

    // The play index behind a row of the BB and mode-change lists.
    std::size_t BBPlay(std::size_t row) const;
    std::size_t ModeChangePlay(std::size_t row) const;

    // The records presented, or null.
    const RunRecords* Records() const { return records_; }
    // Chart data, read on demand as the rows are: a marker point walks the
    // blocks' counts to its block, so it suits a few points, not a series.
    std::size_t MarkerPointCount(Marker m) const;
    ChartPoint MarkerPoint(Marker m, std::size_t k) const;
    // One bar per BB: x its ordinal, y its PlayNum2Log.
    std::size_t BarCount() const { return RowCount(Page::BB); }
    ChartPoint Bar(std::size_t k) const;
    std::array<PieSlice, 8> KoyakuSlices() const;
    std::array<PieSlice, 6> ModeStaySlices() const;
    std::array<PieSlice, 4> KModeSlices() const;

    // Memory the presentation holds beside the records, for benchmarks: the
    // block last read, whatever the run's length.
    std::size_t IndexBytes() const;

private:
    // The block last read: its records, and where in it the BB rows and the
    // mode-change rows stand. A screen of rows reads its block once.
    struct Block {
        static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
        std::size_t index = kNone;
        std::size_t first = 0;           // its first game
        std::int32_t balanceBefore = 0;  // after the game before it; 0 for the first block
        std::vector<GameRecord> records;
        std::vector<std::uint32_t> bbRows, modeChangeRows;
    };
    const Block& ReadBlock(std::size_t b) const;
    const GameRecord& Record(std::size_t j) const;
    std::string RateCell(Page page, std::size_t row, int column) const;

    const RunRecords* records_ = nullptr;
    std::unique_ptr<RunRecords> held_;  // over a history presented directly
    std::size_t n_ = 0;
    Tallies tallies_;
    SummaryFigures figures_;
    mutable Block block_;
};

}  // namespace morvane
