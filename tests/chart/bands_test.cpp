#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <tuple>

#include "chart/bands.h"

namespace morvane::chart {
namespace {

struct Series {
    std::vector<std::int32_t> x, y;
};

// Modes 0..5 held for stretches of random length, as the machine holds
// them, with now and then a value outside the levels (a loaded file).
Series Modes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Series s;
    std::int32_t level = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (rng() % 61 == 0) level = static_cast<std::int32_t>(rng() % 6);
        s.x.push_back(static_cast<std::int32_t>(i + 1));
        s.y.push_back(rng() % 7000 == 0 ? 77 : level);
    }
    return s;
}

using Counts = LevelIndex::Counts;

// Games per level per column, counted one by one: column c holds the x with
// c <= (x - lo) / (hi - lo) * columns < c + 1, the last one also x == hi.
std::map<int, Counts> Recount(const Series& s, double lo, double hi, int columns) {
    std::map<int, Counts> out;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        const double v = s.x[i];
        if (v < lo || v > hi) continue;
        const int c = hi > lo ? std::min(columns - 1, static_cast<int>(std::floor((v - lo) / (hi - lo) * columns))) : 0;
        Counts& k = out[c];  // a column of games outside the levels exists too
        if (s.y[i] >= 0 && s.y[i] < LevelIndex::kLevels) ++k[static_cast<std::size_t>(s.y[i])];
    }
    return out;
}

