#include "model/net_law_by_count.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <stdexcept>

#include "model/net_kernels.h"

namespace morvane {
namespace {

using namespace netlaw;

// What every law of a setting starts from: a game's taps and the forward
// law by counter. Built once per setting.
struct Chain {
    const StateDynamics& d;
    double red = kPrecursorRedShare;
    std::array<double, kNetSlots> win{};  // a game's net, whatever its mode
    // Ordinary mode m to each mode: (net, chance) taps.
    std::array<std::array<std::vector<std::pair<int, double>>, kModes>, kOrdinaryModes> taps;
    std::array<std::array<double, kLawCounts>, kBBKinds> events{};  // long-run P(kind before, count)
    std::array<double, kBBKinds> eventTotal{};

    // The forward law: by counter, the ordinary modes by the kind of the BB
    // before (unnormalised), and precursor, Blue7, Red7 by count.
    struct Ahead {
        std::array<std::array<double, kOrdinaryModes>, kBBKinds> ord{};
        std::array<double, kLawCounts> pre{}, blue7{}, red7{};
        double reach = 0;
    };
    std::vector<Ahead> ahead;

    explicit Chain(const StateDynamics& dyn);
    static const Chain& ForSetting(int setting);
};

Chain::Chain(const StateDynamics& dyn) : d(dyn) {
    Chain& p = *this;
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
}

const Chain& Chain::ForSetting(int setting) {
    static std::array<std::once_flag, kMaxSetting> once;
    static std::array<std::unique_ptr<Chain>, kMaxSetting> chains;
    const auto si = static_cast<std::size_t>(setting - 1);
    std::call_once(once[si], [&] { chains[si] = std::make_unique<Chain>(Dynamics(setting)); });
    return *chains[si];
}

// What a setting's laws of one kind reuse at every counter: the futures of
// the precursor, Blue7 and Red7 far from the ceiling and at its coin.
template <class Law>
struct Plan {
    using Short = ShortPmf<Law::kAfter>;
    using Mixed = ShortPmf<kWidth<Law>>;
    static constexpr int kW = kWidth<Law>;
    const Chain& k;

    // Precursor futures far from the ceiling (and after it) and the
    // ceiling's coin at 1499.
    std::array<Short, kLawCounts> preFar, coin;
    // The same mixed over the counts by the long-run BB events, and the
    // BB games of Blue7 and Red7.
    Mixed preFarMixed, coinMixed, blueMixed, redMixed;
    // Far from the ceiling those sources are the same every game.
    std::array<Mixed, kOrdinaryModes> sourceFar;
    // The BB game of each kind next, which every precursor step may end in.
    Short blueNow = Delta<Law>(0), redNow = Delta<Law>(1);

    explicit Plan(const Chain& chain);

    // A precursor game from count c into out: its small win, then the end
    // (into the futures of Blue7 and Red7 after it) or another step (into
    // next).
    void PrecursorStep(int c, const Short* next, const Short& blueAfter, const Short& redAfter, Short& out,
                       Short& inner) const {
        inner.Clear();
        const double end = k.d.PrecursorEnd(c);
        inner.Add(blueAfter, end * (1 - k.red));
        inner.Add(redAfter, end * k.red);
        if (c + 1 < kLawCounts && next) inner.Add(*next, 1 - end);
        out.Clear();
        inner.Tighten();
        for (int n = 0; n < kNetSlots; ++n) {
            const double w = k.win[static_cast<std::size_t>(n)];
            const int shift = n - 3;
            const int from = std::max(inner.lo, kShortLo - shift), to = std::min(inner.hi, kShortHi - shift);
            if (w == 0 || to <= from) continue;
            out.Cover(from + shift, to + shift);
            Axpy(out.Row(from + shift), inner.Row(from), w, static_cast<std::ptrdiff_t>(to - from) * Law::kAfter);
        }
        out.Tighten();
        if constexpr (Law::kRunningMin) FoldAtZero(out);
    }

