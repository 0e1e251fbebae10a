#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>

#include "chart/envelope.h"

namespace morvane::chart {
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
    for (const auto& [lo, hi, columns] : {std::tuple{1.0, 5000.0, 7}, std::tuple{511.0, 1537.0, 3},
                                          std::tuple{512.0, 1024.0, 2}, std::tuple{513.0, 4999.0, 11},
                                          std::tuple{1.0, 5000.0, 1}}) {
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

}  // namespace
}  // namespace morvane::chart
