#include "model/net_law_by_count.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace morvane {

const std::array<BBNetLaw, kBBKinds>& BBNetLaw::ForSetting(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    static std::array<std::once_flag, kMaxSetting> once;
    static std::array<std::array<BBNetLaw, kBBKinds>, kMaxSetting> laws;
    const auto si = static_cast<std::size_t>(setting - 1);
    std::call_once(once[si], [&] {
        const GameModel& g = Dynamics(setting).Model();
        // One game's net in a continued set and in a normal game (the last
        // set and the BB game's own small win), by net + 3.
        constexpr int kNetSpan = 11;
        std::array<double, kNetSpan> cont{}, normal{};
        for (int k = 0; k < kKoyakuKinds; ++k) {
            cont[static_cast<std::size_t>(kContinuePayout[k] - kBet + 3)] += g.koyaku[static_cast<std::size_t>(k)];
            normal[static_cast<std::size_t>(kNetPayout[k] + 3)] += g.koyaku[static_cast<std::size_t>(k)];
        }
        const auto convolve = [](const std::vector<double>& a, const std::array<double, kNetSpan>& b) {
            std::vector<double> out(a.size() + kNetSpan - 1, 0.0);
            for (std::size_t i = 0; i < a.size(); ++i)
                for (std::size_t j = 0; j < kNetSpan; ++j) out[i + j] += a[i] * b[j];
            return out;
        };
        // A continued set: six games and the set's bonus, from 108 - 18 up.
        std::vector<double> set = {1.0};
        for (int i = 0; i < kGamesPerSet; ++i) set = convolve(set, cont);
        const std::int64_t setLo = kSetBonus - 3 * kGamesPerSet;
        const std::int64_t setHi = setLo + static_cast<std::int64_t>(set.size()) - 1;
        // The last set and the BB game's small win: seven normal games.
        std::vector<double> tail = {1.0};
        for (int i = 0; i <= kGamesPerSet; ++i) tail = convolve(tail, normal);
        const std::int64_t tailLo = -3 * (kGamesPerSet + 1);

        // Per continuation mode, N >= 1 continued sets with P(N = n) =
        // (1 - q) q^(n - 1): U = S * ((1 - q) delta + q U), filled upward
        // from the lowest net, until more sets than that have a chance
        // below 1e-18. Index: net - setLo.
        std::array<std::vector<double>, kKModes> u;
        const BBModel& any = g.bb[0];
        for (std::size_t km = 0; km < kKModes; ++km) {
            const double q = any.continueChance[km];
            const auto most = static_cast<std::int64_t>(std::ceil(std::log(1e-18) / std::log(q))) + 1;
            std::vector<double>& v = u[km];
            v.assign(static_cast<std::size_t>(most * setHi - setLo + 1), 0.0);
            for (std::size_t x = 0; x < v.size(); ++x) {
                double sum = x < set.size() ? (1 - q) * set[x] : 0.0;
                // Another set of net setLo + j on top of U at x - j - setLo.
                const auto reach = static_cast<std::int64_t>(x) - setLo;
                // Four sums side by side, so the adds need not wait on each other.
                const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(set.size()) - 1, reach) + 1;
                std::array<double, 4> more{};
                std::int64_t j = 0;
                for (; j + 4 <= n; j += 4)
                    for (std::size_t k = 0; k < 4; ++k)
                        more[k] += set[static_cast<std::size_t>(j) + k] * v[static_cast<std::size_t>(reach - j) - k];
                for (; j < n; ++j) more[0] += set[static_cast<std::size_t>(j)] * v[static_cast<std::size_t>(reach - j)];
                v[x] = sum + q * ((more[0] + more[1]) + (more[2] + more[3]));
            }
        }
        for (int kind = 0; kind < kBBKinds; ++kind) {
            std::vector<double> sets;
            for (std::size_t km = 0; km < kKModes; ++km) {
                const double w = g.bb[static_cast<std::size_t>(kind)].kmode[km];
                if (w == 0) continue;
                if (sets.size() < u[km].size()) sets.resize(u[km].size(), 0.0);
                for (std::size_t x = 0; x < u[km].size(); ++x) sets[x] += w * u[km][x];
            }
            std::vector<double> pmf(sets.size() + tail.size() - 1, 0.0);
            for (std::size_t i = 0; i < sets.size(); ++i)
                for (std::size_t j = 0; j < tail.size(); ++j) pmf[i + j] += sets[i] * tail[j];
            BBNetLaw& law = laws[si][static_cast<std::size_t>(kind)];
            law.lo_ = setLo + tailLo;
            law.reversed_.resize(pmf.size());
            double cum = 0;
            for (std::size_t i = 0; i < pmf.size(); ++i) {
                cum += pmf[i];
                law.reversed_[pmf.size() - 1 - i] = cum;
                law.mean_ += pmf[i] * static_cast<double>(law.lo_ + static_cast<std::int64_t>(i));
            }
        }
    });
    return laws[si];
}

namespace {

// The hot loops are built twice, for any x86-64 and for AVX2 with FMA, and
// the loader picks the one the processor runs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define MORVANE_WIDE __attribute__((target_clones("default", "arch=x86-64-v3")))
#else
#define MORVANE_WIDE
#endif

// to[i] += f * from[i].
MORVANE_WIDE void Axpy(double* __restrict to, const double* __restrict from, double f, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; ++i) to[i] += f * from[i];
}