    // What mode m's game adds of the futures of the precursor, Blue7 and
    // Red7 it may step into, onto `at`, the row of net 0.
    template <class Into>
    void AddSources(int m, const std::array<const Mixed*, 3>& src, Into at) const {
        const auto& tm = k.taps[static_cast<std::size_t>(m)];
        for (int j = 0; j < 3; ++j) {
            const Mixed& from = *src[static_cast<std::size_t>(j)];
            for (const auto& [v, w] : tm[static_cast<std::size_t>(Precursor + j)]) {
                Axpy(at + static_cast<std::ptrdiff_t>(from.lo + v) * kW, from.Row(from.lo), w,
                     static_cast<std::ptrdiff_t>(from.hi - from.lo) * kW);
            }
        }
    }
    // The nets [lo, hi) AddSources may write to; empty sources leave them.
    void SourceRows(int m, const std::array<const Mixed*, 3>& src, int& lo, int& hi) const {
        const auto& tm = k.taps[static_cast<std::size_t>(m)];
        for (int j = 0; j < 3; ++j) {
            const Mixed& from = *src[static_cast<std::size_t>(j)];
            if (from.hi <= from.lo) continue;
            for (const auto& [v, w] : tm[static_cast<std::size_t>(Precursor + j)]) {
                lo = std::min(lo, from.lo + v);
                hi = std::max(hi, from.hi + v);
            }
        }
    }

    template <class ByCount>
    void MixByEvents(const ByCount& at, Mixed& out) const {
        out = {};
        for (int kb = 0; kb < kBBKinds; ++kb)
            for (int c = 0; c < kLawCounts; ++c) {
                const double w = k.events[static_cast<std::size_t>(kb)][static_cast<std::size_t>(c)];
                if (w == 0) continue;
                const Short& s = at(c);
                for (int x = s.lo; x < s.hi; ++x)
                    for (int ka = 0; ka < Law::kAfter; ++ka) out.Row(x)[Lane<Law>(kb, ka)] += w * s.At(x, ka);
            }
        out.Tighten();
    }

    static const Plan& ForSetting(int setting) {
        static std::array<std::once_flag, kMaxSetting> once;
        static std::array<std::unique_ptr<Plan>, kMaxSetting> plans;
        const auto si = static_cast<std::size_t>(setting - 1);
        std::call_once(once[si], [&] { plans[si] = std::make_unique<Plan>(Chain::ForSetting(setting)); });
        return *plans[si];
    }
};

template <class Law>
Plan<Law>::Plan(const Chain& chain) : k(chain) {
    Plan& p = *this;
    // Precursor futures with no ceiling ahead, from count 31 down.
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
        coin.At(0, Law::After(0)) += 0.5;
        coin.Tighten();
    }
    p.MixByEvents([&](int c) -> const Short& { return p.preFar[static_cast<std::size_t>(c)]; }, p.preFarMixed);
    p.MixByEvents([&](int c) -> const Short& { return p.coin[static_cast<std::size_t>(c)]; }, p.coinMixed);
    for (int kb = 0; kb < kBBKinds; ++kb) {
        p.blueMixed.Row(0)[Lane<Law>(kb, Law::After(0))] = k.eventTotal[static_cast<std::size_t>(kb)];
        p.redMixed.Row(0)[Lane<Law>(kb, Law::After(1))] = k.eventTotal[static_cast<std::size_t>(kb)];
    }
    p.blueMixed.Tighten();
    p.redMixed.Tighten();
    for (int m = 0; m < kOrdinaryModes; ++m) {
        Mixed& f = p.sourceFar[static_cast<std::size_t>(m)];
        p.AddSources(m, {&p.preFarMixed, &p.blueMixed, &p.redMixed}, f.Row(0));
        f.Tighten();
    }
}

// The recursion itself, counter by counter from the top, for a law of
// either kind.
template <class Law>
struct Recursion {
    using Short = ShortPmf<Law::kAfter>;
    using Mixed = ShortPmf<kWidth<Law>>;
    using Buffer = typename Work<Law>::Buffer;
    static constexpr int kW = kWidth<Law>;
    const Plan<Law>& k;
    const Chain& chain;
    std::unique_ptr<Work<Law>> w;
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
    std::int32_t at = kMaxGamesSinceBB;    // the counter
    double reach = 0;

    explicit Recursion(int setting) : k(Plan<Law>::ForSetting(setting)), chain(k.k), w(WorkPool<Law>::Shared().Take()) {
        g = w->buffers[0].rows;
        gNext = w->buffers[1].rows;
    }
    ~Recursion() {
        // Back to the pool with every row it wrote at zero.
        for (Buffer& b : w->buffers) {
            if (b.usedHi > b.usedLo)
                for (int m = 0; m < kOrdinaryModes; ++m)
                    std::fill(Long(b.rows, m, b.usedLo), Long(b.rows, m, b.usedHi), 0.0);
            // What was written lies in the rows Clean zeroed, so those
            // are all zero again; the rest was never touched.
            b.usedLo = b.usedHi = 0;
        }
        WorkPool<Law>::Shared().Give(std::move(w));
    }
    Recursion(const Recursion&) = delete;
    Recursion& operator=(const Recursion&) = delete;

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
        return base + (static_cast<std::ptrdiff_t>(mode) * kLongRows + (x - kLongLo + kPad)) * kW;
    }

