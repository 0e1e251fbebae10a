#include "chart/envelope.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "chart/sample_search.h"

namespace morvane::chart {
namespace {

// The stretch [lo, hi) of indices whose x lies in [xmin, xmax], when x
// ascends; the whole series otherwise.
std::pair<std::size_t, std::size_t> Visible(Samples x, double xmin, double xmax, bool sorted) {
    if (!sorted) return {0, x.size()};
    const std::size_t lo = PartitionPoint(x, 0, x.size(), [&](std::int32_t v) { return v < xmin; });
    const std::size_t hi = PartitionPoint(x, lo, x.size(), [&](std::int32_t v) { return v <= xmax; });
    return {lo, hi};
}

void ScanExtremes(Samples y, std::size_t lo, std::size_t hi, std::int32_t& mn, std::int32_t& mx) {
    for (std::size_t i = lo; i < hi; ++i) {
        const std::int32_t v = y[i];
        mn = std::min(mn, v);
        mx = std::max(mx, v);
    }
}

}  // namespace

SeriesIndex::SeriesIndex(Samples x, Samples y) {
    const std::size_t n = std::min(x.size(), y.size());
    sorted_ = Ascending(x.first(n));
    const std::size_t blocks = (y.size() + kBlock - 1) / kBlock;
    min_.resize(blocks);
    max_.resize(blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
        std::int32_t mn = INT32_MAX, mx = INT32_MIN;
        ScanExtremes(y, b * kBlock, std::min(y.size(), (b + 1) * kBlock), mn, mx);
        min_[b] = mn;
        max_[b] = mx;
    }
}

void SeriesIndex::Extremes(Samples y, std::size_t lo, std::size_t hi, std::int32_t& mn, std::int32_t& mx) const {
    mn = INT32_MAX;
    mx = INT32_MIN;
    const std::size_t firstWhole = (lo + kBlock - 1) / kBlock, endWhole = hi / kBlock;
    if (firstWhole >= endWhole || endWhole > min_.size()) {
        ScanExtremes(y, lo, hi, mn, mx);
        return;
    }
    ScanExtremes(y, lo, firstWhole * kBlock, mn, mx);
    for (std::size_t b = firstWhole; b < endWhole; ++b) {
        mn = std::min(mn, min_[b]);
        mx = std::max(mx, max_[b]);
    }
    ScanExtremes(y, endWhole * kBlock, hi, mn, mx);
}

std::size_t SeriesIndex::FirstOf(Samples y, std::size_t lo, std::size_t hi, std::int32_t v, bool lowest) const {
    const std::size_t firstWhole = (lo + kBlock - 1) / kBlock, endWhole = hi / kBlock;
    std::size_t i = lo;
    if (firstWhole < endWhole && endWhole <= min_.size()) {
        for (; i < firstWhole * kBlock; ++i)
            if (y[i] == v) return i;
        // v is the stretch's extreme, so a block holds it exactly when the
        // block's own extreme equals it.
        const std::vector<std::int32_t>& ext = lowest ? min_ : max_;
        std::size_t b = firstWhole;
        while (b < endWhole && ext[b] != v) ++b;
        i = b * kBlock;
    }
    while (i < hi && y[i] != v) ++i;
    return i;
}

std::vector<XY> Envelope(Samples x, Samples y, double xmin, double xmax, int columns, const SeriesIndex* index) {
    std::vector<XY> out;
    const std::size_t n = std::min(x.size(), y.size());
    x = x.first(n);
    y = y.first(n);
    if (n == 0 || columns <= 0 || !(xmax >= xmin)) return out;
    const bool sorted = index ? index->Sorted() : Ascending(x);
    const auto [lo, hi] = Visible(x, xmin, xmax, sorted);
    auto point = [&](std::size_t i) { return XY{static_cast<double>(x[i]), static_cast<double>(y[i])}; };
    if (sorted && hi - lo <= 4 * static_cast<std::size_t>(columns)) {
        // Few enough to draw exactly, with one point beyond each edge so the
        // line runs to the border.
        const std::size_t a = lo > 0 ? lo - 1 : lo;
        const std::size_t b = hi < n ? hi + 1 : hi;
        out.reserve(b - a);
        for (std::size_t i = a; i < b; ++i) out.push_back(point(i));
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
            if (k == 0 || idx[k] != idx[k - 1]) out.push_back(point(idx[k]));
    };
    if (sorted) {
        // Ascending x: each column is one stretch of indices, found by binary
        // search; its extremes come from the index or a tight loop over y.
        if (lo > 0) out.push_back(point(lo - 1));
        std::size_t start = lo;
        for (std::size_t c = 0; c <= last && start < hi; ++c) {
            const std::size_t end =
                c == last ? hi : PartitionPoint(x, start, hi, [&](std::int32_t v) { return columnOf(v) <= c; });
            if (end == start) continue;
            std::int32_t mn = INT32_MAX, mx = INT32_MIN;
            std::size_t imn, imx;
            if (index) {
                index->Extremes(y, start, end, mn, mx);
                imn = index->FirstOf(y, start, end, mn, true);
                imx = index->FirstOf(y, start, end, mx, false);
            } else {
                ScanExtremes(y, start, end, mn, mx);
                imn = imx = start;
                while (y[imn] != mn) ++imn;
                while (y[imx] != mx) ++imx;
            }
            emit(start, imn, imx, end - 1);
            start = end;
        }
        if (hi < n) out.push_back(point(hi));
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

LevelIndex::LevelIndex(Samples y) {
    blocks_.resize((y.size() + kBlock - 1) / kBlock);
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        auto& block = blocks_[b];
        block.fill(0);
        const std::size_t end = std::min(y.size(), (b + 1) * kBlock);
        for (std::size_t i = b * kBlock; i < end; ++i) {
            const std::int32_t v = y[i];
            if (v >= 0 && v < kLevels) ++block[static_cast<std::size_t>(v)];
        }
    }
}

void LevelIndex::Count(Samples y, std::size_t lo, std::size_t hi, Counts& counts) const {
    auto scan = [&](std::size_t a, std::size_t b) {
        for (std::size_t i = a; i < b; ++i) {
            const std::int32_t v = y[i];
            if (v >= 0 && v < kLevels) ++counts[static_cast<std::size_t>(v)];
        }
    };
    const std::size_t firstWhole = (lo + kBlock - 1) / kBlock, endWhole = hi / kBlock;
    if (firstWhole >= endWhole || endWhole > blocks_.size()) {
        scan(lo, hi);
        return;
    }
    scan(lo, firstWhole * kBlock);
    for (std::size_t b = firstWhole; b < endWhole; ++b)
        for (int l = 0; l < kLevels; ++l)
            counts[static_cast<std::size_t>(l)] += blocks_[b][static_cast<std::size_t>(l)];
    scan(endWhole * kBlock, hi);
}

std::vector<XY> Prevailing(Samples x, Samples y, double xmin, double xmax, int columns, const SeriesIndex* index,
                           const LevelIndex* levels) {
    const std::size_t n = std::min(x.size(), y.size());
    x = x.first(n);
    y = y.first(n);
    const bool sorted = index ? index->Sorted() : Ascending(x);
    if (n == 0 || columns <= 0 || !(xmax >= xmin) || !sorted) return Envelope(x, y, xmin, xmax, columns, index);
    const auto [lo, hi] = Visible(x, xmin, xmax, true);
    if (hi - lo <= 4 * static_cast<std::size_t>(columns)) return Envelope(x, y, xmin, xmax, columns, index);
    auto point = [&](std::size_t i, double v) { return XY{static_cast<double>(x[i]), v}; };
    const double scale = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    const auto last = static_cast<std::size_t>(columns - 1);
    auto columnOf = [&](double xv) { return std::min(last, static_cast<std::size_t>((xv - xmin) * scale)); };
    std::vector<XY> out;
    out.reserve(2 * static_cast<std::size_t>(columns) + 2);
    if (lo > 0) out.push_back(point(lo - 1, y[lo - 1]));
    std::size_t start = lo;
    for (std::size_t c = 0; c <= last && start < hi; ++c) {
        const std::size_t end =
            c == last ? hi : PartitionPoint(x, start, hi, [&](std::int32_t v) { return columnOf(v) <= c; });
        if (end == start) continue;
        LevelIndex::Counts counts{};
        if (levels) {
            levels->Count(y, start, end, counts);
        } else {
            for (std::size_t i = start; i < end; ++i)
                if (y[i] >= 0 && y[i] < LevelIndex::kLevels) ++counts[static_cast<std::size_t>(y[i])];
        }
        std::size_t best = 0;
        for (std::size_t l = 1; l < counts.size(); ++l)
            if (counts[l] > counts[best]) best = l;
        const double v = counts[best] > 0 ? static_cast<double>(best) : static_cast<double>(y[start]);
        out.push_back(point(start, v));
        if (end - 1 != start) out.push_back(point(end - 1, v));
        start = end;
    }
    if (hi < n) out.push_back(point(hi, y[hi]));
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

Range YRange(Samples x, Samples y, double xmin, double xmax, const SeriesIndex* index) {
    Range r{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    const std::size_t n = std::min(x.size(), y.size());
    x = x.first(n);
    const bool sorted = index ? index->Sorted() : Ascending(x);
    const auto [lo, hi] = Visible(x, xmin, xmax, sorted);
    if (sorted && index && lo < hi) {
        std::int32_t mn, mx;
        index->Extremes(y, lo, hi, mn, mx);
        return {static_cast<double>(mn), static_cast<double>(mx)};
    }
    for (std::size_t i = lo; i < hi; ++i) {
        if (x[i] < xmin || x[i] > xmax) continue;
        r.min = std::min<double>(r.min, y[i]);
        r.max = std::max<double>(r.max, y[i]);
    }
    return r;
}

std::size_t CountIn(Samples x, double xmin, double xmax, const SeriesIndex* index) {
    if (!(xmax >= xmin)) return 0;
    const bool sorted = index ? index->Sorted() : Ascending(x);
    const auto [lo, hi] = Visible(x, xmin, xmax, sorted);
    if (sorted) return hi - lo;
    std::size_t n = 0;
    for (std::size_t i = lo; i < hi; ++i) n += x[i] >= xmin && x[i] <= xmax;
    return n;
}

}  // namespace morvane::chart