constexpr int kEndKinds = 2;           // the BB that ends the stretch: blue, red
constexpr int kLanes = 2 * kEndKinds;  // by the kind of the BB before, then the one after
constexpr int Lane(int kindBefore, int kindAfter) { return kindBefore * kEndKinds + kindAfter; }

// Short pmfs, by the kind of the BB after: a precursor lasts at most 32
// games, but one that ends in game 1499 leaves its Blue7 to the ceiling's
// coin, which may start another.
constexpr int kShortLo = -3 * 2 * kPrecursorSpan - 3;
constexpr int kShortHi = 7 * 2 * kPrecursorSpan + 8;
constexpr int kShortRows = kShortHi - kShortLo;
// [lo, hi): the rows that may hold anything; every row outside is 0.
template <int kWidth>
struct ShortPmf {
    std::array<double, kShortRows * kWidth> p{};
    int lo = kShortLo, hi = kShortHi;
    double& At(int x, int lane) { return p[static_cast<std::size_t>((x - kShortLo) * kWidth + lane)]; }
    double At(int x, int lane) const { return p[static_cast<std::size_t>((x - kShortLo) * kWidth + lane)]; }
    double* Row(int x) { return p.data() + static_cast<std::ptrdiff_t>((x - kShortLo) * kWidth); }
    const double* Row(int x) const { return p.data() + static_cast<std::ptrdiff_t>((x - kShortLo) * kWidth); }
    // Rows [from, to) may be written next.
    void Cover(int from, int to) {
        if (lo >= hi) {
            lo = from;
            hi = to;
        } else {
            lo = std::min(lo, from);
            hi = std::max(hi, to);
        }
    }
    // Zero, touching only the rows that may hold anything.
    void Clear() {
        if (hi > lo) std::fill(Row(lo), Row(hi), 0.0);
        lo = hi = 0;
    }
    void Add(const ShortPmf& o, double f) {
        if (f == 0 || o.hi <= o.lo) return;
        Cover(o.lo, o.hi);
        Axpy(Row(o.lo), o.Row(o.lo), f, static_cast<std::ptrdiff_t>(o.hi - o.lo) * kWidth);
    }
    void Tighten() {
        const auto empty = [&](int x) {
            for (int l = 0; l < kWidth; ++l)
                if (At(x, l) != 0) return false;
            return true;
        };
        while (lo < hi && empty(lo)) ++lo;
        while (hi > lo && empty(hi - 1)) --hi;
    }
};
using Short = ShortPmf<kEndKinds>;
// Four lanes: by the kind of the BB before (whose weights mix the counts),
// then by the kind of the BB after.
using Short4 = ShortPmf<kLanes>;

Short Delta(int kind) {
    Short s;
    s.At(0, kind) = 1.0;
    s.Tighten();
    return s;
}

// Pre-BB sums of the ordinary modes: up to 3 per game below 0 over a whole
// stretch; above 0 a sum of 2000 needs some 300 Bells in a row.
constexpr int kLongLo = -3 * kMaxGamesSinceBB + kShortLo - 10;
constexpr int kLongHi = 2000;
// Rows beside the ones in use are kept at zero, so that a game's shifts
// (-3 to 7) can read past either end without a test.
constexpr int kPad = 16;
constexpr int kLongRows = kLongHi - kLongLo + 2 * kPad;
constexpr double kDropped = 1e-15;

// out row r (four lanes) = the sum over taps of w times the input row at
// offset, r rows on. The recursion's whole cost is here.
struct Tap {
    std::ptrdiff_t offset;  // in doubles
    double w;
};
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("default", "arch=x86-64-v3")))
#endif
void FusedRows(double* out, const double* in, const Tap* taps, int count, std::ptrdiff_t rows) {
    // A row's four lanes as one vector; four rows at a time, so that each
    // tap's multiply-adds go to four independent sums instead of waiting on
    // one.
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    std::ptrdiff_t r = 0;
    for (; r + 4 <= rows; r += 4) {
        V4 a0 = {}, a1 = {}, a2 = {}, a3 = {};
        const double* base = in + r * 4;
        for (int k = 0; k < count; ++k) {
            const double* p = base + taps[k].offset;
            const V4 w = {taps[k].w, taps[k].w, taps[k].w, taps[k].w};
            V4 x0, x1, x2, x3;
            std::memcpy(&x0, p, sizeof x0);
            std::memcpy(&x1, p + 4, sizeof x1);
            std::memcpy(&x2, p + 8, sizeof x2);
            std::memcpy(&x3, p + 12, sizeof x3);
            a0 += w * x0;
            a1 += w * x1;
            a2 += w * x2;
            a3 += w * x3;
        }
        double* o = out + r * 4;
        std::memcpy(o, &a0, sizeof a0);
        std::memcpy(o + 4, &a1, sizeof a1);
        std::memcpy(o + 8, &a2, sizeof a2);
        std::memcpy(o + 12, &a3, sizeof a3);
    }
    for (; r < rows; ++r) {
        V4 a = {};
        const double* base = in + r * 4;
        for (int k = 0; k < count; ++k) {
            const V4 w = {taps[k].w, taps[k].w, taps[k].w, taps[k].w};
            V4 x;
            std::memcpy(&x, base + taps[k].offset, sizeof x);
            a += w * x;
        }
        std::memcpy(out + r * 4, &a, sizeof a);
    }
}