    // One counter down: the four steps in order.
    // With law false the law at the counter is left in its parts: the
    // ordinary modes' futures and the short ones', which ahead weighs.
    void StepDown(std::int32_t t, bool law = true) {
        StepPrecursors(t);
        if (t >= kCeilingGames) {
            lo = hi = 0;  // past the ceiling no ordinary mode is left
        } else if (t == kCeilingGames - 1) {
            StartAtCeiling();
        } else {
            PushOrdinary(t);
        }
        if (law) {
            GatherShorts(t);
            GatherSum();
        } else {
            at = t;
            reach = chain.ahead[static_cast<std::size_t>(t)].reach;
        }
    }
    void StepPrecursors(std::int32_t t);
    void StartAtCeiling();
    void PushOrdinary(std::int32_t t);
    void FoldOrdinary(double* out, int newHi);
    void DropTailsAndTurn(int newLo, int newHi);
    void GatherShorts(std::int32_t t);
    void GatherSum();
    // The ordinary modes' weights by lane at the counter, times f.
    std::array<double, kOrdinaryModes * kW> Weights(double f) const {
        const Chain::Ahead& a = chain.ahead[static_cast<std::size_t>(at)];
        std::array<double, kOrdinaryModes * kW> w{};
        for (int m = 0; m < kOrdinaryModes; ++m)
            for (int kb = 0; kb < kBBKinds; ++kb)
                for (int ka = 0; ka < Law::kAfter; ++ka)
                    w[static_cast<std::size_t>(m * kW + Lane<Law>(kb, ka))] =
                        a.ord[static_cast<std::size_t>(kb)][static_cast<std::size_t>(m)] * f;
        return w;
    }
};

// Precursor futures at t, from those at t + 1.
template <class Law>
void Recursion<Law>::StepPrecursors(std::int32_t t) {
    preNext = preNow;
    const Short &blueNow = k.blueNow, &redNow = k.redNow;
    bool anyNear = false;
    for (int c = kLawCounts - 1; c >= 0; --c) {
        const auto cc = static_cast<std::size_t>(c);
        if (t >= kCeilingGames || t + (kLawCounts - c) + 1 < kCeilingGames) {
            preNow[cc] = &k.preFar[cc];
        } else if (t == kCeilingGames - 1) {
            preNow[cc] = &k.coin[cc];
        } else {
            // The ceiling's game lies within this precursor's reach; the BB
            // after an end in game t + 1 falls on it when t + 1 is 1499.
            const bool coinNext = t + 1 == kCeilingGames - 1;
            Short& s = w->near[static_cast<std::size_t>(nearTurn)][cc];
            k.PrecursorStep(c, c + 1 < kLawCounts ? preNext[cc + 1] : nullptr, coinNext ? k.coin[0] : blueNow,
                            coinNext ? k.coin[0] : redNow, s, w->scratch);
            preNow[cc] = &s;
            anyNear = true;
        }
    }
    if (anyNear) nearTurn ^= 1;
}

// Whatever the mode, game 1500 is the ceiling's.
template <class Law>
void Recursion<Law>::StartAtCeiling() {
    const Mixed& coin = k.coinMixed;
    lo = kShortLo - kLongLo;
    hi = kShortHi - kLongLo;
    for (Buffer& b : w->buffers) Clean(b, kShortLo - kPad, kShortHi + kPad);
    nextDirtyLo = nextDirtyHi = 0;
    for (int m = 0; m < kOrdinaryModes; ++m)
        for (int x = kShortLo; x < kShortHi; ++x) std::memcpy(Long(g, m, x), coin.Row(x), sizeof(double) * kW);
}

