#include "chart/bands.h"

#include <algorithm>
#include <cmath>

namespace morvane::chart {
namespace {

bool Ascending(Samples x) {
    for (std::size_t i = 1; i < x.size(); ++i)
        if (x[i] < x[i - 1]) return false;
    return true;
}

// The first index in [lo, hi) whose value fails pred (pred true, then false).
template <class Pred>
std::size_t PartitionPoint(Samples x, std::size_t lo, std::size_t hi, Pred pred) {
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (pred(x[mid])) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

void CountLevels(Samples y, std::size_t lo, std::size_t hi, LevelIndex::Counts& counts) {
    for (std::size_t i = lo; i < hi; ++i) {
        const std::int32_t v = y[i];
        if (v >= 0 && v < LevelIndex::kLevels) ++counts[static_cast<std::size_t>(v)];
    }
}

// The quantile p of `values`, which it reorders.
double SelectQuantile(std::span<double> values, double p) {
    const double h = (static_cast<double>(values.size()) - 1) * p;
    const auto k = static_cast<std::size_t>(std::floor(h));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    const double low = values[k];
    if (k + 1 >= values.size()) return low;
    // After nth_element everything past k is at least values[k]: the next
    // order statistic is their smallest.
    const double high = *std::min_element(values.begin() + static_cast<std::ptrdiff_t>(k) + 1, values.end());
    return low + (h - static_cast<double>(k)) * (high - low);
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

std::vector<BarGroup> SummarizeBars(std::span<const XY> bars, double xmin, double xmax, int columns,
                                    int pixelsPerGroup) {
    std::vector<BarGroup> out;
    if (bars.empty() || columns <= 0 || !(xmax >= xmin)) return out;
    const int g = std::max(1, pixelsPerGroup);
    const int groups = (columns + g - 1) / g;
    const double groupWidth = (xmax - xmin) / columns * g;
    auto groupOf = [&](double v) {
        if (!(groupWidth > 0)) return 0;
        return std::clamp(static_cast<int>(std::floor((v - xmin) / groupWidth)), 0, groups - 1);
    };
    const auto first =
        std::lower_bound(bars.begin(), bars.end(), xmin - 0.5, [](const XY& b, double v) { return b.x < v; });
    const auto end = std::upper_bound(first, bars.end(), xmax + 0.5, [](double v, const XY& b) { return v < b.x; });
    std::vector<double> values;
    for (auto it = first; it != end;) {
        const int k = groupOf(it->x);
        auto stop = it;
        while (stop != end && groupOf(stop->x) == k) ++stop;
        BarGroup group;
        group.x0 = xmin + k * groupWidth;
        group.x1 = k == groups - 1 ? xmax : xmin + (k + 1) * groupWidth;
        group.first = static_cast<std::size_t>(it - bars.begin());
        group.count = static_cast<std::size_t>(stop - it);
        values.clear();
        for (auto b = it; b != stop; ++b) values.push_back(b->y);
        group.max = *std::max_element(values.begin(), values.end());
        group.median = SelectQuantile(values, 0.5);
        group.q1 = SelectQuantile(values, 0.25);
        group.q3 = SelectQuantile(values, 0.75);
        out.push_back(group);
        it = stop;
    }
    return out;
}

int PixelsPerGroup(double pixelsPerBar, int bars) {
    if (!(pixelsPerBar > 0)) return 1;
    return std::max(1, static_cast<int>(std::ceil(bars * pixelsPerBar - 1e-9)));
}

}  // namespace morvane::chart