void ExpectSharesAsRecounted(const Series& s, double lo, double hi, int columns) {
    const SeriesIndex index(s.x, s.y);
    const LevelIndex levels(s.y);
    const std::vector<LevelColumn> got = LevelShares(s.x, s.y, lo, hi, columns, &index, &levels);
    const std::map<int, Counts> want = Recount(s, lo, hi, columns);
    ASSERT_EQ(got.size(), want.size()) << lo << " .. " << hi;
    auto w = want.begin();
    for (const LevelColumn& c : got) {
        ASSERT_EQ(c.column, w->first);
        for (std::size_t l = 0; l < LevelIndex::kLevels; ++l)
            ASSERT_EQ(c.counts[l], w->second[l]) << "column " << c.column;
        // The span the column stands for, as the chart maps it.
        EXPECT_NEAR(c.x0, lo + (hi - lo) * c.column / columns, 1e-9 * std::max(1.0, hi));
        EXPECT_NEAR(c.x1, lo + (hi - lo) * (c.column + 1) / columns, 1e-9 * std::max(1.0, hi));
        ++w;
    }
    // Without the index the same counts, game by game.
    const std::vector<LevelColumn> plain = LevelShares(s.x, s.y, lo, hi, columns);
    ASSERT_EQ(plain.size(), got.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(plain[i].counts, got[i].counts);
}

TEST(LevelShares, EachColumnCountsItsGamesPerLevel) {
    const Series s = Modes(400'000, 3);
    for (const auto& [lo, hi, columns] :
         {std::tuple{1.0, 400'000.0, 597}, std::tuple{1.0, 400'000.0, 479}, std::tuple{1000.5, 77'777.25, 300},
          std::tuple{511.0, 1537.0, 3}, std::tuple{5000.0, 5299.0, 500}, std::tuple{-50.0, 60.0, 11}}) {
        ExpectSharesAsRecounted(s, lo, hi, columns);
    }
}

TEST(LevelShares, TheSharesOfAWholeRunAreItsShares) {
    // Summed over the columns, every game in view is counted once.
    const Series s = Modes(123'457, 8);
    const LevelIndex levels(s.y);
    const SeriesIndex index(s.x, s.y);
    Counts total{}, want{};
    for (const LevelColumn& c : LevelShares(s.x, s.y, 1, 123'457, 480, &index, &levels))
        for (std::size_t l = 0; l < total.size(); ++l) total[l] += c.counts[l];
    for (std::int32_t v : s.y)
        if (v >= 0 && v < LevelIndex::kLevels) ++want[static_cast<std::size_t>(v)];
    EXPECT_EQ(total, want);
}

TEST(LevelShares, UnorderedGamesAndEdgeCases) {
    Series s = Modes(30'000, 4);
    std::mt19937 rng(2);
    std::shuffle(s.x.begin(), s.x.end(), rng);
    const std::vector<LevelColumn> got = LevelShares(s.x, s.y, 1, 30'000, 200);
    const std::map<int, Counts> want = Recount(s, 1, 30'000, 200);
    ASSERT_EQ(got.size(), want.size());
    for (const LevelColumn& c : got) EXPECT_EQ(c.counts, want.at(c.column)) << c.column;

    // One game: one column; nothing in view or no columns: none.
    const std::vector<LevelColumn> one =
        LevelShares(std::vector<std::int32_t>{1}, std::vector<std::int32_t>{2}, 1, 1, 500);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].counts[2], 1u);
    EXPECT_EQ(one[0].Total(6), 1u);
    EXPECT_TRUE(LevelShares(s.x, s.y, 40'000, 50'000, 100).empty());
    EXPECT_TRUE(LevelShares(s.x, s.y, 1, 100, 0).empty());
}

// The quantile p of the values: sorted, interpolated between the two
// nearest, as a spreadsheet's QUARTILE does.
double SpreadsheetQuantile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const double h = (v.size() - 1) * p;
    const auto k = static_cast<std::size_t>(h);
    return k + 1 < v.size() ? v[k] + (h - k) * (v[k + 1] - v[k]) : v[k];
}

TEST(SummarizeBars, EachGroupGivesItsQuartilesAndHighest) {
    // Games between BBs: mostly short, a tail up to the ceiling.
    std::mt19937 rng(5);
    std::exponential_distribution<double> gap(1 / 250.0);
    std::vector<XY> bars;
    for (int k = 1; k <= 35'683; ++k) bars.push_back({static_cast<double>(k), std::min(1532.0, std::ceil(gap(rng)))});
    for (const auto& [lo, hi, columns, pixels] : {std::tuple{0.0, 35'684.0, 540, 1}, std::tuple{0.5, 35'683.5, 540, 1},
                                                  std::tuple{0.0, 600.0, 540, 8}, std::tuple{1000.0, 9000.0, 333, 3}}) {
        const std::vector<BarGroup> groups = SummarizeBars(bars, lo, hi, columns, pixels);
        ASSERT_FALSE(groups.empty());
        std::size_t seen = 0;
        // The bars of each group, found again from the groups' spans.
        const double width = (hi - lo) / columns * pixels;
        const int count = (columns + pixels - 1) / pixels;
        std::map<int, std::vector<double>> byGroup;
        for (const XY& b : bars)
            if (b.x >= lo - 0.5 && b.x <= hi + 0.5)
                byGroup[std::clamp(static_cast<int>(std::floor((b.x - lo) / width)), 0, count - 1)].push_back(b.y);
        ASSERT_EQ(groups.size(), byGroup.size());
        for (const BarGroup& g : groups) {
            const int k = static_cast<int>(std::lround((g.x0 - lo) / width));
            ASSERT_NEAR(g.x0, lo + k * width, 1e-9 * hi);
            const std::vector<double>& v = byGroup[k];
            ASSERT_EQ(v.size(), g.count) << g.x0;
            for (std::size_t i = 0; i < g.count; ++i) ASSERT_EQ(bars[g.first + i].y, v[i]);
            EXPECT_DOUBLE_EQ(g.median, SpreadsheetQuantile(v, 0.5)) << g.x0;
            EXPECT_DOUBLE_EQ(g.q1, SpreadsheetQuantile(v, 0.25)) << g.x0;
            EXPECT_DOUBLE_EQ(g.q3, SpreadsheetQuantile(v, 0.75)) << g.x0;
            EXPECT_EQ(g.max, *std::max_element(v.begin(), v.end()));
            EXPECT_LE(g.q1, g.median);
            EXPECT_LE(g.median, g.q3);
            seen += g.count;
        }
        std::size_t inView = 0;
        for (const XY& b : bars) inView += b.x >= lo - 0.5 && b.x <= hi + 0.5;
        EXPECT_EQ(seen, inView) << "every bar in view in one group";
        // The same bars as heights alone, bar k + 1 the k-th: the same groups.
        std::vector<std::int32_t> heights;
        for (const XY& b : bars) heights.push_back(static_cast<std::int32_t>(b.y));
        const std::vector<BarGroup> same = SummarizeBarHeights(heights, lo, hi, columns, pixels);
        ASSERT_EQ(same.size(), groups.size());
        for (std::size_t i = 0; i < same.size(); ++i) {
            EXPECT_EQ(same[i].first, groups[i].first);
            EXPECT_EQ(same[i].count, groups[i].count);
            EXPECT_EQ(same[i].x0, groups[i].x0);
            EXPECT_EQ(same[i].x1, groups[i].x1);
            EXPECT_EQ(same[i].median, groups[i].median);
            EXPECT_EQ(same[i].q1, groups[i].q1);
            EXPECT_EQ(same[i].q3, groups[i].q3);
            EXPECT_EQ(same[i].max, groups[i].max);
        }
        const auto [first, last] = VisibleBars(heights.size(), lo, hi);
        EXPECT_EQ(last - first, inView);
        EXPECT_EQ(first, groups.front().first);
    }
    // A group of one bar, and of two.
    const std::vector<XY> two = {{1, 10}, {2, 30}};
    const std::vector<BarGroup> g = SummarizeBars(two, 0, 3, 1);
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].median, 20);
    EXPECT_EQ(g[0].q1, 15);
    EXPECT_EQ(g[0].q3, 25);
    EXPECT_EQ(g[0].max, 30);
    EXPECT_TRUE(SummarizeBars({}, 0, 3, 10).empty());
}

TEST(SummarizeBars, GroupsHoldAFewBarsOnceTheyAreNarrowerThanAPixel) {
    // 600 bars on 540 pixels: groups of several columns, each with about
    // eight bars; 36,000 bars: one column each.
    std::vector<XY> bars;
    for (int k = 1; k <= 600; ++k) bars.push_back({static_cast<double>(k), static_cast<double>(k % 97)});
    const int g = PixelsPerGroup(540.0 / 601, 8);
    const std::vector<BarGroup> groups = SummarizeBars(bars, 0, 601, 540, g);
    ASSERT_GT(groups.size(), 50u);
    // All but the last, which the plot's edge may cut short.
    for (std::size_t k = 0; k + 1 < groups.size(); ++k) EXPECT_GE(groups[k].count, 7u) << groups[k].x0;
    EXPECT_EQ(PixelsPerGroup(540.0 / 36'000, 8), 1);
}

}  // namespace
}  // namespace morvane::chart
