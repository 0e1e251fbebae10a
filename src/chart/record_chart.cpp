#include "chart/record_chart.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace morvane::chart {
namespace {

std::int32_t ValueOf(Field f, const GameRecord& r) { return f == Field::Balance ? r.medalBalance : r.mode; }

// The first index in [lo, hi) that fails pred (pred true, then false).
template <class Pred>
std::size_t FirstFailing(std::size_t lo, std::size_t hi, Pred pred) {
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (pred(mid)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

// Pixel columns over [xmin, xmax], worked out as the envelope and the band
// work them out, so that every game falls in the same column.
struct ColumnScale {
    double xmin, xmax;
    int columns;
    double scale = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    std::size_t last = static_cast<std::size_t>(columns - 1);
    std::size_t Of(double v) const { return std::min(last, static_cast<std::size_t>((v - xmin) * scale)); }
};

}  // namespace

// One stretch of games summed up as a block is.
struct RecordChart::Segment {
    bool any = false;
    std::int32_t first = 0, last = 0, low = 0, high = 0;
    std::size_t lowAt = 0, highAt = 0;  // indices of the records
    LevelIndex::Counts levels{};

    void Add(std::size_t i, std::int32_t v, std::int32_t mode) {
        if (!any) {
            any = true;
            first = low = high = v;
            lowAt = highAt = i;
        } else if (v < low) {
            low = v;
            lowAt = i;
        } else if (v > high) {
            high = v;
            highAt = i;
        }
        last = v;
        if (mode >= 0 && mode < LevelIndex::kLevels) ++levels[static_cast<std::size_t>(mode)];
    }
    void Add(std::size_t at, const Extremes& e, const LevelIndex::Counts& counts) {
        if (!any) {
            any = true;
            first = e.first;
            low = e.low;
            high = e.high;
            lowAt = at + e.lowAt;
            highAt = at + e.highAt;
        } else {
            // Strictly beyond: the first of equal extremes is the earlier one.
            if (e.low < low) low = e.low, lowAt = at + e.lowAt;
            if (e.high > high) high = e.high, highAt = at + e.highAt;
        }
        last = e.last;
        for (std::size_t l = 0; l < levels.size(); ++l) levels[l] += counts[l];
    }
};

RecordChart::RecordChart(const RunRecords& records, std::span<const std::int32_t> markerKoyaku)
    : records_(records), markerKoyaku_(markerKoyaku.begin(), markerKoyaku.end()) {
    markerPoints_.assign(markerKoyaku_.size(), 0);
    n_ = records.size();
    blockGames_ = records.Index().BlockGames();
    if (n_ == 0) return;
    Scan();
    if (!numbered_) KeepEveryColumn();
}

void RecordChart::Scan() {
    const std::size_t k = blockGames_, markers = markerKoyaku_.size();
    const std::size_t blocks = (n_ + k - 1) / k;
    blocks_.resize(blocks);
    bitmaps_.resize(blocks * markers);
    bars_.reserve(static_cast<std::size_t>(records_.Tallies().bbGames));
    x0_ = records_.at(0).playCount;

    // A block's marker games, kept until the block's end gives their range.
    struct Hit {
        std::int32_t balance;
        std::uint32_t marker;
    };
    std::vector<Hit> hits;
    auto closeBlock = [&](std::size_t b) {
        std::vector<std::int32_t> low(markers, INT32_MAX), high(markers, INT32_MIN);
        for (const Hit& h : hits) {
            low[h.marker] = std::min(low[h.marker], h.balance);
            high[h.marker] = std::max(high[h.marker], h.balance);
        }
        for (std::size_t m = 0; m < markers; ++m) {
            if (low[m] > high[m]) continue;
            Bitmap& bm = bitmaps_[b * markers + m];
            bm.base = low[m];
            bm.word = static_cast<std::uint32_t>(words_.size());
            bm.words = static_cast<std::uint32_t>((static_cast<std::int64_t>(high[m]) - low[m]) / 64 + 1);
            words_.resize(words_.size() + bm.words);
        }
        for (const Hit& h : hits) {
            const Bitmap& bm = bitmaps_[b * markers + h.marker];
            const auto bit = static_cast<std::uint64_t>(static_cast<std::int64_t>(h.balance) - bm.base);
            words_[bm.word + bit / 64] |= std::uint64_t{1} << (bit % 64);
        }
        hits.clear();
    };

    std::size_t block = 0, offset = 0;
    records_.ForAll([&](std::size_t first, std::span<const GameRecord> piece) {
        for (std::size_t j = 0; j < piece.size(); ++j) {
            const GameRecord& r = piece[j];
            if (static_cast<std::int64_t>(r.playCount) != x0_ + static_cast<std::int64_t>(first + j)) numbered_ = false;
            Block& bl = blocks_[block];
            for (Field f : {Field::Balance, Field::Mode}) {
                Extremes& e = bl.fields[static_cast<std::size_t>(f)];
                const std::int32_t v = ValueOf(f, r);
                if (offset == 0) {
                    e.first = e.low = e.high = v;
                } else if (v < e.low) {
                    e.low = v;
                    e.lowAt = static_cast<std::uint32_t>(offset);
                } else if (v > e.high) {
                    e.high = v;
                    e.highAt = static_cast<std::uint32_t>(offset);
                }
                e.last = v;
            }
            if (r.mode >= 0 && r.mode < LevelIndex::kLevels) ++bl.levels[static_cast<std::size_t>(r.mode)];
            if (r.bbKind != NoBB) {
                bars_.push_back(r.gamesSinceBB);
            } else {
                for (std::size_t m = 0; m < markers; ++m) {
                    if (r.koyaku != markerKoyaku_[m]) continue;
                    hits.push_back({r.medalBalance, static_cast<std::uint32_t>(m)});
                    ++markerPoints_[m];
                }
            }
            if (++offset == k) {
                closeBlock(block++);
                offset = 0;
            }
        }
        return true;
    });
    if (offset != 0) closeBlock(block);
}

void RecordChart::KeepEveryColumn() {
    // Numbered otherwise than one by one (a file may hold anything there):
    // the columns as they are, for the plain functions.
    blocks_ = {};
    bitmaps_ = {};
    words_ = {};
    Columns& c = plain_;
    c.x.reserve(n_);
    c.balance.reserve(n_);
    c.mode.reserve(n_);
    c.markers.assign(markerKoyaku_.size(), {});
    records_.ForAll([&](std::size_t, std::span<const GameRecord> piece) {
        for (const GameRecord& r : piece) {
            c.x.push_back(r.playCount);
            c.balance.push_back(r.medalBalance);
            c.mode.push_back(r.mode);
            if (r.bbKind != NoBB) continue;
            for (std::size_t m = 0; m < markerKoyaku_.size(); ++m)
                if (r.koyaku == markerKoyaku_[m])
                    c.markers[m].push_back({static_cast<double>(r.playCount), static_cast<double>(r.medalBalance)});
        }
        return true;
    });
    c.balanceIndex = SeriesIndex(c.x, c.balance);
    c.modeIndex = SeriesIndex(c.x, c.mode);
    c.levels = LevelIndex(c.mode);
}

std::pair<std::size_t, std::size_t> RecordChart::Visible(double xmin, double xmax) const {
    const std::size_t lo = FirstFailing(0, n_, [&](std::size_t i) { return X(i) < xmin; });
    const std::size_t hi = FirstFailing(lo, n_, [&](std::size_t i) { return X(i) <= xmax; });
    return {lo, hi};
}

std::vector<std::size_t> RecordChart::ColumnStarts(std::size_t lo, std::size_t hi, double xmin, double xmax,
                                                   int columns) const {
    const ColumnScale scale{xmin, xmax, columns};
    std::vector<std::size_t> bounds;
    std::size_t start = lo;
    while (start < hi) {
        bounds.push_back(start);
        const std::size_t c = scale.Of(X(start));
        start = c == scale.last ? hi : FirstFailing(start, hi, [&](std::size_t i) { return scale.Of(X(i)) <= c; });
    }
    bounds.push_back(hi);
    return bounds;
}

std::vector<RecordChart::Segment> RecordChart::Segments(Field f, const std::vector<std::size_t>& bounds) const {
    std::vector<Segment> segments(bounds.size() - 1);
    const std::size_t lo = bounds.front(), hi = bounds.back(), k = blockGames_;
    std::size_t j = 0;
    for (std::size_t b = lo / k; b * k < hi; ++b) {
        const std::size_t first = b * k, end = std::min(n_, first + k);
        const std::size_t a = std::max(first, lo), e = std::min(end, hi);
        while (bounds[j + 1] <= a) ++j;
        if (a == first && e == end && bounds[j + 1] >= end) {
            segments[j].Add(first, blocks_[b].fields[static_cast<std::size_t>(f)], blocks_[b].levels);
            continue;
        }
        // A block cut by a column's edge, or by the view's: played again
        // once for all the columns it holds.
        records_.ForEach(a, e, [&](std::size_t at, std::span<const GameRecord> piece) {
            for (std::size_t i = 0; i < piece.size(); ++i) {
                while (bounds[j + 1] <= at + i) ++j;
                segments[j].Add(at + i, ValueOf(f, piece[i]), piece[i].mode);
            }
            return true;
        });
    }
    return segments;
}

std::vector<XY> RecordChart::Envelope(Field f, double xmin, double xmax, int columns) const {
    if (!numbered_) {
        const Columns& c = plain_;
        const bool balance = f == Field::Balance;
        return chart::Envelope(c.x, balance ? c.balance : c.mode, xmin, xmax, columns,
                               balance ? &c.balanceIndex : &c.modeIndex);
    }
    std::vector<XY> out;
    if (n_ == 0 || columns <= 0 || !(xmax >= xmin)) return out;
    const auto [lo, hi] = Visible(xmin, xmax);
    auto point = [&](std::size_t i, std::int32_t v) { return XY{static_cast<double>(X(i)), static_cast<double>(v)}; };
    auto read = [&](std::size_t a, std::size_t b) {
        records_.ForEach(a, b, [&](std::size_t at, std::span<const GameRecord> piece) {
            for (std::size_t i = 0; i < piece.size(); ++i) out.push_back(point(at + i, ValueOf(f, piece[i])));
            return true;
        });
    };
    if (hi - lo <= 4 * static_cast<std::size_t>(columns)) {
        // Few enough to draw exactly, with one point beyond each edge.
        read(lo > 0 ? lo - 1 : lo, hi < n_ ? hi + 1 : hi);
        return out;
    }
    const std::vector<std::size_t> bounds = ColumnStarts(lo, hi, xmin, xmax, columns);
    const std::vector<Segment> segments = Segments(f, bounds);
    out.reserve(4 * segments.size() + 2);
    if (lo > 0) read(lo - 1, lo);
    for (std::size_t j = 0; j < segments.size(); ++j) {
        const Segment& s = segments[j];
        // The column's first, lowest, highest and last point in their order,
        // each once.
        std::pair<std::size_t, std::int32_t> p[4] = {
            {bounds[j], s.first}, {s.lowAt, s.low}, {s.highAt, s.high}, {bounds[j + 1] - 1, s.last}};
        std::sort(p, p + 4, [](const auto& a, const auto& b) { return a.first < b.first; });
        for (int q = 0; q < 4; ++q)
            if (q == 0 || p[q].first != p[q - 1].first) out.push_back(point(p[q].first, p[q].second));
    }
    if (hi < n_) read(hi, hi + 1);
    return out;
}

Range RecordChart::YRange(Field f, double xmin, double xmax) const {
    if (!numbered_) {
        const Columns& c = plain_;
        const bool balance = f == Field::Balance;
        return chart::YRange(c.x, balance ? c.balance : c.mode, xmin, xmax, balance ? &c.balanceIndex : &c.modeIndex);
    }
    const auto [lo, hi] = Visible(xmin, xmax);
    if (lo >= hi) return {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    const Segment s = Segments(f, {lo, hi}).front();
    return {static_cast<double>(s.low), static_cast<double>(s.high)};
}

std::size_t RecordChart::CountIn(double xmin, double xmax) const {
    if (!numbered_) return chart::CountIn(plain_.x, xmin, xmax, &plain_.balanceIndex);
    if (!(xmax >= xmin)) return 0;
    const auto [lo, hi] = Visible(xmin, xmax);
    return hi - lo;
}

std::vector<LevelColumn> RecordChart::LevelShares(double xmin, double xmax, int columns) const {
    if (!numbered_)
        return chart::LevelShares(plain_.x, plain_.mode, xmin, xmax, columns, &plain_.modeIndex, &plain_.levels);
    std::vector<LevelColumn> out;
    if (n_ == 0 || columns <= 0 || !(xmax >= xmin)) return out;
    const auto [lo, hi] = Visible(xmin, xmax);
    if (lo >= hi) return out;
    const ColumnScale scale{xmin, xmax, columns};
    const std::vector<std::size_t> bounds = ColumnStarts(lo, hi, xmin, xmax, columns);
    const std::vector<Segment> segments = Segments(Field::Mode, bounds);
    out.reserve(segments.size());
    for (std::size_t j = 0; j < segments.size(); ++j) {
        const std::size_t c = scale.Of(X(bounds[j]));
        LevelColumn col;
        col.column = static_cast<int>(c);
        col.x0 = xmin + static_cast<double>(c) * (xmax - xmin) / columns;
        col.x1 = c == scale.last ? xmax : xmin + static_cast<double>(c + 1) * (xmax - xmin) / columns;
        col.games = bounds[j + 1] - bounds[j];
        col.counts = segments[j].levels;
        out.push_back(col);
    }
    return out;
}

bool RecordChart::AnyBit(const Bitmap& b, std::int64_t v0, std::int64_t v1) const {
    const std::int64_t bits = static_cast<std::int64_t>(b.words) * 64;
    const std::int64_t from = std::max<std::int64_t>(0, v0 - b.base), to = std::min(bits - 1, v1 - b.base);
    if (from > to) return false;
    const auto* w = words_.data() + b.word;
    const auto wf = static_cast<std::size_t>(from / 64), wt = static_cast<std::size_t>(to / 64);
    const std::uint64_t head = ~std::uint64_t{0} << (from % 64);
    const std::uint64_t tail = ~std::uint64_t{0} >> (63 - to % 64);
    if (wf == wt) return (w[wf] & head & tail) != 0;
    if (w[wf] & head) return true;
    for (std::size_t i = wf + 1; i < wt; ++i)
        if (w[i]) return true;
    return (w[wt] & tail) != 0;
}

std::vector<XY> RecordChart::Thin(std::size_t m, double xmin, double xmax, double ymin, double ymax, int columns,
                                  int rows) const {
    if (!numbered_) return chart::Thin(plain_.markers[m], xmin, xmax, ymin, ymax, columns, rows);
    std::vector<XY> out;
    if (n_ == 0 || columns <= 0 || rows <= 0 || !(xmax >= xmin) || !(ymax >= ymin)) return out;
    const double sx = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    const double sy = ymax > ymin ? rows / (ymax - ymin) : 0.0;
    auto columnOf = [&](double x) {
        return std::min<std::size_t>(static_cast<std::size_t>((x - xmin) * sx), columns - 1);
    };
    auto rowOf = [&](double y) { return std::min<std::size_t>(static_cast<std::size_t>((y - ymin) * sy), rows - 1); };
    std::vector<bool> taken(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    const std::int32_t koyaku = markerKoyaku_[m];
    const auto [lo, hi] = Visible(xmin, xmax);
    const std::size_t k = blockGames_, markers = markerKoyaku_.size();

    // Whether the block's markers, all in column c, reach a free cell.
    auto reachesFreeCell = [&](const Bitmap& bm, std::size_t c) {
        const double top = static_cast<double>(bm.base) + static_cast<double>(bm.words) * 64 - 1;
        const double from = std::max(static_cast<double>(bm.base), std::ceil(ymin));
        const double to = std::min(top, std::floor(ymax));
        for (auto v = static_cast<std::int64_t>(from); v <= static_cast<std::int64_t>(to);) {
            const std::size_t r = rowOf(static_cast<double>(v));
            // The last balance in row r.
            std::int64_t a = v, b = static_cast<std::int64_t>(to);
            while (a < b) {
                const std::int64_t mid = a + (b - a + 1) / 2;
                if (rowOf(static_cast<double>(mid)) == r) {
                    a = mid;
                } else {
                    b = mid - 1;
                }
            }
            if (!taken[r * static_cast<std::size_t>(columns) + c] && AnyBit(bm, v, a)) return true;
            v = a + 1;
        }
        return false;
    };
    for (std::size_t b = lo / k; b * k < hi; ++b) {
        const std::size_t first = b * k, end = std::min(n_, first + k);
        const std::size_t a = std::max(first, lo), e = std::min(end, hi);
        const Bitmap& bm = bitmaps_[b * markers + m];
        if (bm.words == 0) continue;
        if (a == first && e == end) {
            const std::size_t c = columnOf(X(first));
            if (c == columnOf(X(end - 1)) && !reachesFreeCell(bm, c)) continue;
        }
        records_.ForEach(a, e, [&](std::size_t at, std::span<const GameRecord> piece) {
            for (std::size_t i = 0; i < piece.size(); ++i) {
                const GameRecord& r = piece[i];
                if (r.bbKind != NoBB || r.koyaku != koyaku) continue;
                const XY p{static_cast<double>(X(at + i)), static_cast<double>(r.medalBalance)};
                if (p.y < ymin || p.y > ymax) continue;
                const std::size_t cell = rowOf(p.y) * static_cast<std::size_t>(columns) + columnOf(p.x);
                if (taken[cell]) continue;
                taken[cell] = true;
                out.push_back(p);
            }
            return true;
        });
    }
    return out;
}

std::size_t RecordChart::Bytes() const {
    const Columns& c = plain_;
    std::size_t markers = 0;
    for (const auto& v : c.markers) markers += v.capacity() * sizeof(XY);
    return blocks_.capacity() * sizeof(Block) + bitmaps_.capacity() * sizeof(Bitmap) +
           words_.capacity() * sizeof(std::uint64_t) + bars_.capacity() * sizeof(std::int32_t) +
           (c.x.capacity() + c.balance.capacity() + c.mode.capacity()) * sizeof(std::int32_t) + markers;
}

}  // namespace morvane::chart