// The ordinary modes' rows mixed into the pre-BB sum by the kind after:
// s0[i] = sum over modes m of w[m][lane] * in[m][i][lane] over the lanes
// of a blue BB after, s1 over those of a red one.
MORVANE_WIDE void MixModes(double* __restrict s0, double* __restrict s1, const double* __restrict in,
                           std::ptrdiff_t modeStride, const double* w, int rows) {
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    V4 wm[kOrdinaryModes];
    for (int m = 0; m < kOrdinaryModes; ++m) std::memcpy(&wm[m], w + m * kLanes, sizeof(V4));
    for (int i = 0; i < rows; ++i) {
        V4 acc = {};
        for (int m = 0; m < kOrdinaryModes; ++m) {
            V4 x;
            std::memcpy(&x, in + m * modeStride + i * kLanes, sizeof x);
            acc += wm[m] * x;
        }
        s0[i] = acc[Lane(0, 0)] + acc[Lane(1, 0)];
        s1[i] = acc[Lane(0, 1)] + acc[Lane(1, 1)];
    }
}

// Nets of a small win, -3..7, by net + 3.
constexpr int kNetSlots = 11;

// What a setting's laws start from and reuse at every counter: built once
// per setting and shared by every caller.
struct Plan {
    const StateDynamics& d;
    double red = kPrecursorRedShare;
    std::array<double, kNetSlots> win{};  // a game's net, whatever its mode
    // Ordinary mode m to each mode: (net, chance) taps.
    std::array<std::array<std::vector<std::pair<int, double>>, kModes>, kOrdinaryModes> taps;
    std::array<std::array<double, kLawCounts>, kBBKinds> events{};  // long-run P(kind before, count)
    std::array<double, kBBKinds> eventTotal{};
    const BBNetLaw& blue;
    const BBNetLaw& redLaw;

    // The forward law: by counter, the ordinary modes by the kind of the BB
    // before (unnormalised), and precursor, Blue7, Red7 by count.
    struct Ahead {
        std::array<std::array<double, kOrdinaryModes>, kBBKinds> ord{};
        std::array<double, kLawCounts> pre{}, blue7{}, red7{};
        double reach = 0;
    };
    std::vector<Ahead> ahead;

    // Precursor futures far from the ceiling (and after it) and the
    // ceiling's coin at 1499.
    std::array<Short, kLawCounts> preFar, coin;
    // The same mixed over the counts by the long-run BB events, and the
    // BB games of Blue7 and Red7.
    Short4 preFarMixed, coinMixed, blueMixed, redMixed;
    // Far from the ceiling those sources are the same every game.
    std::array<Short4, kOrdinaryModes> sourceFar;

    explicit Plan(const StateDynamics& dyn);

    // A precursor game from count c into out: its small win, then the end
    // (into the futures of Blue7 and Red7 after it) or another step (into
    // next).
    void PrecursorStep(int c, const Short* next, const Short& blueAfter, const Short& redAfter, Short& out,
                       Short& inner) const {
        inner.Clear();
        const double end = d.PrecursorEnd(c);
        inner.Add(blueAfter, end * (1 - red));
        inner.Add(redAfter, end * red);
        if (c + 1 < kLawCounts && next) inner.Add(*next, 1 - end);
        out.Clear();
        inner.Tighten();
        for (int n = 0; n < kNetSlots; ++n) {
            const double w = win[static_cast<std::size_t>(n)];
            const int shift = n - 3;
            const int from = std::max(inner.lo, kShortLo - shift), to = std::min(inner.hi, kShortHi - shift);
            if (w == 0 || to <= from) continue;
            out.Cover(from + shift, to + shift);
            Axpy(out.Row(from + shift), inner.Row(from), w, static_cast<std::ptrdiff_t>(to - from) * kEndKinds);
        }
        out.Tighten();
    }

    // What mode m's game adds of the futures of the precursor, Blue7 and
    // Red7 it may step into, onto `at`, the row of net 0.
    template <class Into>
    void AddSources(int m, const std::array<const Short4*, 3>& src, Into at) const {
        const auto& tm = taps[static_cast<std::size_t>(m)];
        for (int j = 0; j < 3; ++j) {
            const Short4& from = *src[static_cast<std::size_t>(j)];
            for (const auto& [v, w] : tm[static_cast<std::size_t>(Precursor + j)]) {
                Axpy(at + static_cast<std::ptrdiff_t>(from.lo + v) * kLanes, from.Row(from.lo), w,
                     static_cast<std::ptrdiff_t>(from.hi - from.lo) * kLanes);
            }
        }
    }
    // The nets [lo, hi) AddSources may write to; empty sources leave them.
    void SourceRows(int m, const std::array<const Short4*, 3>& src, int& lo, int& hi) const {
        const auto& tm = taps[static_cast<std::size_t>(m)];
        for (int j = 0; j < 3; ++j) {
            const Short4& from = *src[static_cast<std::size_t>(j)];
            if (from.hi <= from.lo) continue;
            for (const auto& [v, w] : tm[static_cast<std::size_t>(Precursor + j)]) {
                lo = std::min(lo, from.lo + v);
                hi = std::max(hi, from.hi + v);
            }
        }
    }