// The ordinary modes' futures at t, one game before those at t + 1: each
// mode's game shifts the futures of the modes it steps to by its small
// win's net, and adds those of the precursor, Blue7 and Red7 it may step
// into.
template <class Law>
void Recursion<Law>::PushOrdinary(std::int32_t t) {
    // Sources at t + 1 other than the ordinary modes: the precursor
    // (entered with the count carried), Blue7 and Red7.
    const bool coinNext = t + 1 == kCeilingGames - 1;
    const bool farNext = t + 1 + kLawCounts + 1 < kCeilingGames;
    if (!farNext)
        k.MixByEvents([&](int c) -> const Short& { return *preNext[static_cast<std::size_t>(c)]; }, w->preNearMixed);
    const Mixed& pre = farNext ? k.preFarMixed : w->preNearMixed;
    const Mixed& blue7 = coinNext ? k.coinMixed : k.blueMixed;
    const Mixed& red7 = coinNext ? k.coinMixed : k.redMixed;
    const bool sameSources = farNext && !coinNext;
    const int oldLo = lo + kLongLo, oldHi = hi + kLongLo;  // as nets
    // The rows this step may fill: those a game's shift (-3 to 7) takes
    // the law to, and those the sources reach.
    int srcLo = kLongHi, srcHi = kLongLo;
    for (int m = 0; m < kOrdinaryModes; ++m) {
        if (sameSources) {
            const Mixed& from = k.sourceFar[static_cast<std::size_t>(m)];
            if (from.hi <= from.lo) continue;
            srcLo = std::min(srcLo, from.lo);
            srcHi = std::max(srcHi, from.hi);
        } else {
            k.SourceRows(m, {&pre, &blue7, &red7}, srcLo, srcHi);
        }
    }
    const bool some = hi > lo;
    int newLo = std::min(some ? oldLo - 3 : kLongHi, srcLo);
    const int newHi = std::max(newLo, std::min(std::max(some ? oldHi + 7 : kLongLo, srcHi), kLongHi));
    // FusedRows takes four doubles at a time: two-lane rows in pairs.
    if constexpr (kW * 2 == 4)
        if ((newHi - newLo) % 2 != 0) --newLo;
    double* out = gNext;
    // What this step reads of g and writes of out is zero or in use.
    Clean(w->buffers[static_cast<std::size_t>(current)], newLo - kPad, newHi + kPad);
    Clean(w->buffers[static_cast<std::size_t>(current ^ 1)], newLo - kPad, newHi + kPad);
    for (int m = 0; m < kOrdinaryModes; ++m) {
        // Row y of mode m takes row y - v of each ordinary mode.
        std::array<Tap, 3 * kNetSlots> taps{};
        int count = 0;
        const auto& tm = chain.taps[static_cast<std::size_t>(m)];
        for (int to = 0; to < kOrdinaryModes; ++to)
            for (const auto& [v, f] : tm[static_cast<std::size_t>(to)])
                taps[static_cast<std::size_t>(count++)] = {Long(g, to, newLo - v) - Long(g, 0, newLo), f};
        FusedRows(Long(out, m, newLo), Long(g, 0, newLo), taps.data(), count, (newHi - newLo) * kW / 4);
        if (sameSources) {
            const Mixed& from = k.sourceFar[static_cast<std::size_t>(m)];
            Axpy(Long(out, m, from.lo), from.Row(from.lo), 1.0, static_cast<std::ptrdiff_t>(from.hi - from.lo) * kW);
        } else {
            k.AddSources(m, {&pre, &blue7, &red7}, Long(out, m, 0));
        }
    }
    if constexpr (Law::kRunningMin) FoldOrdinary(out, newHi);
    DropTailsAndTurn(newLo, newHi);
}

// The running minimum: what a game's shift took above 0 is at 0.
template <class Law>
void Recursion<Law>::FoldOrdinary(double* out, int newHi) {
    for (int m = 0; m < kOrdinaryModes; ++m) {
        double* zero = Long(out, m, 0);
        for (int x = 1; x < newHi; ++x) {
            double* r = Long(out, m, x);
            for (int l = 0; l < kW; ++l) {
                zero[l] += r[l];
                r[l] = 0;
            }
        }
    }
}

