#pragma once
// What a pixel column stands for once a chart holds more data than pixels:
// for a series of levels (the mode), how its games divide among the levels;
// for bars (the games between BBs), the quartiles and the highest of the
// bars that share the column. Qt-free, so it is tested and timed on its own.
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "chart/envelope.h"

namespace morvane::chart {

// The games of one pixel column: those with x0 <= x < x1 (the last column
// also takes x == x1), counted per level.
struct LevelColumn {
    int column = 0;
    double x0 = 0, x1 = 0;
    std::size_t games = 0;  // those outside the levels included
    LevelIndex::Counts counts{};
    std::uint64_t Total(int levels) const;
};

// Per column of `columns` equal columns over [xmin, xmax], the games in it
// per level; columns without games are left out. An index built from the
// same x and y reads whole blocks instead of every game; x must ascend for
// that (unordered x is counted game by game).
std::vector<LevelColumn> LevelShares(Samples x, Samples y, double xmin, double xmax, int columns,
                                     const SeriesIndex* index = nullptr, const LevelIndex* levels = nullptr);

// The bars (x ascending) of a group of neighbouring pixel columns.
struct BarGroup {
    double x0 = 0, x1 = 0;  // the span of x it stands for
    std::size_t first = 0;  // its bars: [first, first + count)
    std::size_t count = 0;
    double q1 = 0, median = 0, q3 = 0, max = 0;
};

// Groups the bars with xmin - 0.5 <= x <= xmax + 0.5 by pixel column, each
// group `pixelsPerGroup` columns wide, and gives each group's quartiles
// (interpolated between the two nearest values, as spreadsheets do) and
// highest value. Groups without bars are left out.
std::vector<BarGroup> SummarizeBars(std::span<const XY> bars, double xmin, double xmax, int columns,
                                    int pixelsPerGroup = 1);
// The same for bars at x = 1, 2, ...: bar k + 1 is heights[k] high.
std::vector<BarGroup> SummarizeBarHeights(std::span<const std::int32_t> heights, double xmin, double xmax, int columns,
                                          int pixelsPerGroup = 1);
// Of `count` bars at x = 1, 2, ..., those with xmin - 0.5 <= x <= xmax + 0.5:
// their indices [first, last).
std::pair<std::size_t, std::size_t> VisibleBars(std::size_t count, double xmin, double xmax);

// How many pixel columns a group takes so that it holds about `bars` bars
// when each bar has `pixelsPerBar` pixels: one column once they are dense.
int PixelsPerGroup(double pixelsPerBar, int bars);

}  // namespace morvane::chart