    template <class ByCount>
    void MixByEvents(const ByCount& at, Short4& out) const {
        out = {};
        for (int kb = 0; kb < kBBKinds; ++kb)
            for (int c = 0; c < kLawCounts; ++c) {
                const double w = events[static_cast<std::size_t>(kb)][static_cast<std::size_t>(c)];
                if (w == 0) continue;
                const Short& s = at(c);
                for (int x = s.lo; x < s.hi; ++x)
                    for (int k = 0; k < kEndKinds; ++k) out.Row(x)[Lane(kb, k)] += w * s.At(x, k);
            }
        out.Tighten();
    }

    static const Plan& ForSetting(int setting);
};

Plan::Plan(const StateDynamics& dyn)
    : d(dyn), blue(BBNetLaw::ForSetting(dyn.Setting())[0]), redLaw(BBNetLaw::ForSetting(dyn.Setting())[1]) {
    Plan& p = *this;
    const GameModel& g = d.Model();
    for (int k = 0; k < kKoyakuKinds; ++k)
        p.win[static_cast<std::size_t>(kNetPayout[k] + 3)] += g.koyaku[static_cast<std::size_t>(k)];
    for (int m = 0; m < kOrdinaryModes; ++m)
        for (int to = 0; to < kModes; ++to) {
            std::array<double, kNetSlots> t{};
            for (int k = 0; k < kKoyakuKinds; ++k)
                t[static_cast<std::size_t>(kNetPayout[k] + 3)] +=
                    g.koyaku[static_cast<std::size_t>(k)] *
                    g.modeChange[static_cast<std::size_t>(k)][static_cast<std::size_t>(m)]
                                [static_cast<std::size_t>(to)];
            for (int n = 0; n < kNetSlots; ++n)
                if (t[static_cast<std::size_t>(n)] != 0)
                    p.taps[static_cast<std::size_t>(m)][static_cast<std::size_t>(to)].emplace_back(
                        n - 3, t[static_cast<std::size_t>(n)]);
        }
    for (int e = 0; e < kBBEvents; ++e) {
        p.events[static_cast<std::size_t>(EventKind(e) - 1)][static_cast<std::size_t>(EventCount(e))] =
            d.LongRunEvents()[e];
        p.eventTotal[static_cast<std::size_t>(EventKind(e) - 1)] += d.LongRunEvents()[e];
    }

    // Forward, counter by counter.
    p.ahead.resize(kMaxGamesSinceBB);
    StateLaw law = d.LongRunAfterBB(), next;
    std::array<std::array<double, kOrdinaryModes>, kBBKinds> ord{};
    for (int kb = 0; kb < kBBKinds; ++kb)
        for (int m = 0; m < kOrdinaryModes; ++m)
            ord[static_cast<std::size_t>(kb)][static_cast<std::size_t>(m)] =
                g.bb[static_cast<std::size_t>(kb)].endMode[static_cast<std::size_t>(m)];
    for (std::int32_t t = 0; t < kMaxGamesSinceBB; ++t) {
        Ahead& a = p.ahead[static_cast<std::size_t>(t)];
        a.ord = ord;
        a.reach = law.Total();
        for (int c = 0; c < kLawCounts; ++c) {
            a.pre[static_cast<std::size_t>(c)] = law.At(Precursor, c);
            a.blue7[static_cast<std::size_t>(c)] = law.At(Blue7, c);
            a.red7[static_cast<std::size_t>(c)] = law.At(Red7, c);
        }
        BBEvents gone{};
        d.Game(law, t + 1, next, gone);
        std::swap(law, next);
        for (auto& o : ord) {
            std::array<double, kOrdinaryModes> n{};
            if (t + 1 < kCeilingGames)
                for (int m = 0; m < kOrdinaryModes; ++m)
                    for (int to = 0; to < kOrdinaryModes; ++to)
                        n[static_cast<std::size_t>(to)] +=
                            o[static_cast<std::size_t>(m)] *
                            g.modeStep[static_cast<std::size_t>(m)][static_cast<std::size_t>(to)];
            o = n;
        }
    }

    // Precursor futures with no ceiling ahead, from count 31 down.
    const Short blueNow = Delta(0), redNow = Delta(1);
    const auto scratch = std::make_unique<Short>();
    for (int c = kLawCounts - 1; c >= 0; --c)
        p.PrecursorStep(c, c + 1 < kLawCounts ? &p.preFar[static_cast<std::size_t>(c + 1)] : nullptr, blueNow, redNow,
                        p.preFar[static_cast<std::size_t>(c)], *scratch);
    // Game 1500: a coin between a blue BB in that game and a precursor step.
    for (int c = 0; c < kLawCounts; ++c) {
        Short& coin = p.coin[static_cast<std::size_t>(c)];
        p.PrecursorStep(c, c + 1 < kLawCounts ? &p.preFar[static_cast<std::size_t>(c + 1)] : nullptr, blueNow, redNow,
                        coin, *scratch);
        for (double& v : coin.p) v *= 0.5;
        coin.Cover(0, 1);
        coin.At(0, 0) += 0.5;
        coin.Tighten();
    }
    p.MixByEvents([&](int c) -> const Short& { return p.preFar[static_cast<std::size_t>(c)]; }, p.preFarMixed);
    p.MixByEvents([&](int c) -> const Short& { return p.coin[static_cast<std::size_t>(c)]; }, p.coinMixed);
    for (int kb = 0; kb < kBBKinds; ++kb) {
        p.blueMixed.Row(0)[Lane(kb, 0)] = p.eventTotal[static_cast<std::size_t>(kb)];
        p.redMixed.Row(0)[Lane(kb, 1)] = p.eventTotal[static_cast<std::size_t>(kb)];
    }
    p.blueMixed.Tighten();
    p.redMixed.Tighten();
    for (int m = 0; m < kOrdinaryModes; ++m) {
        Short4& f = p.sourceFar[static_cast<std::size_t>(m)];
        p.AddSources(m, {&p.preFarMixed, &p.blueMixed, &p.redMixed}, f.Row(0));
        f.Tighten();
    }
}

