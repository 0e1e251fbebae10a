#include "chart/record_chart.h"
#include "chart/sample_search.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

#include "run/checkpointed_run.h"
#include "system/workers.h"

namespace morvane::chart {
namespace {

// A block over more pixel columns than this is played again rather than
// looked at column by column: the view is short then.
constexpr std::size_t kFewColumns = 8;
// Blocks of a marker series played again at once.
constexpr std::size_t kWaveBlocks = 32;

std::int32_t ValueOf(Field f, const GameRecord& r) { return f == Field::Balance ? r.medalBalance : r.mode; }

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

// The bitmaps of one block's marker games, given as pairs (the marker, the
// balance), each empty before; adds the games per marker to points.
void RecordChart::FillBitmaps(std::span<const std::int32_t> hits, std::span<Bitmap> maps,
                              std::span<std::uint64_t> points) {
    std::array<std::int64_t, 64> low, high;
    low.fill(INT64_MAX);
    high.fill(INT64_MIN);
    for (std::size_t h = 0; h < hits.size(); h += 2) {
        const auto m = static_cast<std::size_t>(hits[h]);
        low[m] = std::min<std::int64_t>(low[m], hits[h + 1]);
        high[m] = std::max<std::int64_t>(high[m], hits[h + 1]);
        ++points[m];
    }
    for (std::size_t m = 0; m < maps.size(); ++m) {
        if (low[m] > high[m]) continue;
        Bitmap& bm = maps[m];
        bm.any = true;
        bm.base = static_cast<std::int32_t>(low[m]);
        while (((high[m] - low[m]) >> bm.shift) >= Bitmap::kBuckets) ++bm.shift;
    }
    for (std::size_t h = 0; h < hits.size(); h += 2) {
        Bitmap& bm = maps[static_cast<std::size_t>(hits[h])];
        const auto bucket = static_cast<std::size_t>((static_cast<std::int64_t>(hits[h + 1]) - bm.base) >> bm.shift);
        bm.bits[bucket / 64] |= std::uint64_t{1} << (bucket % 64);
    }
}

// One stretch of games summed up as a block is: per field its first, last,
// lowest and highest value and where the extremes first occur, and the
// games per mode.
struct RecordChart::Segment {
    struct Part {
        std::int32_t first = 0, last = 0, low = 0, high = 0;
        std::size_t lowAt = 0, highAt = 0;  // indices of the records
    };
    bool any = false;
    std::array<Part, 2> fields;
    LevelIndex::Counts levels{};