// Drops the rows of the new futures (written to gNext over [newLo,
// newHi)) that no longer matter, adds up what they held, and makes them
// the current ones.
template <class Law>
void Recursion<Law>::DropTailsAndTurn(int newLo, int newHi) {
    double* out = gNext;
    const auto negligible = [&](int x) {
        for (int m = 0; m < kOrdinaryModes; ++m) {
            const double* r = Long(out, m, x);
            for (int l = 0; l < kW; ++l)
                if (r[l] > kDropped) return false;
        }
        return true;
    };
    int keepLo = newLo, keepHi = newHi;
    while (keepLo < keepHi && negligible(keepLo)) ++keepLo;
    while (keepHi > keepLo && negligible(keepHi - 1)) --keepHi;
    // The chance dropped: each (mode, lane) law loses at most what its
    // own rows held, and a game's step passes on no more than it gets.
    std::array<double, kOrdinaryModes * kW> gone{};
    const auto drop = [&](int from, int to) {
        for (int m = 0; m < kOrdinaryModes; ++m)
            for (int x = from; x < to; ++x)
                for (int l = 0; l < kW; ++l) gone[static_cast<std::size_t>(m * kW + l)] += Long(out, m, x)[l];
    };
    drop(newLo, keepLo);
    drop(std::max(keepLo, keepHi), newHi);
    dropped += *std::max_element(gone.begin(), gone.end());
    // Zero what was dropped and whatever an earlier step left in this
    // buffer, so that only [keepLo, keepHi) holds anything.
    const int dirtyLo = std::min(newLo, nextDirtyLo), dirtyHi = std::max(newHi, nextDirtyHi);
    if (keepHi > keepLo) {
        for (int m = 0; m < kOrdinaryModes; ++m) {
            std::fill(Long(out, m, dirtyLo), Long(out, m, keepLo), 0.0);
            std::fill(Long(out, m, keepHi), Long(out, m, dirtyHi), 0.0);
        }
    } else {
        for (int m = 0; m < kOrdinaryModes; ++m) std::fill(Long(out, m, dirtyLo), Long(out, m, dirtyHi), 0.0);
    }
    nextDirtyLo = lo + kLongLo;  // the buffer about to become the next output
    nextDirtyHi = hi + kLongLo;
    lo = keepLo - kLongLo;
    hi = keepHi - kLongLo;
    std::swap(g, gNext);
    current ^= 1;
}

// The precursor, Blue7 and Red7 at counter t, count by count, weighed by
// where the forward law has them.
template <class Law>
void Recursion<Law>::GatherShorts(std::int32_t t) {
    at = t;
    const Chain::Ahead& a = chain.ahead[static_cast<std::size_t>(t)];
    reach = a.reach;
    const bool coinNow = t == kCeilingGames - 1;
    Short& shorts = w->shorts;
    shorts.Clear();
    shorts.Cover(0, 1);
    for (int c = 0; c < kLawCounts; ++c) {
        const auto cc = static_cast<std::size_t>(c);
        shorts.Add(*preNow[cc], a.pre[cc]);
        if (coinNow) {
            shorts.Add(k.coin[cc], a.blue7[cc] + a.red7[cc]);
        } else {
            shorts.At(0, Law::After(0)) += a.blue7[cc];
            shorts.At(0, Law::After(1)) += a.red7[cc];
        }
    }
}

// The law at the counter, by the kind of the BB after: the ordinary modes
// weighed by where the forward law has them, then the short ones.
template <class Law>
void Recursion<Law>::GatherSum() {
    const Chain::Ahead& a = chain.ahead[static_cast<std::size_t>(at)];
    const int gLo = lo + kLongLo, gHi = hi + kLongLo;
    sumLo = hi > lo ? std::min(gLo, kShortLo) : kShortLo;
    sumHi = hi > lo ? std::max(gHi, kShortHi) : kShortHi;
    const auto rows = static_cast<std::size_t>(sumHi - sumLo);
    for (auto& s : w->sum) {
        s.resize(rows);
        // MixModes writes the ordinary modes' rows; the rest starts at 0.
        if (hi > lo) {
            std::fill(s.begin(), s.begin() + (gLo - sumLo), 0.0);
            std::fill(s.begin() + (gHi - sumLo), s.end(), 0.0);
        } else {
            std::fill(s.begin(), s.end(), 0.0);
        }
    }
    const double inv = 1.0 / a.reach;
    if (hi > lo) {
        const auto f = Weights(inv);
        if constexpr (Law::kAfter == 2)
            MixModes(w->sum[0].data() + (gLo - sumLo), w->sum[1].data() + (gLo - sumLo), Long(g, 0, gLo),
                     kLongRows * kW, f.data(), gHi - gLo);
        else
            MixModes2(w->sum[0].data() + (gLo - sumLo), Long(g, 0, gLo), kLongRows * kW, f.data(), gHi - gLo);
    }
    const Short& shorts = w->shorts;
    for (int x = shorts.lo; x < shorts.hi; ++x)
        for (int ka = 0; ka < Law::kAfter; ++ka)
            w->sum[static_cast<std::size_t>(ka)][static_cast<std::size_t>(x - sumLo)] += inv * shorts.At(x, ka);
}