const Plan& Plan::ForSetting(int setting) {
    static std::array<std::once_flag, kMaxSetting> once;
    static std::array<std::unique_ptr<Plan>, kMaxSetting> plans;
    const auto si = static_cast<std::size_t>(setting - 1);
    std::call_once(once[si], [&] { plans[si] = std::make_unique<Plan>(Dynamics(setting)); });
    return *plans[si];
}

// Storage for one law's steps, kept between laws so that its pages are not
// faulted in and zeroed afresh each time: a law gives it back with the
// rows its buffers were known to hold zero or in use all at zero.
struct Work {
    // [mode][row][lane] for the ordinary modes, two buffers in turn.
    struct Buffer {
        std::unique_ptr<double[]> store;
        double* rows = nullptr;      // aligned to a cache line
        int zeroLo = 0, zeroHi = 0;  // nets whose rows are zero or in use
        int usedLo = 0, usedHi = 0;  // nets whose rows may have been written
    };
    std::array<Buffer, 2> buffers;
    // Precursor futures near the ceiling, made step by step into two sets
    // in turn.
    std::array<std::array<Short, kLawCounts>, 2> near;
    Short4 preNearMixed;
    Short scratch, shorts;  // for PrecursorStep and StepDown
    // The pmf of the pre-BB sum at the current counter, by the kind after.
    std::array<std::vector<double>, kEndKinds> sum;

    Work() {
        for (Buffer& b : buffers) {
            constexpr std::size_t kAlign = 64 / sizeof(double);
            b.store.reset(new double[static_cast<std::size_t>(kOrdinaryModes) * kLongRows * kLanes + kAlign]);
            const auto at = reinterpret_cast<std::uintptr_t>(b.store.get());
            b.rows = b.store.get() + (kAlign - at / sizeof(double) % kAlign) % kAlign;
        }
    }
};

class WorkPool {
public:
    std::unique_ptr<Work> Take() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                std::unique_ptr<Work> w = std::move(free_.back());
                free_.pop_back();
                return w;
            }
        }
        return std::make_unique<Work>();
    }
    void Give(std::unique_ptr<Work> w) {
        const std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(w));
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Work>> free_;
};

WorkPool& Pool() {
    static WorkPool pool;
    return pool;
}

}  // namespace

struct NetLawByCount::Impl {
    const Plan& k;
    const StateDynamics& d;
    std::unique_ptr<Work> w;
    using Buffer = Work::Buffer;
    int nearTurn = 0;
    // The precursor futures of t and t + 1: far ones, the coin's, or near.
    std::array<const Short*, kLawCounts> preNow{}, preNext{};
    int current = 0;  // the buffer g is in
    double* g = nullptr;
    double* gNext = nullptr;
    int lo = 0, hi = 0;                    // rows in use of g (x = kLongLo + row)
    int nextDirtyLo = 0, nextDirtyHi = 0;  // nets gNext may hold anything at
    double dropped = 0;                    // chance dropped with the tails, at most, from here on
    int sumLo = 0, sumHi = 0;              // the nets w->sum holds
    double reach = 0;

    explicit Impl(const StateDynamics& dyn) : k(Plan::ForSetting(dyn.Setting())), d(dyn), w(Pool().Take()) {
        g = w->buffers[0].rows;
        gNext = w->buffers[1].rows;
    }
    ~Impl() {
        // Back to the pool with every row it wrote at zero.
        for (Buffer& b : w->buffers) {
            if (b.usedHi > b.usedLo)
                for (int m = 0; m < kOrdinaryModes; ++m)
                    std::fill(Long(b.rows, m, b.usedLo), Long(b.rows, m, b.usedHi), 0.0);
            // What was written lies in the rows Clean zeroed, so those
            // are all zero again; the rest was never touched.
            b.usedLo = b.usedHi = 0;
        }
        Pool().Give(std::move(w));
    }

