#pragma once
// Everything a run's presentation shows, computed from a play history in one
// pass. Rows and cells are produced on demand from the history and a compact
// index of BB plays, mode changes and marker plays, so millions of games
// cost a few bytes each beyond the history.
#include <array>
#include <cstdint>
#include <functional>
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

inline constexpr Rgb kModeLineColour = 0x0000FF;
inline constexpr Rgb kSlumpLineColour = 0xFF0000;
inline constexpr Rgb kBarColour = 0xFF0000;

// Progress after play j of n, truncated: (j + 1) / n x 100.
int PlayProgress(std::size_t j, std::size_t n);

class Presentation {
public:
    // Called with the progress bar's new position whenever it changes.
    using Progress = std::function<void(int percent)>;

    // Presents `history`, which must stay unchanged while this presentation
    // is shown (rows read it on demand). Replaces any earlier presentation.
    void Present(const PlayHistory& history, const Progress& progress = {});
    void Clear();

    // N; 0 before any presentation and for an empty history.
    std::size_t Plays() const { return n_; }
    const Tallies& Counts() const { return tallies_; }
    const SummaryFigures& Figures() const { return figures_; }
    // The four-line summary caption; empty for an empty history.
    std::string ResultLabel() const;

    std::size_t RowCount(Page page) const;
    int ColumnCount(Page page) const { return static_cast<int>(PageInfo(page).columns.size()); }
    // The text of one cell: column 0 is the row's caption.
    std::string Cell(Page page, std::size_t row, int column) const;
    std::vector<std::string> Row(Page page, std::size_t row) const;

    // The play index behind a row of the BB and mode-change lists.
    std::size_t BBPlay(std::size_t row) const { return bbPlays_[row]; }
    std::size_t ModeChangePlay(std::size_t row) const { return modeChangePlays_[row]; }

    // Chart data. Lines: x = PlayNumLog, y = ModeLog (mode line, right axis)
    // or MedalLog (slump line); both read straight from the history.
    const PlayHistory* History() const { return history_; }
    std::size_t MarkerPointCount(Marker m) const;
    ChartPoint MarkerPoint(Marker m, std::size_t k) const;
    // One bar per BB: x its ordinal, y its PlayNum2Log.
    std::size_t BarCount() const { return bbPlays_.size(); }
    ChartPoint Bar(std::size_t k) const;
    std::array<PieSlice, 8> KoyakuSlices() const;
    std::array<PieSlice, 6> ModeStaySlices() const;
    std::array<PieSlice, 4> KModeSlices() const;

    // Memory the index holds, for benchmarks.
    std::size_t IndexBytes() const;

private:
    std::string RateCell(Page page, std::size_t row, int column) const;

    const PlayHistory* history_ = nullptr;
    std::size_t n_ = 0;
    Tallies tallies_;
    SummaryFigures figures_;
    std::vector<std::uint32_t> bbPlays_;
    std::vector<std::uint32_t> modeChangePlays_;
    std::array<std::vector<std::uint32_t>, kMarkerCount> markerPlays_;
};

}  // namespace morvane