// The BBs' CDFs from Highest() down, as BBNetLaw keeps them, with ones
// before and zeros after: sums far from the kept part read them without a
// test. Built once per setting.
struct PaddedBB {
    static constexpr std::ptrdiff_t kPadded = 8192;
    std::array<std::vector<double>, kBBKinds> q;

    static const PaddedBB& ForSetting(int setting) {
        static std::array<std::once_flag, kMaxSetting> once;
        static std::array<PaddedBB, kMaxSetting> all;
        const auto si = static_cast<std::size_t>(setting - 1);
        std::call_once(once[si], [&] {
            for (int k = 0; k < kBBKinds; ++k) {
                const std::vector<double>& r = BBNetLaw::ForSetting(setting)[static_cast<std::size_t>(k)].Reversed();
                std::vector<double>& q = all[si].q[static_cast<std::size_t>(k)];
                q.assign(r.size() + 2 * kPadded, 0.0);
                std::fill(q.begin(), q.begin() + kPadded, 1.0);
                std::copy(r.begin(), r.end(), q.begin() + kPadded);
            }
        });
        return all[si];
    }
};

}  // namespace

struct NetLawByCount::Impl : Recursion<SumLaw> {
    const BBNetLaw& blue;
    const BBNetLaw& redLaw;
    const PaddedBB& padded;
    explicit Impl(const StateDynamics& d)
        : Recursion(d.Setting()),
          blue(BBNetLaw::ForSetting(d.Setting())[0]),
          redLaw(BBNetLaw::ForSetting(d.Setting())[1]),
          padded(PaddedBB::ForSetting(d.Setting())) {}
};

NetLawByCount::NetLawByCount(const StateDynamics& d) : p_(std::make_unique<Impl>(d)) {}

NetLawByCount::~NetLawByCount() = default;

double NetLawByCount::Reach() const { return p_->reach; }

double NetLawByCount::Dropped() const { return p_->dropped; }

void NetLawByCount::StepDown() { p_->StepDown(--t_); }

struct MinLawByCount::Impl : Recursion<MinLaw> {
    Impl(int setting, bool keep) : Recursion(setting), law(keep) {}
    bool law;
    // The expected purchases of each precursor count's future far from the
    // ceiling and at its coin, at the held and lend last asked.
    mutable double farHeld = std::numeric_limits<double>::quiet_NaN(), farLend = farHeld;
    mutable std::array<double, kLawCounts> farPurchases{}, coinPurchases{};
    mutable std::vector<std::int64_t> levels;  // of purchases 1, 2, ...
};

MinLawByCount::MinLawByCount(const StateDynamics& d, bool law) : p_(std::make_unique<Impl>(d.Setting(), law)) {}

MinLawByCount::~MinLawByCount() = default;

double MinLawByCount::Dropped() const { return p_->dropped; }

void MinLawByCount::StepDown() { p_->StepDown(--t_, p_->law); }

double MinLawByCount::Below(std::int64_t y) const {
    const Impl& p = *p_;
    if (!p.law) throw std::logic_error("the lowest balance's law was not kept");
    const std::vector<double>& s = p.w->sum[0];
    double total = 0;
    for (std::int64_t x = p.sumLo; x < std::min<std::int64_t>(y, p.sumHi); ++x)
        total += s[static_cast<std::size_t>(x - p.sumLo)];
    return total;
}

