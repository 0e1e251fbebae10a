#include "chart/bands.h"

#include <algorithm>
#include <cmath>

#include "chart/sample_search.h"

namespace morvane::chart {
namespace {

void CountLevels(Samples y, std::size_t lo, std::size_t hi, LevelIndex::Counts& counts) {
    for (std::size_t i = lo; i < hi; ++i) {
        const std::int32_t v = y[i];
        if (v >= 0 && v < LevelIndex::kLevels) ++counts[static_cast<std::size_t>(v)];
    }
}

struct Quartiles {
    double q1, median, q3, max;
};

// The quartiles and the highest of `values`, which it reorders: the median
// first, then each quartile within its half, and the value next above each
// from the stretch between them, so every value is looked at about three
// times rather than once per figure.
Quartiles SelectQuartiles(std::span<double> v) {
    const std::size_t n = v.size();
    auto rank = [&](double p) { return (static_cast<double>(n) - 1) * p; };
    auto at = [&](std::size_t k) { return v.begin() + static_cast<std::ptrdiff_t>(k); };
    const std::size_t k1 = static_cast<std::size_t>(rank(0.25)), k2 = static_cast<std::size_t>(rank(0.5)),
                      k3 = static_cast<std::size_t>(rank(0.75));
    std::nth_element(v.begin(), at(k2), v.end());
    if (k1 < k2) std::nth_element(v.begin(), at(k1), at(k2));
    if (k3 > k2) std::nth_element(at(k2 + 1), at(k3), v.end());
    // The value next above rank k: the smallest of those placed between k
    // and the next rank pinned down after it.
    const double after3 = k3 + 1 < n ? *std::min_element(at(k3 + 1), v.end()) : v[k3];
    const double after2 = k2 < k3 ? *std::min_element(at(k2 + 1), at(k3 + 1)) : after3;
    const double after1 = k1 < k2 ? *std::min_element(at(k1 + 1), at(k2 + 1)) : after2;
    auto interpolate = [&](double p, std::size_t k, double next) { return v[k] + (rank(p) - k) * (next - v[k]); };
    Quartiles q;
    q.max = k3 + 1 < n ? *std::max_element(at(k3 + 1), v.end()) : v[k3];
    q.q1 = interpolate(0.25, k1, after1);
    q.median = interpolate(0.5, k2, after2);
    q.q3 = interpolate(0.75, k3, after3);
    return q;
}

}  // namespace

std::uint64_t LevelColumn::Total(int levels) const {
    std::uint64_t t = 0;
    for (int l = 0; l < levels && l < LevelIndex::kLevels; ++l) t += counts[static_cast<std::size_t>(l)];
    return t;
}

std::vector<LevelColumn> LevelShares(Samples x, Samples y, double xmin, double xmax, int columns,
                                     const SeriesIndex* index, const LevelIndex* levels) {
    std::vector<LevelColumn> out;
    const std::size_t n = std::min(x.size(), y.size());
    x = x.first(n);
    y = y.first(n);
    if (n == 0 || columns <= 0 || !(xmax >= xmin)) return out;
    const double scale = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    const auto last = static_cast<std::size_t>(columns - 1);
    auto columnOf = [&](double v) { return std::min(last, static_cast<std::size_t>((v - xmin) * scale)); };
    auto column = [&](std::size_t c) {
        LevelColumn col;
        col.column = static_cast<int>(c);
        col.x0 = xmin + static_cast<double>(c) * (xmax - xmin) / columns;
        col.x1 = c == last ? xmax : xmin + static_cast<double>(c + 1) * (xmax - xmin) / columns;
        return col;
    };
    const bool sorted = index ? index->Sorted() : Ascending(x);
    if (!sorted) {
        // A loaded file may hold its games in any order.
        std::vector<LevelColumn> all(static_cast<std::size_t>(columns));
        std::vector<bool> used(all.size());
        for (std::size_t i = 0; i < n; ++i) {
            const double v = x[i];
            if (v < xmin || v > xmax) continue;
            const std::size_t c = columnOf(v);
            if (!used[c]) {
                all[c] = column(c);
                used[c] = true;
            }
            ++all[c].games;
            CountLevels(y, i, i + 1, all[c].counts);
        }
        for (std::size_t c = 0; c < all.size(); ++c)
            if (used[c]) out.push_back(all[c]);
        return out;
    }
    std::size_t start = PartitionPoint(x, 0, n, [&](std::int32_t v) { return v < xmin; });
    const std::size_t hi = PartitionPoint(x, start, n, [&](std::int32_t v) { return v <= xmax; });
    out.reserve(std::min<std::size_t>(static_cast<std::size_t>(columns), hi - start));
    while (start < hi) {
        // Columns are found from the games, so empty ones cost nothing.
        const std::size_t c = columnOf(x[start]);
        const std::size_t end =
            c == last ? hi : PartitionPoint(x, start, hi, [&](std::int32_t v) { return columnOf(v) <= c; });
        LevelColumn col = column(c);
        col.games = end - start;
        if (levels) {
            levels->Count(y, start, end, col.counts);
        } else {
            CountLevels(y, start, end, col.counts);
        }
        out.push_back(col);
        start = end;
    }
    return out;
}

namespace {

// The bars k in [0, count), x(k) ascending, with xmin - 0.5 <= x(k) <= xmax + 0.5.
template <class X>
std::pair<std::size_t, std::size_t> BarsWithin(std::size_t count, X x, double xmin, double xmax) {
    const std::size_t first = FirstFailing(0, count, [&](std::size_t k) { return x(k) < xmin - 0.5; });
    return {first, FirstFailing(first, count, [&](std::size_t k) { return !(xmax + 0.5 < x(k)); })};
}

// Bars given by index: x(k) ascending, y(k) their heights, [0, count).
template <class X, class Y>
std::vector<BarGroup> Summarize(std::size_t count, X x, Y y, double xmin, double xmax, int columns,
                                int pixelsPerGroup) {
    std::vector<BarGroup> out;
    if (count == 0 || columns <= 0 || !(xmax >= xmin)) return out;
    const int g = std::max(1, pixelsPerGroup);
    const int groups = (columns + g - 1) / g;
    const double groupWidth = (xmax - xmin) / columns * g;
    auto groupOf = [&](double v) {
        if (!(groupWidth > 0)) return 0;
        return std::clamp(static_cast<int>(std::floor((v - xmin) / groupWidth)), 0, groups - 1);
    };
    const auto [first, end] = BarsWithin(count, x, xmin, xmax);
    std::vector<double> values;
    for (std::size_t it = first; it != end;) {
        const int k = groupOf(x(it));
        std::size_t stop = it;
        while (stop != end && groupOf(x(stop)) == k) ++stop;
        BarGroup group;
        group.x0 = xmin + k * groupWidth;
        group.x1 = k == groups - 1 ? xmax : xmin + (k + 1) * groupWidth;
        group.first = it;
        group.count = stop - it;
        values.clear();
        for (std::size_t b = it; b != stop; ++b) values.push_back(y(b));
        const Quartiles q = SelectQuartiles(values);
        group.q1 = q.q1;
        group.median = q.median;
        group.q3 = q.q3;
        group.max = q.max;
        out.push_back(group);
        it = stop;
    }
    return out;
}

double BarX(std::size_t k) { return static_cast<double>(k + 1); }

}  // namespace

std::vector<BarGroup> SummarizeBars(std::span<const XY> bars, double xmin, double xmax, int columns,
                                    int pixelsPerGroup) {
    return Summarize(
        bars.size(), [&](std::size_t k) { return bars[k].x; }, [&](std::size_t k) { return bars[k].y; }, xmin, xmax,
        columns, pixelsPerGroup);
}

std::vector<BarGroup> SummarizeBarHeights(std::span<const std::int32_t> heights, double xmin, double xmax, int columns,
                                          int pixelsPerGroup) {
    return Summarize(
        heights.size(), BarX, [&](std::size_t k) { return static_cast<double>(heights[k]); }, xmin, xmax, columns,
        pixelsPerGroup);
}

std::pair<std::size_t, std::size_t> VisibleBars(std::size_t count, double xmin, double xmax) {
    return BarsWithin(count, BarX, xmin, xmax);
}

int PixelsPerGroup(double pixelsPerBar, int bars) {
    if (!(pixelsPerBar > 0)) return 1;
    return std::max(1, static_cast<int>(std::ceil(bars * pixelsPerBar - 1e-9)));
}

}  // namespace morvane::chart
