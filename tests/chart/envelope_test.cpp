#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <tuple>

#include "chart/envelope.h"

namespace morvane::chart {

void PrintTo(const XY& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }

namespace {

struct Series {
    std::vector<std::int32_t> x, y;
};

Series RandomWalk(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> step(-20, 20);
    Series s;
    std::int32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        s.x.push_back(static_cast<std::int32_t>(i + 1));
        v += step(rng);
        s.y.push_back(v);
    }
    return s;
}

// Recomputes each column's extremes from the raw data and finds them in the
// envelope, at the x where they occur.
void ExpectColumnsKeepTheirExtremes(const Series& s, double lo, double hi, int columns) {
    const std::vector<XY> env = Envelope(s.x, s.y, lo, hi, columns);
    std::set<std::pair<double, double>> kept;
    for (const XY& p : env) kept.insert({p.x, p.y});
    std::vector<std::int32_t> mins(columns, INT32_MAX), maxs(columns, INT32_MIN);
    std::vector<std::int32_t> minX(columns), maxX(columns);
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        if (s.x[i] < lo || s.x[i] > hi) continue;
        const int c = std::min(columns - 1, static_cast<int>((s.x[i] - lo) * columns / (hi - lo)));
        if (s.y[i] < mins[c]) mins[c] = s.y[i], minX[c] = s.x[i];
        if (s.y[i] > maxs[c]) maxs[c] = s.y[i], maxX[c] = s.x[i];
    }
    for (int c = 0; c < columns; ++c) {
        if (mins[c] == INT32_MAX) continue;
        ASSERT_TRUE(kept.count({minX[c], mins[c]})) << "column " << c << " lost its minimum";
        ASSERT_TRUE(kept.count({maxX[c], maxs[c]})) << "column " << c << " lost its maximum";
    }
    EXPECT_LE(env.size(), 4u * columns + 2);
    // The index a series builds once must not change a single point.
    const SeriesIndex index(s.x, s.y);
    EXPECT_EQ(Envelope(s.x, s.y, lo, hi, columns, &index), env);
    const Range r = YRange(s.x, s.y, lo, hi), ri = YRange(s.x, s.y, lo, hi, &index);
    EXPECT_EQ(ri.min, r.min);
    EXPECT_EQ(ri.max, r.max);
}