double MinLawByCount::ExpectedPurchases(double held, double lend) const {
    const Impl& p = *p_;
    // P >= k when the lowest is below 3 - held - (k - 1) lend, an integer
    // below its ceiling: a lowest between the levels k + 1 and k makes k
    // purchases, so each band of the law counts k times its chance.
    const auto level = [&](int k) { return static_cast<std::int64_t>(std::ceil(3.0 - held - (k - 1) * lend)); };
    if (!p.law) {
        // From the law's parts: each band's chance is the ordinary modes'
        // rows in it summed by mode and lane, weighed; the short ones'
        // purchases are those of the precursor by count and of Blue7 and
        // Red7, weighed (far from the ceiling the same every counter).
        if (p.farHeld != held || p.farLend != lend) {
            // The levels from the first purchase's down past the lowest
            // balance any stretch reaches.
            p.levels.clear();
            for (int k = 1; p.levels.empty() || p.levels.back() > kLongLo; ++k) p.levels.push_back(level(k));
        }
        const auto& levels = p.levels;
        // Each band between levels k + 1 and k of rows [lo, hi) counts k
        // times what sum(from, to) gives for its rows.
        const auto purchases = [&](std::int64_t lo, std::int64_t hi, const auto& sum) {
            std::size_t k = 1;
            while (k < levels.size() && levels[k] > lo) ++k;
            for (std::int64_t x0 = lo; k >= 1 && x0 < hi; --k) {
                const std::int64_t x1 = std::clamp<std::int64_t>(levels[k - 1], x0, hi);
                if (x1 > x0) sum(static_cast<double>(k), x0, x1);
                x0 = x1;
            }
        };
        const auto weighed = [&](const Recursion<MinLaw>::Short& s) {
            double total = 0;
            purchases(s.lo, s.hi, [&](double k, std::int64_t x0, std::int64_t x1) {
                total += k * SumOf(s.Row(static_cast<int>(x0)), x1 - x0);
            });
            return total;
        };
        if (p.farHeld != held || p.farLend != lend) {
            for (int c = 0; c < kLawCounts; ++c) {
                p.farPurchases[static_cast<std::size_t>(c)] = weighed(p.k.preFar[static_cast<std::size_t>(c)]);
                p.coinPurchases[static_cast<std::size_t>(c)] = weighed(p.k.coin[static_cast<std::size_t>(c)]);
            }
            p.farHeld = held;
            p.farLend = lend;
        }
        const Chain::Ahead& ahead = p.chain.ahead[static_cast<std::size_t>(p.at)];
        const bool coinNow = p.at == kCeilingGames - 1;
        int atZero = 0;  // the purchases of a lowest of 0
        while (static_cast<std::size_t>(atZero) < levels.size() && levels[static_cast<std::size_t>(atZero)] > 0)
            ++atZero;
        double shorts = 0;
        for (int c = 0; c < kLawCounts; ++c) {
            const auto cc = static_cast<std::size_t>(c);
            const auto* pre = p.preNow[cc];
            shorts += ahead.pre[cc] * (pre == &p.k.preFar[cc] ? p.farPurchases[cc] : weighed(*pre));
            shorts += (ahead.blue7[cc] + ahead.red7[cc]) * (coinNow ? p.coinPurchases[cc] : atZero);
        }
        const double inv = 1.0 / p.reach;
        double total = inv * shorts;
        if (p.hi > p.lo) {
            const int gLo = p.lo + kLongLo, gHi = p.hi + kLongLo;
            const auto f = p.Weights(inv);
            purchases(gLo, gHi, [&](double k, std::int64_t x0, std::int64_t x1) {
                std::array<double, kOrdinaryModes * kWidth<MinLaw>> sums{};
                ColumnSums2(Impl::Long(p.g, 0, static_cast<int>(x0)), kLongRows * kWidth<MinLaw>, x1 - x0, sums.data());
                double band = 0;
                for (std::size_t i = 0; i < sums.size(); ++i) band += f[i] * sums[i];
                total += k * band;
            });
        }
        return total;
    }
    const std::vector<double>& s = p.w->sum[0];
    int k = 1;
    while (level(k + 1) > p.sumLo) ++k;
    double total = 0;
    for (std::int64_t from = p.sumLo; k >= 1; --k) {
        const std::int64_t to = std::clamp<std::int64_t>(level(k), from, p.sumHi);
        total += k * SumOf(s.data() + (from - p.sumLo), to - from);
        from = to;
    }
    return total;
}

double NetLawByCount::Cdf(std::int64_t y) const {
    double v = 0;
    Cdfs(y, 1, &v);
    return v;
}

void NetLawByCount::Cdfs(std::int64_t from, int n, double* out) const {
    CdfsOver(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max(), from, n, out);
}

std::int64_t NetLawByCount::LowestSum() const { return p_->sumLo; }