    // Rows [from, to) of a buffer, beside those already zeroed, to 0.
    void Clean(Buffer& b, int from, int to) {
        from = std::max(from, kLongLo - kPad);
        to = std::min(to, kLongHi + kPad);
        if (b.zeroHi <= b.zeroLo) b.zeroLo = b.zeroHi = from;
        for (int m = 0; m < kOrdinaryModes; ++m) {
            if (from < b.zeroLo) std::fill(Long(b.rows, m, from), Long(b.rows, m, b.zeroLo), 0.0);
            if (to > b.zeroHi) std::fill(Long(b.rows, m, b.zeroHi), Long(b.rows, m, to), 0.0);
        }
        b.zeroLo = std::min(b.zeroLo, from);
        b.zeroHi = std::max(b.zeroHi, to);
        if (b.usedHi <= b.usedLo) b.usedLo = b.usedHi = from;
        b.usedLo = std::min(b.usedLo, from);
        b.usedHi = std::max(b.usedHi, to);
    }

    static double* Long(double* base, int mode, int x) {
        return base + (static_cast<std::ptrdiff_t>(mode) * kLongRows + (x - kLongLo + kPad)) * kLanes;
    }
};

NetLawByCount::NetLawByCount(const StateDynamics& d) : p_(std::make_unique<Impl>(d)) {}

NetLawByCount::~NetLawByCount() = default;

double NetLawByCount::Reach() const { return p_->reach; }

double NetLawByCount::Dropped() const { return p_->dropped; }

