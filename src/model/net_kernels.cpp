#include "model/net_kernels.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace morvane::netlaw {

// The hot loops are built twice, for any x86-64 and for AVX2 with FMA, and
// the loader picks the one the processor runs.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define MORVANE_WIDE __attribute__((target_clones("default", "arch=x86-64-v3")))
#else
#define MORVANE_WIDE
#endif

MORVANE_WIDE void Axpy(double* __restrict to, const double* __restrict from, double f, std::ptrdiff_t n) {
    for (std::ptrdiff_t i = 0; i < n; ++i) to[i] += f * from[i];
}

MORVANE_WIDE double SumOf(const double* x, std::ptrdiff_t n) {
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    V4 sum[2] = {};
    std::ptrdiff_t i = 0;
    for (; i + 8 <= n; i += 8)
        for (int u = 0; u < 2; ++u) {
            V4 v;
            std::memcpy(&v, x + i + 4 * u, sizeof v);
            sum[u] += v;
        }
    const V4 t = sum[0] + sum[1];
    double total = (t[0] + t[1]) + (t[2] + t[3]);
    for (; i < n; ++i) total += x[i];
    return total;
}

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

MORVANE_WIDE void MixModes(double* __restrict s0, double* __restrict s1, const double* __restrict in,
                           std::ptrdiff_t modeStride, const double* w, int rows) {
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    V4 wm[kOrdinaryModes];
    for (int m = 0; m < kOrdinaryModes; ++m) std::memcpy(&wm[m], w + m * kWidth<SumLaw>, sizeof(V4));
    for (int i = 0; i < rows; ++i) {
        V4 acc = {};
        for (int m = 0; m < kOrdinaryModes; ++m) {
            V4 x;
            std::memcpy(&x, in + m * modeStride + i * kWidth<SumLaw>, sizeof x);
            acc += wm[m] * x;
        }
        s0[i] = acc[Lane<SumLaw>(0, 0)] + acc[Lane<SumLaw>(1, 0)];
        s1[i] = acc[Lane<SumLaw>(0, 1)] + acc[Lane<SumLaw>(1, 1)];
    }
}

MORVANE_WIDE void MixModes2(double* __restrict s, const double* __restrict in, std::ptrdiff_t modeStride,
                            const double* w, int rows) {
    // Two rows of two lanes as one vector.
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    V4 wm[kOrdinaryModes];
    for (int m = 0; m < kOrdinaryModes; ++m) wm[m] = V4{w[m * 2], w[m * 2 + 1], w[m * 2], w[m * 2 + 1]};
    int i = 0;
    for (; i + 2 <= rows; i += 2) {
        V4 acc = {};
        for (int m = 0; m < kOrdinaryModes; ++m) {
            V4 x;
            std::memcpy(&x, in + m * modeStride + i * 2, sizeof x);
            acc += wm[m] * x;
        }
        s[i] = acc[0] + acc[1];
        s[i + 1] = acc[2] + acc[3];
    }
    for (; i < rows; ++i) {
        double acc = 0;
        for (int m = 0; m < kOrdinaryModes; ++m) {
            const double* x = in + m * modeStride + i * 2;
            acc += w[m * 2] * x[0] + w[m * 2 + 1] * x[1];
        }
        s[i] = acc;
    }
}

MORVANE_WIDE void ColumnSums2(const double* in, std::ptrdiff_t modeStride, std::ptrdiff_t rows, double* sums) {
    // Two rows of two lanes as one vector.
    typedef double V4 __attribute__((vector_size(4 * sizeof(double))));
    for (int m = 0; m < kOrdinaryModes; ++m) {
        const double* x = in + m * modeStride;
        V4 acc[2] = {};
        std::ptrdiff_t i = 0;
        for (; i + 4 <= rows; i += 4)
            for (int u = 0; u < 2; ++u) {
                V4 v;
                std::memcpy(&v, x + (i + 2 * u) * 2, sizeof v);
                acc[u] += v;
            }
        const V4 t = acc[0] + acc[1];
        double lane0 = t[0] + t[2], lane1 = t[1] + t[3];
        for (; i < rows; ++i) {
            lane0 += x[i * 2];
            lane1 += x[i * 2 + 1];
        }
        sums[m * 2] = lane0;
        sums[m * 2 + 1] = lane1;
    }
}