    void Add(std::size_t i, const GameRecord& r) {
        for (std::size_t f = 0; f < fields.size(); ++f) {
            Part& p = fields[f];
            const std::int32_t v = ValueOf(static_cast<Field>(f), r);
            if (!any) {
                p = {v, v, v, v, i, i};
            } else if (v < p.low) {
                p.low = v;
                p.lowAt = i;
            } else if (v > p.high) {
                p.high = v;
                p.highAt = i;
            }
            p.last = v;
        }
        any = true;
        if (r.mode >= 0 && r.mode < LevelIndex::kLevels) ++levels[static_cast<std::size_t>(r.mode)];
    }
    // The next stretch, which follows this one.
    void Add(const Segment& o) {
        if (!o.any) return;
        for (std::size_t f = 0; f < fields.size(); ++f) {
            Part& p = fields[f];
            const Part& q = o.fields[f];
            if (!any) {
                p = q;
                continue;
            }
            // Strictly beyond: the first of equal extremes is the earlier one.
            if (q.low < p.low) p.low = q.low, p.lowAt = q.lowAt;
            if (q.high > p.high) p.high = q.high, p.highAt = q.highAt;
            p.last = q.last;
        }
        any = true;
        for (std::size_t l = 0; l < levels.size(); ++l) levels[l] += o.levels[l];
    }
    // A whole block whose first game is game `at`.
    static Segment Of(std::size_t at, const Block& b) {
        Segment s;
        s.any = true;
        for (std::size_t f = 0; f < s.fields.size(); ++f) {
            const Extremes& e = b.fields[f];
            s.fields[f] = {e.first, e.last, e.low, e.high, at + e.lowAt, at + e.highAt};
        }
        s.levels = b.levels;
        return s;
    }
};

struct RecordChart::ViewColumns {
    bool valid = false;
    double xmin = 0, xmax = 0;
    int columns = 0;
    std::vector<std::size_t> bounds;
    std::vector<Segment> segments;
};

RecordChart::~RecordChart() = default;

RecordChart::RecordChart(const RunRecords& records, std::span<const std::int32_t> markerKoyaku)
    : records_(records),
      markerKoyaku_(markerKoyaku.begin(), markerKoyaku.end()),
      view_(std::make_unique<ViewColumns>()) {
    markerOf_.fill(-1);
    if (markerKoyaku_.size() > 64) throw std::invalid_argument("too many marker series");
    for (std::size_t m = 0; m < markerKoyaku_.size(); ++m) {
        const std::int32_t k = markerKoyaku_[m];
        if (k < 0 || k >= static_cast<std::int32_t>(markerOf_.size()) || markerOf_[static_cast<std::size_t>(k)] >= 0)
            throw std::invalid_argument("a marker series is one small win of its own");
        markerOf_[static_cast<std::size_t>(k)] = static_cast<std::int8_t>(m);
    }
    markerPoints_.assign(markerKoyaku_.size(), 0);
    n_ = records.size();
    blockGames_ = records.Index().BlockGames();
    if (n_ == 0) return;
    Scan();
    if (!numbered_) KeepEveryColumn();
}

// The figures of one block as its records come. Handed to the game loop
// by value and given back, with only what changes every game in it: that
// stays in registers (a larger scan, or one reached through a reference,
// went to memory every game, 5 ns a game against the loop's own 1.2). The
// rest, touched at a new extreme, a change of mode, a BB or a marker's
// game, is reached through a pointer. Places are game numbers until the
// block is closed.
struct RecordChart::BlockScan {
    struct Rare {
        const std::int8_t* markerOf;      // 16 entries
        std::vector<std::int32_t>* hits;  // per marker game, the marker and the balance
        std::int32_t* bar;                // where the next BB game's bar goes
        std::int32_t* barEnd;
        bool barsOver = false;
        bool started = false;
        std::int32_t firstGame = 0, firstBalance = 0, firstMode = 0;
        std::int32_t lowAt = 0, highAt = 0;  // the balance's
        std::int32_t modeLow = INT32_MAX, modeHigh = INT32_MIN, modeLowAt = 0, modeHighAt = 0;
        std::int32_t runFrom = 0;  // where the mode's run began
        LevelIndex::Counts levels{};
    };
    Rare* rare;
    // The balance's range as doubles, exact for 32-bit values: they live
    // in floating-point registers, which the game loop leaves free.
    double low = std::numeric_limits<double>::infinity(), high = -std::numeric_limits<double>::infinity();
    std::int32_t mode = INT32_MIN;  // the last game's; none before the first
    std::int32_t lastBalance = 0, lastGame = 0;
    std::uint32_t markers = 0;  // a bit per small win with a marker series

