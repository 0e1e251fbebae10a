#pragma once
// The pieces the law of the net by counter is made of: the pmfs it steps,
// the loops its whole cost lies in, and the storage it steps in. Shared by
// the recursions in net_law_by_count.cpp alone.
//
// A long pmf holds the ordinary modes' law over every net a stretch can
// reach, row by row; a short pmf holds what a precursor,
// Blue7 or Red7 adds: at most 32 games, or two precursors around the
// ceiling's coin.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "model/state.h"

namespace morvane::netlaw {

// to[i] += f * from[i].
void Axpy(double* __restrict to, const double* __restrict from, double f, std::ptrdiff_t n);
// The sum of x[i], i < n.
double SumOf(const double* x, std::ptrdiff_t n);

// What a recursion follows backwards, game by game from the last possible
// one. The pre-BB sum: a game adds its small win's net x to the sum s after
// it, x + s, kept apart by the kind of the BB that ends the stretch (whose
// own net is added at the end).
struct SumLaw {
    static constexpr int kAfter = 2;  // lanes by the kind after: blue, red
    static constexpr bool kRunningMin = false;
    static constexpr int After(int kind) { return kind; }
};
// The lowest pre-game balance before the BB game, 0 included: a game before
// a future whose lowest is m has min(0, x + m), the shift of the sum
// folded at 0. What buying medals costs hangs on it alone, whatever the BB.
struct MinLaw {
    static constexpr int kAfter = 1;
    static constexpr bool kRunningMin = true;
    static constexpr int After(int) { return 0; }
};
// A long row's lanes: by the kind of the BB before (whose long-run weights
// mix the precursor counts), then by the kind after.
template <class Law>
constexpr int kWidth = kBBKinds* Law::kAfter;
template <class Law>
constexpr int Lane(int kindBefore, int kindAfter) {
    return kindBefore * Law::kAfter + kindAfter;
}

// Nets of a small win, -3..7, by net + 3.
constexpr int kNetSlots = 11;

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
// Folds the rows above 0 into row 0: the running minimum after a shift.
template <int kWide>
void FoldAtZero(ShortPmf<kWide>& s) {
    if (s.hi <= 1) return;
    s.Cover(0, 1);
    for (int x = 1; x < s.hi; ++x)
        for (int l = 0; l < kWide; ++l) {
            s.At(0, l) += s.At(x, l);
            s.At(x, l) = 0;
        }
    s.Tighten();
}

// The BB game of a kind next: nothing more to add.
template <class Law>
ShortPmf<Law::kAfter> Delta(int kind) {
    ShortPmf<Law::kAfter> s;
    s.At(0, Law::After(kind)) = 1.0;
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

// out row r (four doubles) = the sum over taps of w times the input row at
// offset, r rows on. The recursion's whole cost is here. Rows of two lanes
// go through it two at a time.
struct Tap {
    std::ptrdiff_t offset;  // in doubles
    double w;
};
void FusedRows(double* out, const double* in, const Tap* taps, int count, std::ptrdiff_t rows);

// The ordinary modes' rows mixed into the pre-BB sum by the kind after:
// s0[i] = sum over modes m of w[m][lane] * in[m][i][lane] over the lanes
// of a blue BB after, s1 over those of a red one.
void MixModes(double* __restrict s0, double* __restrict s1, const double* __restrict in, std::ptrdiff_t modeStride,
              const double* w, int rows);

// s[i] = the sum over modes m and both lanes l of w[m][l] * in[m][i][l]:
// the two-lane rows of the running minimum mixed into one law.
void MixModes2(double* __restrict s, const double* __restrict in, std::ptrdiff_t modeStride, const double* w, int rows);

// sums[m * 2 + l] = the sum over rows i < rows of in[m * modeStride + i * 2
// + l]: two-lane rows summed by mode and lane.
void ColumnSums2(const double* in, std::ptrdiff_t modeStride, std::ptrdiff_t rows, double* sums);

// acc[j] += sum over i < n of s[i] * r[i - j], for j < count (at most 4):
// a sums vector against the BB's reversed CDF at neighbouring nets, each
// sums element loaded once.
void ShiftedDots(const double* s, const double* r, std::ptrdiff_t n, int count, double* acc);

// A band of sums [from, to) (indices into the sums vector) and, for each of
// its windows, where the first sum meets the BB's padded CDF.
constexpr int kWindowNets = 4;
constexpr int kMostWindows = 3;
struct BandWindows {
    std::ptrdiff_t from = 0, to = 0;
    std::array<std::ptrdiff_t, kMostWindows> at{};
};
// For each band b, window w < windows and j < kWindowNets:
// out[(b * windows + w) * kWindowNets + j] += the sum over its sums i of
// s[i] * q[i - from + at[w] - j], where q reads 1 below its start and 0 from
// len on, and holds only 0 from `zeros` on; when lastAlone, the last window
// takes j = 0 alone. Every band and window in one pass over the sums, each
// sum loaded once and the nets of a window taken as one vector; sums that
// meet only zeros are left out.
void WindowDots(const double* s, const double* q, std::ptrdiff_t len, std::ptrdiff_t zeros, const BandWindows* bands,
                int count, int windows, bool lastAlone, double* out);

// Storage for one law's steps, kept between laws so that its pages are not
// faulted in and zeroed afresh each time: a law gives it back with the
// rows its buffers were known to hold zero or in use all at zero.
template <class Law>
struct Work {
    using Short = ShortPmf<Law::kAfter>;
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
    ShortPmf<kWidth<Law>> preNearMixed;
    Short scratch, shorts;  // for PrecursorStep and StepDown
    // The pmf at the current counter, by the kind after.
    std::array<std::vector<double>, Law::kAfter> sum;

    Work() {
        for (Buffer& b : buffers) {
            constexpr std::size_t kAlign = 64 / sizeof(double);
            b.store.reset(new double[static_cast<std::size_t>(kOrdinaryModes) * kLongRows * kWidth<Law> + kAlign]);
            const auto at = reinterpret_cast<std::uintptr_t>(b.store.get());
            b.rows = b.store.get() + (kAlign - at / sizeof(double) % kAlign) % kAlign;
        }
    }
};

template <class Law>
class WorkPool {
public:
    std::unique_ptr<Work<Law>> Take() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                std::unique_ptr<Work<Law>> w = std::move(free_.back());
                free_.pop_back();
                return w;
            }
        }
        return std::make_unique<Work<Law>>();
    }
    void Give(std::unique_ptr<Work<Law>> w) {
        const std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(std::move(w));
    }
    static WorkPool& Shared() {
        static WorkPool pool;
        return pool;
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Work<Law>>> free_;
};

}  // namespace morvane::netlaw
