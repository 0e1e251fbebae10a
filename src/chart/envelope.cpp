#include "chart/envelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace morvane::chart {
namespace {

// The stretch [lo, hi) of indices whose x lies in [xmin, xmax], when x
// ascends; the whole series otherwise.
std::pair<std::size_t, std::size_t> Visible(std::span<const std::int32_t> x, double xmin, double xmax, bool& sorted) {
    sorted = std::is_sorted(x.begin(), x.end());
    if (!sorted) return {0, x.size()};
    const auto lo = std::lower_bound(x.begin(), x.end(), xmin, [](std::int32_t v, double b) { return v < b; });
    const auto hi = std::upper_bound(lo, x.end(), xmax, [](double b, std::int32_t v) { return b < v; });
    return {static_cast<std::size_t>(lo - x.begin()), static_cast<std::size_t>(hi - x.begin())};
}

}  // namespace

std::vector<XY> Envelope(std::span<const std::int32_t> x, std::span<const std::int32_t> y, double xmin, double xmax,
                         int columns) {
    std::vector<XY> out;
    const std::size_t n = std::min(x.size(), y.size());
    x = x.first(n);
    y = y.first(n);
    if (n == 0 || columns <= 0 || !(xmax >= xmin)) return out;
    bool sorted = false;
    const auto [lo, hi] = Visible(x, xmin, xmax, sorted);
    if (sorted && hi - lo <= 4 * static_cast<std::size_t>(columns)) {
        // Few enough to draw exactly, with one point beyond each edge so the
        // line runs to the border.
        const std::size_t a = lo > 0 ? lo - 1 : lo;
        const std::size_t b = hi < n ? hi + 1 : hi;
        out.reserve(b - a);
        for (std::size_t i = a; i < b; ++i) out.push_back({static_cast<double>(x[i]), static_cast<double>(y[i])});
        return out;
    }
    const double scale = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    const auto last = static_cast<std::size_t>(columns - 1);
    auto columnOf = [&](double xv) { return std::min(last, static_cast<std::size_t>((xv - xmin) * scale)); };
    out.reserve(4 * static_cast<std::size_t>(columns) + 2);
    auto emit = [&](std::size_t first, std::size_t mn, std::size_t mx, std::size_t end) {
        std::size_t idx[4] = {first, mn, mx, end};
        std::sort(idx, idx + 4);
        for (int k = 0; k < 4; ++k)
            if (k == 0 || idx[k] != idx[k - 1])
                out.push_back({static_cast<double>(x[idx[k]]), static_cast<double>(y[idx[k]])});
    };
    if (sorted) {
        // Ascending x: each column is one stretch of indices, found by binary
        // search, and its extremes come from a tight loop over y.
        if (lo > 0) out.push_back({static_cast<double>(x[lo - 1]), static_cast<double>(y[lo - 1])});
        std::size_t start = lo;
        for (std::size_t c = 0; c <= last && start < hi; ++c) {
            const std::size_t end = c == last ? hi
                                              : static_cast<std::size_t>(std::partition_point(
                                                    x.begin() + static_cast<std::ptrdiff_t>(start), x.begin() + static_cast<std::ptrdiff_t>(hi),
                                                    [&](std::int32_t v) { return columnOf(v) <= c; }) - x.begin());
            if (end == start) continue;
            std::int32_t mn = y[start], mx = y[start];
            for (std::size_t i = start + 1; i < end; ++i) {
                mn = std::min(mn, y[i]);
                mx = std::max(mx, y[i]);
            }
            std::size_t imn = start, imx = start;
            while (y[imn] != mn) ++imn;
            while (y[imx] != mx) ++imx;
            emit(start, imn, imx, end - 1);
            start = end;
        }
        if (hi < n) out.push_back({static_cast<double>(x[hi]), static_cast<double>(y[hi])});
        return out;
    }
    struct Column {
        std::size_t first = SIZE_MAX, last = 0, min = 0, max = 0;
    };
    std::vector<Column> cols(static_cast<std::size_t>(columns));
    for (std::size_t i = lo; i < hi; ++i) {
        const double xv = x[i];
        if (xv < xmin || xv > xmax) continue;
        Column& col = cols[columnOf(xv)];
        if (col.first == SIZE_MAX) {
            col.first = col.last = col.min = col.max = i;
            continue;
        }
        col.last = i;
        if (y[i] < y[col.min]) col.min = i;
        if (y[i] > y[col.max]) col.max = i;
    }
    for (const Column& col : cols)
        if (col.first != SIZE_MAX) emit(col.first, col.min, col.max, col.last);
    return out;
}

std::vector<XY> Thin(std::span<const XY> points, double xmin, double xmax, double ymin, double ymax, int columns,
                     int rows) {
    std::vector<XY> out;
    if (columns <= 0 || rows <= 0 || !(xmax >= xmin) || !(ymax >= ymin)) return out;
    const double sx = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    const double sy = ymax > ymin ? rows / (ymax - ymin) : 0.0;
    std::vector<bool> taken(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    for (const XY& p : points) {
        if (p.x < xmin || p.x > xmax || p.y < ymin || p.y > ymax) continue;
        const auto c = std::min<std::size_t>(static_cast<std::size_t>((p.x - xmin) * sx), columns - 1);
        const auto r = std::min<std::size_t>(static_cast<std::size_t>((p.y - ymin) * sy), rows - 1);
        const std::size_t cell = r * static_cast<std::size_t>(columns) + c;
        if (taken[cell]) continue;
        taken[cell] = true;
        out.push_back(p);
    }
    return out;
}

Range YRange(std::span<const std::int32_t> x, std::span<const std::int32_t> y, double xmin, double xmax) {
    Range r{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    const std::size_t n = std::min(x.size(), y.size());
    bool sorted = false;
    const auto [lo, hi] = Visible(x.first(n), xmin, xmax, sorted);
    for (std::size_t i = lo; i < hi; ++i) {
        if (x[i] < xmin || x[i] > xmax) continue;
        r.min = std::min<double>(r.min, y[i]);
        r.max = std::max<double>(r.max, y[i]);
    }
    return r;
}

}  // namespace morvane::chart