namespace {

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

// One band's windows: the sums whose every net reads q inside it as
// vectors, two sums at a time into sums of their own, the rest one by one;
// a window of one net (the last, when kAlone) as a dot product of the sums
// with q, four sums a vector.
template <int W, bool kAlone>
MORVANE_WIDE void WindowDotsOf(const double* __restrict s, const double* __restrict q, std::ptrdiff_t len,
                               std::ptrdiff_t zeros, const BandWindows* bands, int count, double* out) {
    typedef double V4 __attribute__((vector_size(kWindowNets * sizeof(double))));
    static_assert(kWindowNets == 4);
    constexpr int kFour = kAlone ? W - 1 : W;  // the windows of four nets
    const auto qAt = [&](std::ptrdiff_t i) { return i < 0 ? 1.0 : i >= len ? 0.0 : q[i]; };
    for (int b = 0; b < count; ++b) {
        const BandWindows& band = bands[b];
        // From the sum whose every net reads q's zeros, none adds anything.
        std::ptrdiff_t n = 0;
        for (int w = 0; w < W; ++w) n = std::max(n, zeros - band.at[static_cast<std::size_t>(w)] + (kWindowNets - 1));
        n = std::min(n, band.to - band.from);
        const double* x = s + band.from;
        double* o = out + static_cast<std::ptrdiff_t>(b) * W * kWindowNets;
        // Sums [a, e) read q at [i + at - 3, i + at] inside [0, len).
        std::ptrdiff_t a = 0, e = n;
        for (int w = 0; w < kFour; ++w) {
            a = std::max(a, kWindowNets - 1 - band.at[static_cast<std::size_t>(w)]);
            e = std::min(e, len - band.at[static_cast<std::size_t>(w)]);
        }
        a = std::min(a, n);
        e = std::max(e, a);
        const auto one = [&](std::ptrdiff_t i) {
            for (int w = 0; w < kFour; ++w)
                for (int j = 0; j < kWindowNets; ++j)
                    o[w * kWindowNets + j] += x[i] * qAt(i + band.at[static_cast<std::size_t>(w)] - j);
        };
        if constexpr (kFour > 0) {
            for (std::ptrdiff_t i = 0; i < a; ++i) one(i);
            // Four sums at a time, each into sums of its own: the multiply-adds
            // of one wait on none of the others'.
            V4 sum[4][kFour > 0 ? kFour : 1] = {};
            std::ptrdiff_t i = a;
            for (; i + 4 <= e; i += 4) {
                // The four sums loaded once, each spread over a vector by a
                // shuffle rather than loaded again.
                V4 xs;
                std::memcpy(&xs, x + i, sizeof xs);
                const V4 spread[4] = {
                    __builtin_shufflevector(xs, xs, 0, 0, 0, 0), __builtin_shufflevector(xs, xs, 1, 1, 1, 1),
                    __builtin_shufflevector(xs, xs, 2, 2, 2, 2), __builtin_shufflevector(xs, xs, 3, 3, 3, 3)};
                for (int u = 0; u < 4; ++u) {
                    const V4 xu = spread[u];
                    for (int w = 0; w < kFour; ++w) {
                        V4 y;
                        std::memcpy(&y, q + i + u + band.at[static_cast<std::size_t>(w)] - (kWindowNets - 1), sizeof y);
                        sum[u][w] += xu * y;
                    }
                }
            }
            for (; i < e; ++i) one(i);
            for (std::ptrdiff_t k = e; k < n; ++k) one(k);
            // Lane l holds the net j = 3 - l.
            for (int w = 0; w < kFour; ++w) {
                const V4 t = (sum[0][w] + sum[1][w]) + (sum[2][w] + sum[3][w]);
                for (int j = 0; j < kWindowNets; ++j) o[w * kWindowNets + j] += t[kWindowNets - 1 - j];
            }
        }
        if constexpr (kAlone) {
            const std::ptrdiff_t at = band.at[static_cast<std::size_t>(W - 1)];
            const std::ptrdiff_t lo = std::min(n, std::max<std::ptrdiff_t>(0, -at)),
                                 hi = std::max(lo, std::min(n, len - at));
            double total = 0;
            for (std::ptrdiff_t k = 0; k < lo; ++k) total += x[k];
            V4 dot[2] = {};
            std::ptrdiff_t k = lo;
            for (; k + 8 <= hi; k += 8)
                for (int u = 0; u < 2; ++u) {
                    V4 xs, qs;
                    std::memcpy(&xs, x + k + 4 * u, sizeof xs);
                    std::memcpy(&qs, q + k + 4 * u + at, sizeof qs);
                    dot[u] += xs * qs;
                }
            for (; k < hi; ++k) total += x[k] * q[k + at];
            const V4 d = dot[0] + dot[1];
            o[(W - 1) * kWindowNets] += total + ((d[0] + d[1]) + (d[2] + d[3]));
        }
    }
}

}  // namespace

void WindowDots(const double* s, const double* q, std::ptrdiff_t len, std::ptrdiff_t zeros, const BandWindows* bands,
                int count, int windows, bool lastAlone, double* out) {
    const auto run = [&](auto four, auto alone) {
        WindowDotsOf<decltype(four)::value, decltype(alone)::value>(s, q, len, zeros, bands, count, out);
    };
    using std::integral_constant;
    switch (windows * 2 + lastAlone) {
    case 2: return run(integral_constant<int, 1>(), std::false_type());
    case 3: return run(integral_constant<int, 1>(), std::true_type());
    case 4: return run(integral_constant<int, 2>(), std::false_type());
    case 5: return run(integral_constant<int, 2>(), std::true_type());
    case 6: return run(integral_constant<int, 3>(), std::false_type());
    default: return run(integral_constant<int, 3>(), std::true_type());
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

}  // namespace morvane::netlaw