void NetLawByCount::StepDown() {
    Impl& p = *p_;
    --t_;
    const std::int32_t t = t_;
    const GameModel& model = p.d.Model();
    (void)model;

    // Precursor futures at t, from those at t + 1.
    p.preNext = p.preNow;
    const Short blueNow = Delta(0), redNow = Delta(1);
    bool anyNear = false;
    for (int c = kLawCounts - 1; c >= 0; --c) {
        const auto cc = static_cast<std::size_t>(c);
        if (t >= kCeilingGames || t + (kLawCounts - c) + 1 < kCeilingGames) {
            p.preNow[cc] = &p.k.preFar[cc];
        } else if (t == kCeilingGames - 1) {
            p.preNow[cc] = &p.k.coin[cc];
        } else {
            // The ceiling's game lies within this precursor's reach; the BB
            // after an end in game t + 1 falls on it when t + 1 is 1499.
            const bool coinNext = t + 1 == kCeilingGames - 1;
            Short& s = p.w->near[static_cast<std::size_t>(p.nearTurn)][cc];
            p.k.PrecursorStep(c, c + 1 < kLawCounts ? p.preNext[cc + 1] : nullptr, coinNext ? p.k.coin[0] : blueNow,
                              coinNext ? p.k.coin[0] : redNow, s, p.w->scratch);
            p.preNow[cc] = &s;
            anyNear = true;
        }
    }
    if (anyNear) p.nearTurn ^= 1;

    // The ordinary modes' futures.
    if (t >= kCeilingGames) {
        p.lo = p.hi = 0;
    } else if (t == kCeilingGames - 1) {
        // Whatever the mode, game 1500 is the ceiling's.
        const Short4& coin = p.k.coinMixed;
        p.lo = kShortLo - kLongLo;
        p.hi = kShortHi - kLongLo;
        for (Work::Buffer& b : p.w->buffers) p.Clean(b, kShortLo - kPad, kShortHi + kPad);
        p.nextDirtyLo = p.nextDirtyHi = 0;
        for (int m = 0; m < kOrdinaryModes; ++m)
            for (int x = kShortLo; x < kShortHi; ++x)
                std::memcpy(p.Long(p.g, m, x), coin.Row(x), sizeof(double) * kLanes);
    } else {
        // Sources at t + 1 other than the ordinary modes: the precursor
        // (entered with the count carried), Blue7 and Red7.
        const bool coinNext = t + 1 == kCeilingGames - 1;
        const bool farNext = t + 1 + kLawCounts + 1 < kCeilingGames;
        if (!farNext)
            p.k.MixByEvents([&](int c) -> const Short& { return *p.preNext[static_cast<std::size_t>(c)]; },
                            p.w->preNearMixed);
        const Short4& pre = farNext ? p.k.preFarMixed : p.w->preNearMixed;
        const Short4& blue7 = coinNext ? p.k.coinMixed : p.k.blueMixed;
        const Short4& red7 = coinNext ? p.k.coinMixed : p.k.redMixed;
        const int oldLo = p.lo + kLongLo, oldHi = p.hi + kLongLo;  // as nets
        // The rows this step may fill: those a game's shift (-3 to 7) takes
        // the law to, and those the sources reach.
        int srcLo = kLongHi, srcHi = kLongLo;
        for (int m = 0; m < kOrdinaryModes; ++m) {
            if (farNext && !coinNext) {
                const Short4& from = p.k.sourceFar[static_cast<std::size_t>(m)];
                if (from.hi <= from.lo) continue;
                srcLo = std::min(srcLo, from.lo);
                srcHi = std::max(srcHi, from.hi);
            } else {
                p.k.SourceRows(m, {&pre, &blue7, &red7}, srcLo, srcHi);
            }
        }
        const bool some = p.hi > p.lo;
        const int newLo = std::min(some ? oldLo - 3 : kLongHi, srcLo);
        const int newHi = std::max(newLo, std::min(std::max(some ? oldHi + 7 : kLongLo, srcHi), kLongHi));
        double* out = p.gNext;
        // What this step reads of g and writes of out is zero or in use.
        p.Clean(p.w->buffers[static_cast<std::size_t>(p.current)], newLo - kPad, newHi + kPad);
        p.Clean(p.w->buffers[static_cast<std::size_t>(p.current ^ 1)], newLo - kPad, newHi + kPad);
        for (int m = 0; m < kOrdinaryModes; ++m) {
            // Row y of mode m takes row y - v of each ordinary mode.
            std::array<Tap, 3 * kNetSlots> taps{};
            int count = 0;
            const auto& tm = p.k.taps[static_cast<std::size_t>(m)];
            for (int to = 0; to < kOrdinaryModes; ++to)
                for (const auto& [v, w] : tm[static_cast<std::size_t>(to)])
                    taps[static_cast<std::size_t>(count++)] = {
                        Impl::Long(p.g, to, newLo - v) - Impl::Long(p.g, 0, newLo), w};
            FusedRows(Impl::Long(out, m, newLo), Impl::Long(p.g, 0, newLo), taps.data(), count, newHi - newLo);
            if (farNext && !coinNext) {
                const Short4& from = p.k.sourceFar[static_cast<std::size_t>(m)];
                Axpy(Impl::Long(out, m, from.lo), from.Row(from.lo), 1.0,
                     static_cast<std::ptrdiff_t>(from.hi - from.lo) * kLanes);
            } else {
                p.k.AddSources(m, {&pre, &blue7, &red7}, Impl::Long(out, m, 0));
            }
        }
        // Drop the tails that no longer matter.
        const auto negligible = [&](int x) {
            for (int m = 0; m < kOrdinaryModes; ++m) {
                const double* r = p.Long(out, m, x);
                for (int l = 0; l < kLanes; ++l)
                    if (r[l] > kDropped) return false;
            }
            return true;
        };
        int lo = newLo, hi = newHi;
        while (lo < hi && negligible(lo)) ++lo;
        while (hi > lo && negligible(hi - 1)) --hi;
        // The chance dropped: each (mode, lane) law loses at most what its
        // own rows held, and a game's step passes on no more than it gets.
        std::array<double, kOrdinaryModes * kLanes> gone{};
        const auto drop = [&](int from, int to) {
            for (int m = 0; m < kOrdinaryModes; ++m)
                for (int x = from; x < to; ++x)
                    for (int l = 0; l < kLanes; ++l)
                        gone[static_cast<std::size_t>(m * kLanes + l)] += p.Long(out, m, x)[l];
        };
        drop(newLo, lo);
        drop(std::max(lo, hi), newHi);
        p.dropped += *std::max_element(gone.begin(), gone.end());
        // Zero what was dropped and whatever an earlier step left in this
        // buffer, so that only [lo, hi) holds anything.
        const int dirtyLo = std::min(newLo, p.nextDirtyLo), dirtyHi = std::max(newHi, p.nextDirtyHi);
        if (hi > lo) {
            for (int m = 0; m < kOrdinaryModes; ++m) {
                std::fill(Impl::Long(out, m, dirtyLo), Impl::Long(out, m, lo), 0.0);
                std::fill(Impl::Long(out, m, hi), Impl::Long(out, m, dirtyHi), 0.0);
            }
        } else {
            for (int m = 0; m < kOrdinaryModes; ++m)
                std::fill(Impl::Long(out, m, dirtyLo), Impl::Long(out, m, dirtyHi), 0.0);
        }
        p.nextDirtyLo = p.lo + kLongLo;  // the buffer about to become the next output
        p.nextDirtyHi = p.hi + kLongLo;
        p.lo = lo - kLongLo;
        p.hi = hi - kLongLo;
        std::swap(p.g, p.gNext);
        p.current ^= 1;
    }

    // The pre-BB sum at this counter, by the kind of the BB after.
    const Plan::Ahead& a = p.k.ahead[static_cast<std::size_t>(t)];
    p.reach = a.reach;
    const int gLo = p.lo + kLongLo, gHi = p.hi + kLongLo;
    p.sumLo = p.hi > p.lo ? std::min(gLo, kShortLo) : kShortLo;
    p.sumHi = p.hi > p.lo ? std::max(gHi, kShortHi) : kShortHi;
    const auto rows = static_cast<std::size_t>(p.sumHi - p.sumLo);
    for (auto& k : p.w->sum) {
        k.resize(rows);
        // MixModes writes the ordinary modes' rows; the rest starts at 0.
        if (p.hi > p.lo) {
            std::fill(k.begin(), k.begin() + (gLo - p.sumLo), 0.0);
            std::fill(k.begin() + (gHi - p.sumLo), k.end(), 0.0);
        } else {
            std::fill(k.begin(), k.end(), 0.0);
        }
    }
    const double inv = 1.0 / a.reach;
    if (p.hi > p.lo) {
        std::array<double, kOrdinaryModes * kLanes> w{};
        for (int m = 0; m < kOrdinaryModes; ++m)
            for (int kb = 0; kb < kBBKinds; ++kb)
                for (int k = 0; k < kEndKinds; ++k)
                    w[static_cast<std::size_t>(m * kLanes + Lane(kb, k))] =
                        a.ord[static_cast<std::size_t>(kb)][static_cast<std::size_t>(m)] * inv;
        MixModes(p.w->sum[0].data() + (gLo - p.sumLo), p.w->sum[1].data() + (gLo - p.sumLo), p.Long(p.g, 0, gLo),
                 kLongRows * kLanes, w.data(), gHi - gLo);
    }
    // The precursor, Blue7 and Red7, count by count.
    const bool coinNow = t == kCeilingGames - 1;
    Short& shorts = p.w->shorts;
    shorts.Clear();
    shorts.Cover(0, 1);
    for (int c = 0; c < kLawCounts; ++c) {
        const auto cc = static_cast<std::size_t>(c);
        shorts.Add(*p.preNow[cc], a.pre[cc]);
        if (coinNow) {
            shorts.Add(p.k.coin[cc], a.blue7[cc] + a.red7[cc]);
        } else {
            shorts.At(0, 0) += a.blue7[cc];
            shorts.At(0, 1) += a.red7[cc];
        }
    }
    for (int x = shorts.lo; x < shorts.hi; ++x)
        for (int k = 0; k < kEndKinds; ++k)
            p.w->sum[static_cast<std::size_t>(k)][static_cast<std::size_t>(x - p.sumLo)] += inv * shorts.At(x, k);
}