void NetLawByCount::CdfsOver(std::int64_t sFrom, std::int64_t sTo, std::int64_t from, int n, double* out) const {
    if (n < 1 || n > kMostCdfs) throw std::invalid_argument("Cdfs takes 1 to 4 nets");
    const Impl& p = *p_;
    std::fill(out, out + n, 0.0);
    for (int k = 0; k < SumLaw::kAfter; ++k) {
        const BBNetLaw& bb = k == 0 ? p.blue : p.redLaw;
        const std::vector<double>& s = p.w->sum[static_cast<std::size_t>(k)];
        // The sums asked for, as indices.
        const std::int64_t lo = std::clamp<std::int64_t>(sFrom, p.sumLo, p.sumHi) - p.sumLo;
        const std::int64_t hi = std::max(lo, std::clamp<std::int64_t>(sTo, p.sumLo, p.sumHi) - p.sumLo);
        // A sum x gives the BB's CDF at y - x: 1 where y - x is past the
        // kept part, 0 below its lowest net, the kept value between, which
        // in the reversed array lies at x - (y - Highest()): for the sum at
        // index i and y = from + j, at r[i - j].
        const std::int64_t base = from - bb.Highest();
        const double* r = bb.Reversed().data() + (p.sumLo - base);
        const auto ones = [&](int j) { return std::clamp<std::int64_t>(base + j - p.sumLo, lo, hi); };
        const auto end = [&](int j) { return std::clamp<std::int64_t>(from + j - bb.Lowest() + 1 - p.sumLo, lo, hi); };
        // Where every y of the range takes the kept part, in one pass.
        const std::int64_t a = ones(n - 1), b = std::max(a, end(0));
        ShiftedDots(s.data() + a, r + a, b - a, n, out);
        for (int j = 0; j < n; ++j) {
            // Sums whose BB CDF is 1: none while the BB's kept part is
            // wider than the sums' range, as it is.
            for (std::int64_t i = lo; i < ones(j); ++i) out[j] += s[static_cast<std::size_t>(i)];
            for (std::int64_t i = ones(j); i < std::min(a, end(j)); ++i)
                out[j] += s[static_cast<std::size_t>(i)] * r[i - j];
            for (std::int64_t i = std::max(b, ones(j)); i < end(j); ++i)
                out[j] += s[static_cast<std::size_t>(i)] * r[i - j];
        }
    }
}

void NetLawByCount::CdfsInBands(const std::vector<SumBand>& bands, const std::int64_t* from, int windows,
                                bool lastAlone, double* out) const {
    if (windows < 1 || windows > kMostWindows) throw std::invalid_argument("CdfsInBands takes 1 to 3 windows");
    static_assert(kMostCdfs == kWindowNets);
    const Impl& p = *p_;
    std::fill(out, out + bands.size() * static_cast<std::size_t>(windows) * kMostCdfs, 0.0);
    std::vector<BandWindows> spans(bands.size());
    for (int k = 0; k < SumLaw::kAfter; ++k) {
        const BBNetLaw& bb = k == 0 ? p.blue : p.redLaw;
        const std::vector<double>& q = p.padded.q[static_cast<std::size_t>(k)];
        // The sum at index i and the net y meet the BB's CDF at y - x,
        // which the padded array holds at x - y + Highest() + kPadded.
        for (std::size_t b = 0; b < bands.size(); ++b) {
            BandWindows& span = spans[b];
            span.from = std::clamp<std::int64_t>(bands[b].lo, p.sumLo, p.sumHi) - p.sumLo;
            span.to =
                std::max<std::int64_t>(span.from, std::clamp<std::int64_t>(bands[b].hi, p.sumLo, p.sumHi) - p.sumLo);
            for (int w = 0; w < windows; ++w)
                span.at[static_cast<std::size_t>(w)] =
                    p.sumLo + span.from - from[b * static_cast<std::size_t>(windows) + static_cast<std::size_t>(w)] +
                    bb.Highest() + PaddedBB::kPadded;
        }
        WindowDots(p.w->sum[static_cast<std::size_t>(k)].data(), q.data(), static_cast<std::ptrdiff_t>(q.size()),
                   static_cast<std::ptrdiff_t>(bb.Reversed().size()) + PaddedBB::kPadded, spans.data(),
                   static_cast<int>(spans.size()), windows, lastAlone, out);
    }
}

double NetLawByCount::Mean() const {
    const Impl& p = *p_;
    double total = 0;
    for (int x = p.sumLo; x < p.sumHi; ++x) {
        const auto i = static_cast<std::size_t>(x - p.sumLo);
        total += p.w->sum[0][i] * (x + p.blue.Mean()) + p.w->sum[1][i] * (x + p.redLaw.Mean());
    }
    return total;
}

}  // namespace morvane