    template <bool kBBGame>
    void operator()(const GameRecord& r, std::bool_constant<kBBGame>) {
        const double b = r.medalBalance;
        if (b < low) [[unlikely]] {
            low = b;
            rare->lowAt = r.playCount;
        }
        if (b > high) [[unlikely]] {
            high = b;
            rare->highAt = r.playCount;
        }
        if (r.mode != mode) [[unlikely]]
            ModeChange(r);
        if constexpr (kBBGame) {
            if (rare->bar == rare->barEnd) {
                rare->barsOver = true;
            } else {
                *rare->bar++ = r.gamesSinceBB;
            }
        } else if (static_cast<std::uint32_t>(r.koyaku) < 16 && (markers >> r.koyaku & 1)) [[unlikely]] {
            const int m = rare->markerOf[static_cast<std::size_t>(r.koyaku)];
            rare->hits->push_back(m);
            rare->hits->push_back(r.medalBalance);
        }
        lastBalance = r.medalBalance;
        lastGame = r.playCount;
    }
    void operator()(const GameRecord& r) {
        if (r.bbKind != NoBB)
            (*this)(r, std::true_type{});
        else
            (*this)(r, std::false_type{});
    }
    void ModeChange(const GameRecord& r) {
        Rare& c = *rare;
        if (!c.started) {
            c.started = true;
            c.firstGame = c.runFrom = r.playCount;
            c.firstBalance = r.medalBalance;
            c.firstMode = r.mode;
        }
        EndRun(r.playCount);
        mode = r.mode;
        if (mode < c.modeLow) {
            c.modeLow = mode;
            c.modeLowAt = r.playCount;
        }
        if (mode > c.modeHigh) {
            c.modeHigh = mode;
            c.modeHighAt = r.playCount;
        }
    }
    // The games of the mode's run up to the game numbered `until`.
    void EndRun(std::int32_t until) {
        if (static_cast<std::uint32_t>(mode) < LevelIndex::kLevels)
            rare->levels[static_cast<std::size_t>(mode)] += static_cast<std::uint32_t>(until - rare->runFrom);
        rare->runFrom = until;
    }
};

template <class Play>
void RecordChart::ScanBlock(std::size_t b, std::vector<std::int32_t>& hits, std::mutex& merge, Play play) {
    const std::size_t k = blockGames_, games = std::min(n_, (b + 1) * k) - b * k;
    BlockScan::Rare rare{markerOf_.data(), &hits, ownBars_.data() + barsBefore_[b],
                         ownBars_.data() + barsBefore_[b + 1]};
    BlockScan scan{&rare};
    for (std::size_t m = 0; m < markerKoyaku_.size(); ++m) scan.markers |= std::uint32_t{1} << markerKoyaku_[m];
    bool numbered = true;
    scan = play(scan, numbered);
    // Numbered one by one from the run's first game (which the game loop's
    // games are, one after another): places in the block are game numbers
    // less its first's. Otherwise the figures go unused.
    const std::int64_t at = x0_ + static_cast<std::int64_t>(b * k);
    numbered = numbered && rare.firstGame == at && scan.lastGame == at + static_cast<std::int64_t>(games) - 1;
    scan.EndRun(static_cast<std::int32_t>(std::int64_t{scan.lastGame} + 1));
    if (rare.barsOver || rare.bar != rare.barEnd)
        throw std::logic_error("a block's BB games differ from its summary's");
    auto place = [&](std::int32_t game) { return static_cast<std::uint32_t>(std::int64_t{game} - at); };
    Block& figures = blocks_[b];
    figures.fields[0] = {
        rare.firstBalance, scan.lastBalance,  static_cast<std::int32_t>(scan.low), static_cast<std::int32_t>(scan.high),
        place(rare.lowAt), place(rare.highAt)};
    figures.fields[1] = {rare.firstMode,        scan.mode, rare.modeLow, rare.modeHigh, place(rare.modeLowAt),
                         place(rare.modeHighAt)};
    figures.levels = rare.levels;
    // Its markers' bitmaps, from the balances at their games.
    const std::size_t markers = markerKoyaku_.size();
    std::array<std::uint64_t, 64> points{};
    FillBitmaps(hits, std::span(bitmaps_).subspan(b * markers, markers), points);
    hits.clear();
    // Counted apart and added up once per block: blocks may be scanned on
    // several threads.
    const std::lock_guard lock(merge);
    numbered_ = numbered_ && numbered;
    for (std::size_t m = 0; m < markers; ++m) markerPoints_[m] += points[m];
}

bool RecordChart::TakeFromIndex() {
    // Only a run the game loop played numbers its games one by one, as the
    // figures need.
    const RunIndex& index = records_.Index();
    if (!dynamic_cast<const CheckpointedRun*>(&records_) || !index.KeepsBars() ||
        index.Bars().size() != barsBefore_.back())
        return false;
    const std::span<const BlockSummary> summaries = index.Blocks();
    const std::size_t markers = markerKoyaku_.size();
    bitmaps_.resize(summaries.size() * markers);
    for (std::size_t b = 0; b < summaries.size(); ++b) {
        const BlockSummary& s = summaries[b];
        Block& figures = blocks_[b];
        figures.fields[0] = {s.balanceFirst, s.balanceLast,  s.balanceLow,
                             s.balanceHigh,  s.balanceLowAt, s.balanceHighAt};
        figures.fields[1] = {s.modeFirst, s.modeLast, s.modeLow, s.modeHigh, s.modeLowAt, s.modeHighAt};
        std::copy(s.modeGames.begin(), s.modeGames.end(), figures.levels.begin());
        // A marker's games lie somewhere in the block's balances: every
        // bucket of them may hold one. As quick to thin as the buckets of
        // the games themselves (BM_ZoomAndScrollRepaint), and nothing to
        // find at each game of the run.
        const std::int64_t span = std::int64_t{s.balanceHigh} - s.balanceLow;
        std::uint8_t shift = 0;
        while ((span >> shift) >= Bitmap::kBuckets) ++shift;
        const auto top = static_cast<std::size_t>(span >> shift);
        for (std::size_t m = 0; m < markers; ++m) {
            const std::uint32_t games = s.smallWins[static_cast<std::size_t>(markerKoyaku_[m])];
            markerPoints_[m] += games;
            if (games == 0) continue;
            Bitmap& bm = bitmaps_[b * markers + m];
            bm.any = true;
            bm.base = s.balanceLow;
            bm.shift = shift;
            for (std::size_t w = 0; w * 64 <= top; ++w)
                bm.bits[w] = top - w * 64 >= 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (top - w * 64 + 1)) - 1;
        }
    }
    bars_ = index.Bars();
    return true;
}

void RecordChart::Scan() {
    const std::size_t k = blockGames_, markers = markerKoyaku_.size();
    const std::size_t blocks = (n_ + k - 1) / k;
    blocks_.resize(blocks);
    x0_ = records_.at(0).playCount;
    barsBefore_.assign(1, 0);
    for (const BlockSummary& s : records_.Index().Blocks()) barsBefore_.push_back(barsBefore_.back() + s.bbRows);
    if (barsBefore_.size() != blocks + 1) throw std::logic_error("the records' blocks differ from their index's");
    if (TakeFromIndex()) return;
    // Each block's BB games write their own stretch of the bars.
    bitmaps_.resize(blocks * markers);
    ownBars_.resize(barsBefore_.back());
    bars_ = ownBars_;

    auto end = [&](std::size_t b) { return std::min(n_, (b + 1) * k); };
    std::mutex merge;
    if (const auto* run = dynamic_cast<const CheckpointedRun*>(&records_)) {
        // Played again block by block from the run's checkpoints, on every
        // core: each block's figures depend on that block alone.
        struct Worker {
            Slot slot{0};
            std::vector<std::int32_t> hits;
        };
        ForEachIndex(
            static_cast<std::int64_t>(blocks), 0, IndexLoop{.chunk = 4}, [] { return std::make_unique<Worker>(); },
            [&](std::int64_t i, std::unique_ptr<Worker>& w) {
                const auto b = static_cast<std::size_t>(i);
                ScanBlock(b, w->hits, merge, [&](BlockScan scan, bool&) {
                    w->slot.Restore(run->Checkpoint(b));
                    return w->slot.PlayGames(static_cast<std::int64_t>(end(b) - b * k), scan);
                });
            });
        return;
    }
    std::vector<std::int32_t> hits;
    for (std::size_t b = 0; b < blocks; ++b)
        ScanBlock(b, hits, merge, [&](BlockScan scan, bool& numbered) {
            // Records from elsewhere may be numbered in any way: each is
            // looked at.
            std::int64_t x = x0_ + static_cast<std::int64_t>(b * k);
            records_.ForEach(b * k, end(b), [&](std::size_t, std::span<const GameRecord> piece) {
                for (const GameRecord& r : piece) {
                    numbered &= r.playCount == x++;
                    scan(r);
                }
                return true;
            });
            return scan;
        });
}

void RecordChart::KeepEveryColumn() {
    // Numbered otherwise than one by one (a file may hold anything there):
    // the columns as they are, for the plain functions.
    blocks_ = {};
    bitmaps_ = {};
    barsBefore_ = {};
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

template <class OnRecord>
void RecordChart::PlayAgain(std::span<const Stretch> stretches, OnRecord onRecord) const {
    const auto* run = dynamic_cast<const CheckpointedRun*>(&records_);
    if (run && stretches.size() > 1) {
        // On every core, each on a machine of its own.
        const std::size_t k = blockGames_;
        ForEachIndex(
            static_cast<std::int64_t>(stretches.size()), 0, IndexLoop{.chunk = 1},
            [] { return std::make_unique<Slot>(0); },
            [&](std::int64_t s, std::unique_ptr<Slot>& slot) {
                const Stretch& st = stretches[static_cast<std::size_t>(s)];
                const std::size_t block = st.a / k;
                slot->Restore(run->Checkpoint(block));
                slot->PlayGames(static_cast<std::int64_t>(st.a - block * k), [](const GameRecord&) {});
                std::size_t i = st.a;
                slot->PlayGames(static_cast<std::int64_t>(st.e - st.a),
                                [&](const GameRecord& r) { onRecord(static_cast<std::size_t>(s), i++, r); });
            });
        return;
    }
    for (std::size_t s = 0; s < stretches.size(); ++s)
        records_.ForEach(stretches[s].a, stretches[s].e, [&](std::size_t at, std::span<const GameRecord> piece) {
            for (std::size_t i = 0; i < piece.size(); ++i) onRecord(s, at + i, piece[i]);
            return true;
        });
}

std::vector<RecordChart::Segment> RecordChart::Segments(const std::vector<std::size_t>& bounds) const {
    std::vector<Segment> segments(bounds.size() - 1);
    const std::size_t lo = bounds.front(), hi = bounds.back(), k = blockGames_;
    // The blocks cut by a column's edge, or by the view's: each played
    // again once for all the columns it holds, into a part per column.
    struct Cut {
        std::size_t block;
        std::vector<std::pair<std::size_t, Segment>> parts;
        void Add(const std::vector<std::size_t>& bounds, std::size_t i, const GameRecord& r) {
            if (parts.empty() || bounds[parts.back().first + 1] <= i) {
                const auto j =
                    static_cast<std::size_t>(std::upper_bound(bounds.begin(), bounds.end(), i) - bounds.begin()) - 1;
                parts.emplace_back(j, Segment{});
            }
            parts.back().second.Add(i, r);
        }
    };
    std::vector<Cut> cuts;
    std::vector<Stretch> stretches;
    auto whole = [&](std::size_t b, std::size_t a, std::size_t e, std::size_t j) {
        return a == b * k && e == std::min(n_, (b + 1) * k) && bounds[j + 1] >= e;
    };
    std::size_t j = 0;
    for (std::size_t b = lo / k; b * k < hi; ++b) {
        const std::size_t a = std::max(b * k, lo), e = std::min(std::min(n_, (b + 1) * k), hi);
        while (bounds[j + 1] <= a) ++j;
        if (whole(b, a, e, j)) continue;
        cuts.push_back({b, {}});
        stretches.push_back({a, e});
    }
    PlayAgain(stretches, [&](std::size_t c, std::size_t i, const GameRecord& r) { cuts[c].Add(bounds, i, r); });
    // In order: whole blocks from their figures, cut ones from their parts.
    j = 0;
    auto cut = cuts.begin();
    for (std::size_t b = lo / k; b * k < hi; ++b) {
        if (cut != cuts.end() && cut->block == b) {
            for (const auto& [at, part] : cut->parts) segments[at].Add(part);
            ++cut;
            continue;
        }
        while (bounds[j + 1] <= b * k) ++j;
        segments[j].Add(Segment::Of(b * k, blocks_[b]));
    }
    return segments;
}

const RecordChart::ViewColumns& RecordChart::ColumnsOf(std::size_t lo, std::size_t hi, double xmin, double xmax,
                                                       int columns) const {
    ViewColumns& v = *view_;
    if (v.valid && v.xmin == xmin && v.xmax == xmax && v.columns == columns) return v;
    v.valid = false;
    v.bounds = ColumnStarts(lo, hi, xmin, xmax, columns);
    v.segments = Segments(v.bounds);
    v.xmin = xmin;
    v.xmax = xmax;
    v.columns = columns;
    v.valid = true;
    return v;
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
    const ViewColumns& view = ColumnsOf(lo, hi, xmin, xmax, columns);
    const std::vector<std::size_t>& bounds = view.bounds;
    out.reserve(4 * view.segments.size() + 2);
    if (lo > 0) read(lo - 1, lo);
    for (std::size_t j = 0; j < view.segments.size(); ++j) {
        const Segment::Part& s = view.segments[j].fields[static_cast<std::size_t>(f)];
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
    const Segment::Part s = Segments({lo, hi}).front().fields[static_cast<std::size_t>(f)];
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
    const ViewColumns& view = ColumnsOf(lo, hi, xmin, xmax, columns);
    const std::vector<std::size_t>& bounds = view.bounds;
    out.reserve(view.segments.size());
    for (std::size_t j = 0; j < view.segments.size(); ++j) {
        const std::size_t c = scale.Of(X(bounds[j]));
        LevelColumn col;
        col.column = static_cast<int>(c);
        col.x0 = xmin + static_cast<double>(c) * (xmax - xmin) / columns;
        col.x1 = c == scale.last ? xmax : xmin + static_cast<double>(c + 1) * (xmax - xmin) / columns;
        col.games = bounds[j + 1] - bounds[j];
        col.counts = view.segments[j].levels;
        out.push_back(col);
    }
    return out;
}

bool RecordChart::AnyBit(const Bitmap& b, std::int64_t v0, std::int64_t v1) {
    v0 = std::max<std::int64_t>(v0, b.base);
    v1 = std::min(v1, b.Top());
    if (!b.any || v0 > v1) return false;
    const auto from = static_cast<std::size_t>((v0 - b.base) >> b.shift),
               to = static_cast<std::size_t>((v1 - b.base) >> b.shift);
    for (std::size_t w = from / 64; w <= to / 64; ++w) {
        std::uint64_t mask = ~std::uint64_t{0};
        if (w == from / 64) mask &= ~std::uint64_t{0} << (from % 64);
        if (w == to / 64) mask &= ~std::uint64_t{0} >> (63 - to % 64);
        if (b.bits[w] & mask) return true;
    }
    return false;
}

std::vector<XY> RecordChart::Thin(std::size_t m, double xmin, double xmax, double ymin, double ymax, int columns,
                                  int rows) const {
    const std::size_t one[] = {m};
    return std::move(ThinMany(one, xmin, xmax, ymin, ymax, columns, rows).front());
}

std::vector<std::vector<XY>> RecordChart::ThinMany(std::span<const std::size_t> ms, double xmin, double xmax,
                                                   double ymin, double ymax, int columns, int rows) const {
    std::vector<std::vector<XY>> out(ms.size());
    if (!numbered_) {
        for (std::size_t q = 0; q < ms.size(); ++q)
            out[q] = chart::Thin(plain_.markers[ms[q]], xmin, xmax, ymin, ymax, columns, rows);
        return out;
    }
    if (n_ == 0 || ms.empty() || columns <= 0 || rows <= 0 || !(xmax >= xmin) || !(ymax >= ymin)) return out;
    const double sx = xmax > xmin ? columns / (xmax - xmin) : 0.0;
    const double sy = ymax > ymin ? rows / (ymax - ymin) : 0.0;
    auto columnOf = [&](double x) {
        return std::min<std::size_t>(static_cast<std::size_t>((x - xmin) * sx), columns - 1);
    };
    auto rowOf = [&](double y) { return std::min<std::size_t>(static_cast<std::size_t>((y - ymin) * sy), rows - 1); };
    // Each series asked for, by its place in `ms`: its cells taken, and
    // which of them a small win feeds.
    std::vector<std::vector<bool>> taken(
        ms.size(), std::vector<bool>(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)));
    std::array<std::int8_t, 16> asked;
    asked.fill(-1);
    for (std::size_t q = 0; q < ms.size(); ++q) {
        const std::int32_t k = markerKoyaku_[ms[q]];
        if (k >= 0 && k < static_cast<std::int32_t>(asked.size()))
            asked[static_cast<std::size_t>(k)] = static_cast<std::int8_t>(q);
    }
    auto seriesOf = [&](const GameRecord& r) {
        return r.bbKind == NoBB && static_cast<std::uint32_t>(r.koyaku) < asked.size()
                   ? asked[static_cast<std::size_t>(r.koyaku)]
                   : std::int8_t{-1};
    };
    const auto [lo, hi] = Visible(xmin, xmax);
    const std::size_t k = blockGames_, markers = markerKoyaku_.size();

    // Whether the block's markers, were they in column c, reach a cell of it
    // series q has not taken yet.
    auto reachesFreeCell = [&](std::size_t q, const Bitmap& bm, std::size_t c) {
        const auto top = static_cast<double>(bm.Top());
        const double from = std::max(static_cast<double>(bm.base), std::ceil(ymin));
        const double to = std::min(top, std::floor(ymax));
        for (auto v = static_cast<std::int64_t>(from); v <= static_cast<std::int64_t>(to);) {
            const std::size_t r = rowOf(static_cast<double>(v));
            // The last balance in row r: worked out from the row's edge,
            // then set right by a step or two where rounding moved it.
            const auto last = static_cast<std::int64_t>(to);
            const double edge = sy > 0 ? std::floor(ymin + static_cast<double>(r + 1) / sy) : to;
            std::int64_t a = std::clamp(static_cast<std::int64_t>(std::min(edge, to)), v, last);
            while (a > v && rowOf(static_cast<double>(a)) != r) --a;
            while (a < last && rowOf(static_cast<double>(a + 1)) == r) ++a;
            if (!taken[q][r * static_cast<std::size_t>(columns) + c] && AnyBit(bm, v, a)) return true;
            v = a + 1;
        }
        return false;
    };
    auto take = [&](std::size_t q, std::size_t i, std::int32_t balance) {
        const XY p{static_cast<double>(X(i)), static_cast<double>(balance)};
        if (p.y < ymin || p.y > ymax) return;
        const std::size_t cell = rowOf(p.y) * static_cast<std::size_t>(columns) + columnOf(p.x);
        if (taken[q][cell]) return;
        taken[q][cell] = true;
        out[q].push_back(p);
    };
    // The series whose points block b's games [a, e) in view may put in a
    // cell not yet taken, one bit each: a whole block over a few columns is
    // looked up in its bitmap, one cut by the view is played again.
    auto mayTake = [&](std::size_t b, std::size_t a, std::size_t e) {
        std::uint32_t mask = 0;
        const bool whole = a == b * k && e == std::min(n_, (b + 1) * k);
        const std::size_t c0 = columnOf(X(a)), c1 = columnOf(X(e - 1));
        for (std::size_t q = 0; q < ms.size(); ++q) {
            const Bitmap& bm = bitmaps_[b * markers + ms[q]];
            if (!bm.any) continue;
            bool reaches = !whole || c1 - c0 >= kFewColumns;
            for (std::size_t c = c0; c <= c1 && !reaches; ++c) reaches = reachesFreeCell(q, bm, c);
            if (reaches) mask |= 1u << q;
        }
        return mask;
    };
    auto playOne = [&](std::size_t a, std::size_t e, std::uint32_t mask) {
        records_.ForEach(a, e, [&](std::size_t at, std::span<const GameRecord> piece) {
            for (std::size_t i = 0; i < piece.size(); ++i)
                if (const int q = seriesOf(piece[i]); q >= 0 && (mask >> q & 1))
                    take(static_cast<std::size_t>(q), at + i, piece[i].medalBalance);
            return true;
        });
    };
    // Blocks are taken in the order of their games, each played again once
    // for every series that may gain from it. A block reaching columns
    // past those of the blocks already chosen cannot depend on them there:
    // it joins a wave played on every core at once. One within those
    // columns waits for the wave and is looked at again once the blocks
    // before it are taken.
    struct Chosen {
        std::size_t block, a, e;
        std::uint32_t mask;
        bool inWave;
    };
    struct Hit {
        std::size_t i;
        std::int32_t balance;
        std::int8_t series;
    };
    std::vector<Chosen> chosen;
    std::vector<Stretch> wave;
    std::vector<std::uint32_t> waveMasks;
    std::vector<std::vector<Hit>> games;
    std::size_t waveColumn = 0;  // the last column the wave reaches
    auto takeChosen = [&] {
        games.assign(wave.size(), {});
        PlayAgain(wave, [&](std::size_t w, std::size_t i, const GameRecord& r) {
            if (const int q = seriesOf(r); q >= 0 && (waveMasks[w] >> q & 1))
                games[w].push_back({i, r.medalBalance, static_cast<std::int8_t>(q)});
        });
        std::size_t w = 0;
        for (const Chosen& c : chosen) {
            if (c.inWave) {
                for (const Hit& h : games[w++]) take(static_cast<std::size_t>(h.series), h.i, h.balance);
            } else if (const std::uint32_t mask = mayTake(c.block, c.a, c.e)) {
                playOne(c.a, c.e, mask);
            }
        }
        chosen.clear();
        wave.clear();
        waveMasks.clear();
    };
    for (std::size_t b = lo / k; b * k < hi; ++b) {
        const std::size_t a = std::max(b * k, lo), e = std::min(std::min(n_, (b + 1) * k), hi);
        const std::uint32_t mask = mayTake(b, a, e);
        if (!mask) continue;
        const std::size_t last = columnOf(X(e - 1));
        const bool ahead = wave.empty() || last > waveColumn;
        chosen.push_back({b, a, e, mask, ahead});
        if (!ahead) continue;
        wave.push_back({a, e});
        waveMasks.push_back(mask);
        waveColumn = last;
        if (wave.size() == kWaveBlocks) takeChosen();
    }
    takeChosen();
    return out;
}

std::size_t RecordChart::Bytes() const {
    const Columns& c = plain_;
    std::size_t markers = 0;
    for (const auto& v : c.markers) markers += v.capacity() * sizeof(XY);
    // The run index's bars are counted as the run's.
    return blocks_.capacity() * sizeof(Block) + bitmaps_.capacity() * sizeof(Bitmap) +
           barsBefore_.capacity() * sizeof(std::uint64_t) + ownBars_.capacity() * sizeof(std::int32_t) +
           (c.x.capacity() + c.balance.capacity() + c.mode.capacity()) * sizeof(std::int32_t) + markers;
}

}  // namespace morvane::chart