TEST(Envelope, KeepsEveryColumnsMinimumAndMaximum) {
    const Series s = RandomWalk(1'000'000, 1);
    ExpectColumnsKeepTheirExtremes(s, 1, 1'000'000, 597);
    ExpectColumnsKeepTheirExtremes(s, 250'000, 260'000, 500);  // zoomed
    ExpectColumnsKeepTheirExtremes(s, 17, 99'999, 313);
}

TEST(Envelope, PointsAreOriginalsInOrder) {
    const Series s = RandomWalk(200'000, 2);
    const std::vector<XY> env = Envelope(s.x, s.y, 1, 200'000, 400);
    ASSERT_FALSE(env.empty());
    for (std::size_t i = 0; i < env.size(); ++i) {
        const auto j = static_cast<std::size_t>(env[i].x) - 1;
        ASSERT_EQ(env[i].y, s.y[j]);
        if (i) {
            ASSERT_LT(env[i - 1].x, env[i].x);
        }
    }
    EXPECT_EQ(env.front(), (XY{1, static_cast<double>(s.y[0])}));
    EXPECT_EQ(env.back(), (XY{200'000, static_cast<double>(s.y.back())}));
}

TEST(Envelope, FewVisiblePointsPassUnchanged) {
    const Series s = RandomWalk(10'000, 3);
    // 300 games in view on a 500-pixel chart: exact, plus one point beyond
    // each edge so the line reaches the border.
    const std::vector<XY> env = Envelope(s.x, s.y, 5000, 5299, 500);
    ASSERT_EQ(env.size(), 302u);
    for (std::size_t i = 0; i < env.size(); ++i) {
        EXPECT_EQ(env[i].x, 4999 + static_cast<double>(i));
        EXPECT_EQ(env[i].y, s.y[4998 + i]);
    }
    const std::vector<XY> one = Envelope(std::vector<std::int32_t>{1}, std::vector<std::int32_t>{-3}, 1, 1, 500);
    EXPECT_EQ(one, (std::vector<XY>{{1, -3}}));
    EXPECT_TRUE(Envelope({}, {}, 0, 10, 100).empty());
}

TEST(Envelope, UnorderedGameNumbersStillGiveTheExtremes) {
    // A loaded file may hold anything in its game numbers.
    Series s = RandomWalk(50'000, 4);
    std::mt19937 rng(9);
    std::shuffle(s.x.begin(), s.x.end(), rng);
    ExpectColumnsKeepTheirExtremes(s, 1, 50'000, 200);
}

TEST(Envelope, IndexedColumnsMatchTheScanAtBlockEdges) {
    // Repeated extremes inside and across blocks, and stretches that start
    // and end on either side of a block boundary.
    Series s;
    for (std::int32_t i = 0; i < 5000; ++i) {
        s.x.push_back(i + 1);
        s.y.push_back((i * 37) % 101 - 50 + (i % 997 == 0 ? 400 : 0));
    }
    const SeriesIndex index(s.x, s.y);
    for (const auto& [lo, hi, columns] :
         {std::tuple{1.0, 5000.0, 7}, std::tuple{511.0, 1537.0, 3}, std::tuple{512.0, 1024.0, 2},
          std::tuple{513.0, 4999.0, 11}, std::tuple{1.0, 5000.0, 1}}) {
        ExpectColumnsKeepTheirExtremes(s, lo, hi, columns);
        EXPECT_EQ(Envelope(s.x, s.y, lo, hi, columns, &index), Envelope(s.x, s.y, lo, hi, columns)) << lo << " " << hi;
    }
}

TEST(Envelope, ReadsAFieldOfAnArrayOfRecords) {
    // The history's columns are fields of 32-byte records.
    struct Record {
        std::int32_t pad0, y, pad1, x, pad[4];
    };
    const Series s = RandomWalk(20'000, 6);
    std::vector<Record> records;
    for (std::size_t i = 0; i < s.x.size(); ++i) records.push_back({-1, s.y[i], -2, s.x[i], {-3, -4, -5, -6}});
    const Samples x(&records[0].x, records.size(), sizeof(Record)), y(&records[0].y, records.size(), sizeof(Record));
    const SeriesIndex index(x, y);
    EXPECT_EQ(Envelope(x, y, 100, 19'000, 300, &index), Envelope(s.x, s.y, 100, 19'000, 300));
    EXPECT_EQ(Envelope(x, y, 100, 400, 300), Envelope(s.x, s.y, 100, 400, 300));
}

TEST(Prevailing, EachColumnShowsTheLevelMostOfItsGamesTake) {
    // Modes 0..5 in runs of random length, and a few out-of-range values a
    // loaded file may hold.
    std::mt19937 rng(11);
    Series s;
    std::int32_t level = 0;
    for (std::int32_t i = 0; i < 300'000; ++i) {
        if (rng() % 97 == 0) level = static_cast<std::int32_t>(rng() % 6);
        s.x.push_back(i + 1);
        s.y.push_back(rng() % 5000 == 0 ? 42 : level);
    }
    const SeriesIndex index(s.x, s.y);
    const LevelIndex levels(s.y);
    for (const auto& [lo, hi, columns] :
         {std::tuple{1.0, 300'000.0, 597}, std::tuple{1000.5, 77'777.0, 300}, std::tuple{512.0, 2048.0, 100}}) {
        const std::vector<XY> line = Prevailing(s.x, s.y, lo, hi, columns, &index, &levels);
        EXPECT_EQ(line, Prevailing(s.x, s.y, lo, hi, columns, nullptr, nullptr));
        EXPECT_LE(line.size(), 2u * columns + 2);
        // A recount per pixel column: the games whose x falls in it, the
        // level most of them take, drawn from its first to its last game.
        std::vector<XY> expected;
        std::vector<std::array<int, 8>> counts(static_cast<std::size_t>(columns));
        std::vector<std::size_t> first(static_cast<std::size_t>(columns), SIZE_MAX), last(counts.size());
        for (std::size_t g = 0; g < s.x.size(); ++g) {
            if (s.x[g] < lo) continue;
            if (s.x[g] > hi) {
                expected.push_back({static_cast<double>(s.x[g]), static_cast<double>(s.y[g])});
                break;
            }
            if (g > 0 && s.x[g - 1] < lo)
                expected.push_back({static_cast<double>(s.x[g - 1]), static_cast<double>(s.y[g - 1])});
            const auto c =
                std::min<std::size_t>(static_cast<std::size_t>((s.x[g] - lo) * (columns / (hi - lo))), columns - 1);
            if (first[c] == SIZE_MAX) first[c] = g;
            last[c] = g;
            if (s.y[g] >= 0 && s.y[g] < 8) ++counts[c][static_cast<std::size_t>(s.y[g])];
        }
        std::vector<XY> columnsDrawn;
        for (std::size_t c = 0; c < counts.size(); ++c) {
            if (first[c] == SIZE_MAX) continue;
            const auto best = std::max_element(counts[c].begin(), counts[c].end()) - counts[c].begin();
            const double v = counts[c][static_cast<std::size_t>(best)] ? static_cast<double>(best) : s.y[first[c]];
            columnsDrawn.push_back({static_cast<double>(s.x[first[c]]), v});
            if (last[c] != first[c]) columnsDrawn.push_back({static_cast<double>(s.x[last[c]]), v});
        }
        const bool before = !expected.empty() && expected.front().x < lo;
        expected.insert(expected.begin() + (before ? 1 : 0), columnsDrawn.begin(), columnsDrawn.end());
        for (std::size_t k = 0; k < std::min(line.size(), expected.size()); ++k)
            ASSERT_EQ(line[k], expected[k]) << k << " of " << lo << " .. " << hi;
        ASSERT_EQ(line.size(), expected.size()) << lo << " .. " << hi;
    }
    // Zoomed in far enough, every game shows as it is.
    EXPECT_EQ(Prevailing(s.x, s.y, 5000, 5299, 500, &index, &levels), Envelope(s.x, s.y, 5000, 5299, 500));
}

TEST(Prevailing, TiesGoToTheLowerLevelAndOutOfRangeColumnsKeepTheirValue) {
    // Three columns of twenty games: 3 and 1 ten times each; 9 only; 2
    // ten times among -1.
    std::vector<std::int32_t> x, y;
    for (std::int32_t pattern : {0, 1, 2})
        for (int i = 0; i < 20; ++i) {
            x.push_back(static_cast<std::int32_t>(x.size()) + 1);
            const int k = i % 4;
            y.push_back(pattern == 0 ? (k == 0 || k == 3 ? 3 : 1) : pattern == 1 ? 9 : (k == 0 || k == 3 ? -1 : 2));
        }
    EXPECT_EQ(Prevailing(x, y, 1, 60, 3, nullptr, nullptr),
              (std::vector<XY>{{1, 1}, {20, 1}, {21, 9}, {40, 9}, {41, 2}, {60, 2}}));
}

TEST(Thin, OnePointPerCellAndEveryOccupiedCellKept) {
    std::vector<XY> points;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(0, 100);
    for (int i = 0; i < 20000; ++i) points.push_back({u(rng), u(rng)});
    const std::vector<XY> kept = Thin(points, 0, 100, 0, 100, 50, 40);
    std::set<std::pair<int, int>> cells, keptCells;
    auto cell = [](const XY& p) { return std::make_pair(std::min(49, int(p.x / 2)), std::min(39, int(p.y / 2.5))); };
    for (const XY& p : points) cells.insert(cell(p));
    for (const XY& p : kept) EXPECT_TRUE(keptCells.insert(cell(p)).second) << "two points in one cell";
    EXPECT_EQ(keptCells, cells);
    // Points outside the view are dropped.
    EXPECT_TRUE(Thin(points, 200, 300, 0, 100, 50, 40).empty());
}

TEST(YRange, OfTheVisibleStretch) {
    const std::vector<std::int32_t> x = {1, 2, 3, 4, 5};
    const std::vector<std::int32_t> y = {5, -7, 2, 9, 0};
    const Range all = YRange(x, y, 1, 5);
    EXPECT_EQ(all.min, -7);
    EXPECT_EQ(all.max, 9);
    const Range part = YRange(x, y, 3, 5);
    EXPECT_EQ(part.min, 0);
    EXPECT_EQ(part.max, 9);
    EXPECT_GT(YRange(x, y, 10, 20).min, YRange(x, y, 10, 20).max);
}

TEST(CountIn, GamesInViewAsCountedOneByOne) {
    // Whether the mode band shows hangs on this count against the plot's
    // width: its edges (fractional, outside the data, reversed) matter.
    Series sorted = RandomWalk(3000, 5);
    Series shuffled = sorted;
    std::mt19937 rng(3);
    std::shuffle(shuffled.x.begin(), shuffled.x.end(), rng);
    for (const Series* s : {&sorted, &shuffled}) {
        const SeriesIndex index(s->x, s->y);
        for (const auto& [lo, hi] :
             {std::pair{1.0, 3000.0}, std::pair{0.5, 1.5}, std::pair{2.2, 2.8}, std::pair{1500.0, 1500.0},
              std::pair{-10.0, 10.0}, std::pair{2990.5, 4000.0}, std::pair{5000.0, 6000.0}, std::pair{20.0, 10.0}}) {
            const auto want = static_cast<std::size_t>(
                std::count_if(s->x.begin(), s->x.end(), [&](std::int32_t v) { return v >= lo && v <= hi; }));
            EXPECT_EQ(CountIn(s->x, lo, hi), want) << lo << " .. " << hi;
            EXPECT_EQ(CountIn(s->x, lo, hi, &index), want) << lo << " .. " << hi;
        }
    }
}

}  // namespace
}  // namespace morvane::chart