namespace {

// acc[j] += sum over i < n of s[i] * r[i - j], for j < N: a sums vector
// against the BB's reversed CDF at N neighbouring nets, each sums element
// loaded once.
template <int N>
MORVANE_WIDE void ShiftedDots(const double* __restrict s, const double* __restrict r, std::ptrdiff_t n, double* acc) {
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    V4 sum[N] = {};
    std::ptrdiff_t i = 0;
    for (; i + 4 <= n; i += 4) {
        V4 x;
        std::memcpy(&x, s + i, sizeof x);
        for (int j = 0; j < N; ++j) {
            V4 y;
            std::memcpy(&y, r + i - j, sizeof y);
            sum[j] += x * y;
        }
    }
    for (int j = 0; j < N; ++j) {
        double t = (sum[j][0] + sum[j][1]) + (sum[j][2] + sum[j][3]);
        for (std::ptrdiff_t k = i; k < n; ++k) t += s[k] * r[k - j];
        acc[j] += t;
    }
}

void ShiftedDots(const double* s, const double* r, std::ptrdiff_t n, int count, double* acc) {
    switch (count) {
    case 1: return ShiftedDots<1>(s, r, n, acc);
    case 2: return ShiftedDots<2>(s, r, n, acc);
    case 3: return ShiftedDots<3>(s, r, n, acc);
    default: return ShiftedDots<4>(s, r, n, acc);
    }
}

}  // namespace

double NetLawByCount::Cdf(std::int64_t y) const {
    double v = 0;
    Cdfs(y, 1, &v);
    return v;
}

void NetLawByCount::Cdfs(std::int64_t from, int n, double* out) const {
    if (n < 1 || n > kMostCdfs) throw std::invalid_argument("Cdfs takes 1 to 4 nets");
    const Impl& p = *p_;
    std::fill(out, out + n, 0.0);
    for (int k = 0; k < kEndKinds; ++k) {
        const BBNetLaw& bb = k == 0 ? p.k.blue : p.k.redLaw;
        const std::vector<double>& s = p.w->sum[static_cast<std::size_t>(k)];
        const auto size = static_cast<std::int64_t>(s.size());
        // A sum x gives the BB's CDF at y - x: 1 where y - x is past the
        // kept part, 0 below its lowest net, the kept value between, which
        // in the reversed array lies at x - (y - Highest()): for the sum at
        // index i and y = from + j, at r[i - j].
        const std::int64_t base = from - bb.Highest();
        const double* r = bb.Reversed().data() + (p.sumLo - base);
        const auto ones = [&](int j) { return std::clamp<std::int64_t>(base + j - p.sumLo, 0, size); };
        const auto end = [&](int j) { return std::clamp<std::int64_t>(from + j - bb.Lowest() + 1 - p.sumLo, 0, size); };
        // Where every y of the range takes the kept part, in one pass.
        const std::int64_t a = ones(n - 1), b = std::max(a, end(0));
        ShiftedDots(s.data() + a, r + a, b - a, n, out);
        for (int j = 0; j < n; ++j) {
            // Sums whose BB CDF is 1: none while the BB's kept part is
            // wider than the sums' range, as it is.
            for (std::int64_t i = 0; i < ones(j); ++i) out[j] += s[static_cast<std::size_t>(i)];
            for (std::int64_t i = ones(j); i < std::min(a, end(j)); ++i)
                out[j] += s[static_cast<std::size_t>(i)] * r[i - j];
            for (std::int64_t i = std::max(b, ones(j)); i < end(j); ++i)
                out[j] += s[static_cast<std::size_t>(i)] * r[i - j];
        }
    }
}

double NetLawByCount::Mean() const {
    const Impl& p = *p_;
    double total = 0;
    for (int x = p.sumLo; x < p.sumHi; ++x) {
        const auto i = static_cast<std::size_t>(x - p.sumLo);
        total += p.w->sum[0][i] * (x + p.k.blue.Mean()) + p.w->sum[1][i] * (x + p.k.redLaw.Mean());
    }
    return total;
}

}  // namespace morvane
