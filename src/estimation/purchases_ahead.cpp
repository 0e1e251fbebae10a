#include "estimation/purchases_ahead.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

#include "estimation/purchase_caps.h"
#include "estimation/purchase_game.h"
#include "estimation/purchase_values.h"
#include "estimation/row_ops.h"
#include "model/bb_net_law.h"
#include "model/precursor.h"

namespace morvane {
namespace {

constexpr int kStates = kModes * kLawCounts;
constexpr int Index(int mode, int count) { return mode * kLawCounts + count; }
// Games between two looks at `stop`.
constexpr std::int32_t kStopEvery = 64;

// Room either side of a row's medals, so that a game's shifts read zeros.
constexpr int kPad = 16;

// The mass of one hidden state by medals held, h = 0 .. width - 1: zero
// outside [lo, hi). The storage is made on first use and kept.
struct Row {
    int lo = 0, hi = 0;
    std::vector<double> p;
    bool Empty() const { return hi <= lo; }
    double* At(int h) { return p.data() + kPad + h; }
    const double* At(int h) const { return p.data() + kPad + h; }
    void Clear() {
        if (!Empty()) std::fill(At(lo), At(hi), 0.0);
        lo = hi = 0;
    }
    // Four sums side by side: each row is summed every game, and one sum
    // would wait on each add.
    double Mass() const {
        std::array<double, 4> s{};
        const double* v = At(lo);
        const int n = hi - lo;
        int h = 0;
        for (; h + 4 <= n; h += 4)
            for (std::size_t k = 0; k < 4; ++k) s[k] += v[h + static_cast<int>(k)];
        for (; h < n; ++h) s[0] += v[h];
        return (s[0] + s[1]) + (s[2] + s[3]);
    }
    // Makes [from, to) part of the range.
    void Cover(int from, int to, int width) {
        if (p.empty()) p.assign(static_cast<std::size_t>(width + 2 * kPad), 0.0);
        if (Empty()) {
            lo = from;
            hi = to;
        } else {
            lo = std::min(lo, from);
            hi = std::max(hi, to);
        }
    }
};

// Shifts by net and their weights.
struct Kernel {
    std::array<int, kNets> shift{};
    std::array<double, kNets> w{};
    int n = 0, least = 0, most = 0;
    void Add(int v, double weight) {
        if (weight == 0) return;
        least = n == 0 ? v : std::min(least, v);
        most = n == 0 ? v : std::max(most, v);
        shift[static_cast<std::size_t>(n)] = v;
        w[static_cast<std::size_t>(n++)] = weight;
    }
};

// in through the kernel, added to out below `cap`.
void AddKernel(Row& out, const Row& in, const Kernel& k, int cap, int width) {
    if (in.Empty() || k.n == 0) return;
    const int from = std::max(0, in.lo + k.least), to = std::min(cap, in.hi + k.most);
    if (to <= from) return;
    out.Cover(from, to, width);
    for (int t = 0; t < k.n; ++t)
        AddScaled(out.At(from), in.At(from - k.shift[static_cast<std::size_t>(t)]), k.w[static_cast<std::size_t>(t)],
                  to - from);
}

Kernel Scaled(const Kernel& k, double f) {
    Kernel s = k;
    for (int t = 0; t < s.n; ++t) s.w[static_cast<std::size_t>(t)] *= f;
    return s;
}

Kernel Times(double w) {
    Kernel k;
    k.Add(0, w);
    return k;
}

using Part = std::array<Row, kStates>;

// A setting's game as the pass steps it, its small wins as kernels.
struct Kernels {
    PurchaseGame game;
    Kernel winKernel;
    std::array<std::array<Kernel, kModes>, kOrdinaryModes> taps;
    int setLo, tailLo;  // a BB's, as ints

    explicit Kernels(const StateDynamics& d)
        : game(d), setLo(static_cast<int>(game.bb.setLo)), tailLo(static_cast<int>(game.bb.tailLo)) {
        for (int n = 0; n < kNets; ++n) winKernel.Add(n + kLeastNet, game.win[static_cast<std::size_t>(n)]);
        for (std::size_t m = 0; m < kOrdinaryModes; ++m)
            for (std::size_t to = 0; to < kModes; ++to)
                for (int n = 0; n < kNets; ++n)
                    taps[m][to].Add(n + kLeastNet, game.taps[m][to][static_cast<std::size_t>(n)]);
    }
};

// Mass at the ends of a row below this is let go, a tail a few hundred
// medals wide at most.
constexpr double kNegligible = 1e-22;
// A BB of a kind and a slot whose chance in a game is below this is let go
// with the purchases after it, each a convolution thousands of medals wide.
// What is let go is added up (PurchasesAhead::dropped).
constexpr double kTinyBB = 1e-12;
// The same for any state's row below this after a game, which would be
// stepped across its whole width every game.
constexpr double kTinyRow = 1e-13;

// A count a ceiling left changes nothing until the precursor it starts,
// and the ordinary modes and BBs step every count alike: so the mass that
// carries one is followed as one law over the counts, in one column of
// rows (a slot) whose precursors spread over the counts by that law. The
// law's own carried mass takes one slot, a ceiling in the games ahead the
// other. Where the mass by count and medals held is not that law times one
// law of medals, the difference is moved between counts to make it so,
// and counted as let go: a few 1e-5 of the whole at a ceiling.
constexpr int kLawSlot = 1, kCeilingSlot = 2;
constexpr int kSlots = 3;  // column 0 is count 0 itself

// Hall data leaves a few 1e-6 of the law carrying a count a ceiling left:
// so little is moved to count 0 and counted as let go, a change of less
// than that times the purchases a player could make, where following it
// would cost a slot's rows, or a pass forward beside the values kept, on
// every request. More is followed.
constexpr double kMovedToCountZero = 1e-5;

// The pass: the stretch the play starts in (no BB yet) and the later
// stretches by the BBs played before them.
class Pass {
public:
    // Without `letGo` every row is followed, however little it holds: the
    // stretch begun alone, whose rows are narrow.
    Pass(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int32_t games, int levels,
         std::int64_t held, int lend, bool letGo = true)
        : width_(3 + 3 * (games - 1)), games_(games), since_(since), lend_(lend), letGo_(letGo), k_(d) {
        caps_ = PurchaseCaps(k_.game.win, games);
        width_ = std::max(caps_[static_cast<std::size_t>(games)], 1);
        parts_.resize(static_cast<std::size_t>(levels) + 1);
        next_.resize(parts_.size());
        pending_.resize(parts_.size());
        if (held >= width_) return;  // nothing will be bought
        const int h = static_cast<int>(held);
        // The carried mass by mode, and its counts' law.
        std::array<double, kModes> byMode{};
        std::array<double, kLawCounts>& counts = slotCounts_[kLawSlot];
        double carried = 0;
        for (int m = 0; m < kModes; ++m)
            for (int c = 1; c < kLawCounts; ++c)
                if (m != morvane::Precursor) {
                    const double v = law.At(m, c);
                    byMode[static_cast<std::size_t>(m)] += v;
                    counts[static_cast<std::size_t>(c)] += v;
                    carried += v;
                }
        const bool moved0 = carried <= kMovedToCountZero;
        if (moved0) {
            dropped_ += carried;
            counts.fill(0.0);
        } else if (carried > 0) {
            for (double& v : counts) v /= carried;
            double moved = 0;
            for (int m = 0; m < kModes; ++m)
                for (int c = 1; c < kLawCounts; ++c)
                    if (m != morvane::Precursor)
                        moved += std::abs(law.At(m, c) -
                                          counts[static_cast<std::size_t>(c)] * byMode[static_cast<std::size_t>(m)]);
            dropped_ += moved / 2;
        }
        const auto put = [&](int index, double v) {
            if (v == 0) return;
            Row& r = parts_[0][static_cast<std::size_t>(index)];
            r.Cover(h, h + 1, width_);
            *r.At(h) += v;
        };
        for (int m = 0; m < kModes; ++m) {
            put(Index(m, 0), law.At(m, 0));
            if (m == morvane::Precursor)
                for (int c = 1; c < kLawCounts; ++c) put(Index(m, c), law.At(m, c));
            else
                put(Index(m, moved0 ? 0 : kLawSlot), byMode[static_cast<std::size_t>(m)]);
        }
        any_ = true;
    }

    bool Any() const { return any_; }
    double Dropped() const { return dropped_; }

    // Buys before game `j` (1-based), then plays it; `bought` gets each
    // level's expected purchases before it.
    void Game(std::int32_t j, std::vector<double>& bought) {
        std::fill(bought.begin(), bought.end(), 0.0);
        for (std::size_t l = 0; l < parts_.size(); ++l) bought[l] = Buy(parts_[l]);
        const int cap = caps_[static_cast<std::size_t>(games_ - j)];
        for (Part& p : next_)
            for (Row& r : p) r.Clear();
        const std::int32_t gameSince = since_ + j;
        if (gameSince <= kMaxGamesSinceBB) Step(parts_[0], next_[0], gameSince == kCeilingGames, 1, cap);
        for (std::size_t l = 1; l < parts_.size(); ++l)
            Step(parts_[l], next_[l], false, std::min(l + 1, parts_.size() - 1), cap);
        BBsPlayed(cap);
        for (Part& p : next_)
            for (Row& r : p) Trim(r);
        std::swap(parts_, next_);
    }

private:
    double Buy(Part& part) const {
        double bought = 0;
        for (Row& r : part) {
            if (r.Empty() || r.lo >= 3) continue;
            for (int h = r.lo; h < std::min(r.hi, 3); ++h) {
                const double q = *r.At(h);
                if (q == 0) continue;
                const int k = (3 - h + lend_ - 1) / lend_;
                bought += q * k;
                *r.At(h) = 0;
                const int to = h + k * lend_;
                if (to < width_) {
                    r.Cover(to, to + 1, width_);
                    *r.At(to) += q;
                }
            }
            r.lo = std::max(r.lo, 3);
            r.hi = std::max(r.hi, r.lo);
        }
        return bought;
    }

    // One game of a part into out; its BBs go on into the part `after`.
    // Columns 1 and 2 of the modes other than the precursor are slots.
    void Step(const Part& in, Part& out, bool ceiling, std::size_t after, int cap) {
        Row& ended = scratch_;  // precursors' mass by the chance they end, before the game's small win
        ended.Clear();
        if (ceiling) {
            // The coin: half of each count to a blue BB now, half to a
            // precursor that steps in this game.
            Row& all = half_;
            all.Clear();
            for (int m = 0; m < kModes; ++m) AddKernel(all, in[Index(m, 0)], Times(0.5), width_, width_);
            if (!all.Empty()) {
                PlayBB(all, 0, 0, after);
                Precursor(all, 0, out, ended, cap);
            }
            // A precursor's count goes on with its blue BB: those BBs make
            // the ceiling's slot.
            std::array<double, kLawCounts>& counts = slotCounts_[kCeilingSlot];
            counts.fill(0.0);
            Row& bbs = bbs_;
            bbs.Clear();
            double carried = 0;
            for (int c = 1; c < kLawCounts; ++c) {
                const Row& pre = in[Index(morvane::Precursor, c)];
                if (pre.Empty()) continue;
                all.Clear();
                AddKernel(all, pre, Times(0.5), width_, width_);
                Precursor(all, c, out, ended, cap);
                AddKernel(bbs, all, Times(1), width_, width_);
                counts[static_cast<std::size_t>(c)] = all.Mass();
                carried += counts[static_cast<std::size_t>(c)];
            }
            if (carried > 0 && after < next_.size()) {
                for (double& v : counts) v /= carried;
                dropped_ += Moved(in, bbs, counts);
                PlayBB(bbs, 0, kCeilingSlot, after);
            }
            // A slot's half to a precursor at its counts, the other half
            // to a blue BB in the slot.
            for (int slot = 1; slot < kSlots; ++slot) {
                all.Clear();
                for (int m = 0; m < kModes; ++m)
                    if (m != morvane::Precursor) AddKernel(all, in[Index(m, slot)], Times(0.5), width_, width_);
                if (all.Empty()) continue;
                PlayBB(all, 0, slot, after);
                SlotPrecursor(all, slot, out, ended, cap);
            }
        } else {
            for (int m = 0; m < kOrdinaryModes; ++m)
                for (int c = 0; c < kSlots; ++c) {
                    const Row& r = in[Index(m, c)];
                    if (r.Empty()) continue;
                    for (int to = 0; to < kModes; ++to) {
                        const Kernel& k = k_.taps[static_cast<std::size_t>(m)][static_cast<std::size_t>(to)];
                        if (c > 0 && to == morvane::Precursor)
                            AddKernel(entered_[static_cast<std::size_t>(c)], r, k, cap, width_);
                        else
                            AddKernel(out[Index(to, c)], r, k, cap, width_);
                    }
                }
            for (int slot = 1; slot < kSlots; ++slot) Spread(entered_[static_cast<std::size_t>(slot)], slot, out, cap);
            for (int c = 0; c < kLawCounts; ++c) {
                if (c < kSlots) {
                    if (!in[Index(Blue7, c)].Empty()) PlayBB(in[Index(Blue7, c)], 0, c, after);
                    if (!in[Index(Red7, c)].Empty()) PlayBB(in[Index(Red7, c)], 1, c, after);
                }
                if (!in[Index(morvane::Precursor, c)].Empty())
                    Precursor(in[Index(morvane::Precursor, c)], c, out, ended, cap);
            }
        }
        if (!ended.Empty()) {
            const double red = kPrecursorRedShare;
            AddKernel(out[Index(Blue7, 0)], ended, Scaled(k_.winKernel, 1 - red), cap, width_);
            AddKernel(out[Index(Red7, 0)], ended, Scaled(k_.winKernel, red), cap, width_);
        }
    }

    // Half of each precursor at the ceiling went to a blue BB: the chance
    // moved between counts to make those one law of counts times one of
    // medals held (half of the distance between the two).
    double Moved(const Part& in, const Row& bbs, const std::array<double, kLawCounts>& counts) const {
        double moved = 0;
        for (int c = 1; c < kLawCounts; ++c) {
            const Row& pre = in[Index(morvane::Precursor, c)];
            const double share = counts[static_cast<std::size_t>(c)];
            for (int h = bbs.lo; h < bbs.hi; ++h) {
                const double own = h >= pre.lo && h < pre.hi ? 0.5 * *pre.At(h) : 0.0;
                moved += std::abs(own - share * *bbs.At(h));
            }
        }
        return moved / 2;
    }

    // Mass of a slot that enters the precursor, out over the counts.
    void Spread(Row& entered, int slot, Part& out, int cap) {
        if (entered.Empty()) return;
        const std::array<double, kLawCounts>& counts = slotCounts_[static_cast<std::size_t>(slot)];
        for (int c = 1; c < kLawCounts; ++c)
            if (counts[static_cast<std::size_t>(c)] > 0)
                AddKernel(out[Index(morvane::Precursor, c)], entered, Times(counts[static_cast<std::size_t>(c)]), cap,
                          width_);
        entered.Clear();
    }

    // A precursor game of a slot's mass at its counts.
    void SlotPrecursor(const Row& r, int slot, Part& out, Row& ended, int cap) {
        const std::array<double, kLawCounts>& counts = slotCounts_[static_cast<std::size_t>(slot)];
        Row& won = won_;
        won.Clear();
        AddKernel(won, r, k_.winKernel, cap, width_);
        double end = 0;
        for (int c = 1; c < kLawCounts; ++c) {
            const double share = counts[static_cast<std::size_t>(c)];
            if (share == 0) continue;
            end += share * kPrecursorEnd[static_cast<std::size_t>(c)];
            if (c + 1 < kLawCounts)
                AddKernel(out[Index(morvane::Precursor, c + 1)], won,
                          Times(share * kPrecursorStay[static_cast<std::size_t>(c)]), cap, width_);
        }
        AddKernel(ended, r, Times(end), width_, width_);
    }

    // A precursor game at count c: its small win, then on to c + 1 or ended.
    void Precursor(const Row& r, int c, Part& out, Row& ended, int cap) const {
        if (c + 1 < kLawCounts)
            AddKernel(out[Index(morvane::Precursor, c + 1)], r,
                      Scaled(k_.winKernel, kPrecursorStay[static_cast<std::size_t>(c)]), cap, width_);
        AddKernel(ended, r, Times(kPrecursorEnd[static_cast<std::size_t>(c)]), width_, width_);
    }

    // A BB game of a kind from held medals r, its count c kept, into the
    // part `after`: gathered over the parts, then played (BBsPlayed).
    void PlayBB(const Row& r, int kind, int c, std::size_t after) {
        if (after >= next_.size()) return;  // past the BB nothing is followed
        AddKernel(pending_[after][static_cast<std::size_t>(kind * kLawCounts + c)], r, Times(1), width_, width_);
    }

    // The held medals after the BBs gathered are theirs convolved with the
    // BB's net, in the state its end leaves. Both hang on the continuation
    // mode: N >= 1 sets with P(N = n) = (1 - q) q^(n - 1), so the sets'
    // part is z = S * ((1 - q) a + q z), filled upward (a set pays at least
    // setLo > 0), a set's width a point rather than the law's thousands.
    void BBsPlayed(int cap) {
        for (std::size_t after = 0; after < pending_.size(); ++after)
            for (int c = 0; c < kSlots; ++c) {
                std::array<Row*, kBBKinds> u{};
                int lo = cap, hi = 0;
                for (int kind = 0; kind < kBBKinds; ++kind) {
                    Row& r = pending_[after][static_cast<std::size_t>(kind * kLawCounts + c)];
                    if (r.Empty()) continue;
                    const double mass = r.Mass();
                    if (mass < kTinyBB) {
                        dropped_ += mass;
                        r.Clear();
                        continue;
                    }
                    u[static_cast<std::size_t>(kind)] = &r;
                    lo = std::min(lo, r.lo + k_.tailLo);
                    hi = std::max(hi, r.hi + k_.tailLo + static_cast<int>(k_.game.bb.tail.size()) - 1);
                }
                // The tail's part a, [lo, hi), by kind; only below cap - setLo
                // can it reach below cap.
                hi = std::min(hi, cap - k_.setLo);
                if (hi > lo) {
                    const auto n = static_cast<std::size_t>(hi - lo);
                    for (int kind = 0; kind < kBBKinds; ++kind) {
                        std::vector<double>& a = tailed_[static_cast<std::size_t>(kind)];
                        a.assign(n, 0.0);
                        const Row* r = u[static_cast<std::size_t>(kind)];
                        if (!r) continue;
                        for (std::size_t t = 0; t < k_.game.bb.tail.size(); ++t) {
                            const double w = k_.game.bb.tail[t];
                            const int from = r->lo, to = std::min(r->hi, hi - k_.tailLo - static_cast<int>(t));
                            double* out = a.data() + (from + k_.tailLo + static_cast<int>(t) - lo);
                            const double* in = r->At(from);
                            AddScaled(out, in, w, to - from);
                        }
                    }
                    const int zlo = lo + k_.setLo;
                    if (zlo < cap) {
                        for (std::vector<double>& e : ends_) e.assign(static_cast<std::size_t>(cap - zlo), 0.0);
                        for (int km = 0; km < kKModes; ++km) Sets(km, lo, hi, cap);
                        Ended(zlo, cap, next_[after], c);
                    }
                }
                for (Row* r : u)
                    if (r) r->Clear();
            }
    }

    // The sets of continuation mode km on the tails gathered, added to
    // ends_ by the way they end.
    void Sets(int km, int lo, int hi, int cap) {
        const auto kmi = static_cast<std::size_t>(km);
        const double w0 = k_.game.bb.kmode[0][kmi], w1 = k_.game.bb.kmode[1][kmi];
        if (w0 == 0 && w1 == 0) return;
        const int zlo = lo + k_.setLo;
        const std::array<double, kEnds>& ending = k_.game.ending[kmi];
        const double q = k_.game.bb.continueChance[kmi];
        // g = (1 - q) a + q z over [lo, cap - setLo), z over [zlo, cap);
        // g_ holds it from lo - top, zeros first, so that every z sums all
        // of a set's nets.
        const int top = static_cast<int>(k_.game.bb.set.size()) - 1;
        const int gn = cap - k_.setLo - lo;
        g_.assign(static_cast<std::size_t>(gn + top), 0.0);
        double* g = g_.data() + top;  // g[x - lo]
        const std::vector<double>&a0 = tailed_[0], &a1 = tailed_[1];
        for (int i = 0; i < hi - lo; ++i) {
            const auto ii = static_cast<std::size_t>(i);
            g[i] = (1 - q) * (w0 * a0[ii] + w1 * a1[ii]);
        }
        // Upward a block of setLo at a time: z over a block reads g below
        // it only, so each set net adds to the whole block.
        z_.resize(std::max(z_.size(), static_cast<std::size_t>(k_.setLo)));
        for (int from = zlo; from < cap; from += k_.setLo) {
            const int n = std::min(k_.setLo, cap - from);
            std::fill(z_.begin(), z_.begin() + n, 0.0);
            for (int j = 0; j <= top; ++j)
                AddScaled(z_.data(), g + (from - zlo) - j, k_.game.bb.set[static_cast<std::size_t>(j)], n);
            for (std::size_t e = 0; e < kEnds; ++e) AddScaled(ends_[e].data() + (from - zlo), z_.data(), ending[e], n);
            for (int i = 0; i < n && from + i - lo < gn; ++i) g[from + i - lo] += q * z_[static_cast<std::size_t>(i)];
        }
    }

    // The BBs' held medals by the way they end, into the states those
    // leave, count c kept (a slot's precursors over its counts).
    void Ended(int zlo, int cap, Part& into, int c) {
        const std::size_t n = static_cast<std::size_t>(cap - zlo);
        for (int m = 0; m < kModes; ++m) {
            if (c > 0 && m == morvane::Precursor) {
                Row& r = entered_[static_cast<std::size_t>(c)];
                r.Cover(zlo, cap, width_);
                double* o = r.At(zlo);
                const double normal = k_.game.normalEnd[static_cast<std::size_t>(m)];
                const double *e = ends_[EndToNormal].data(), *x = ends_[EndToPrecursor].data();
                for (std::size_t i = 0; i < n; ++i) o[i] += normal * e[i] + x[i];
                Spread(r, c, into, cap);
                continue;
            }
            const double normal = k_.game.normalEnd[static_cast<std::size_t>(m)];
            const std::vector<double>* own = m == morvane::Precursor ? &ends_[EndToPrecursor]
                                             : m == Blue7            ? &ends_[EndToBlue7]
                                             : m == Red7             ? &ends_[EndToRed7]
                                                                     : nullptr;
            if (normal == 0 && !own) continue;
            Row& r = into[static_cast<std::size_t>(Index(m, c))];
            r.Cover(zlo, cap, width_);
            double* o = r.At(zlo);
            const double* e = ends_[EndToNormal].data();
            if (own) {
                const double* x = own->data();
                for (std::size_t i = 0; i < n; ++i) o[i] += normal * e[i] + x[i];
            } else {
                for (std::size_t i = 0; i < n; ++i) o[i] += normal * e[i];
            }
        }
    }

    // Trims the ends of a row's mass below kNegligible, and lets go of a
    // row whose whole mass is below kTinyRow.
    void Trim(Row& r) {
        while (r.lo < r.hi && *r.At(r.lo) < kNegligible) *r.At(r.lo++) = 0;
        while (r.hi > r.lo && *r.At(r.hi - 1) < kNegligible) *r.At(--r.hi) = 0;
        if (r.Empty()) {
            r.lo = r.hi = 0;
            return;
        }
        if (!letGo_) return;
        const double mass = r.Mass();
        if (mass < kTinyRow) {
            dropped_ += mass;
            r.Clear();
        }
    }

    int width_;
    std::vector<int> caps_;
    std::int32_t games_, since_;
    int lend_;
    bool letGo_;
    Kernels k_;
    bool any_ = false;
    double dropped_ = 0;
    std::vector<Part> parts_, next_;
    Row scratch_, half_, bbs_, won_;
    std::array<Row, kSlots> entered_;  // by slot: mass entering the precursor this game
    std::array<std::array<double, kLawCounts>, kSlots> slotCounts_{};
    std::array<std::vector<double>, kBBKinds> tailed_;
    std::vector<double> g_, z_;
    std::array<std::vector<double>, kEnds> ends_;
    std::vector<std::array<Row, kBBKinds * kLawCounts>> pending_;  // by the part they go on in
};

bool Whole(double v) { return v >= 1 && v == std::floor(v) && v < 1e6; }

}  // namespace

bool PurchasesFollowed(const HallMoney& money) { return !money.held || Whole(money.lendPer1000Yen); }

namespace {

PurchasesAhead Empty(std::int32_t games, int mostBBs, const HallMoney& money) {
    if (games < 0 || mostBBs < 0) throw std::invalid_argument("games and BBs out of range");
    if (!PurchasesFollowed(money)) throw std::invalid_argument("medals are lent in whole numbers");
    if (money.held && games > kMostPurchaseGames)
        throw std::invalid_argument("purchases are followed over at most " + std::to_string(kMostPurchaseGames) +
                                    " games");
    PurchasesAhead out;
    out.byGames.assign(static_cast<std::size_t>(games) + 1, 0.0);
    out.byBBs.assign(static_cast<std::size_t>(mostBBs) + 1, 0.0);
    return out;
}

}  // namespace

namespace {

StateLaw AtCountZero(const StateLaw& law) {
    StateLaw out = PurchaseValues::Uncarried(law);
    for (int m = 0; m < kModes; ++m)
        if (m != Precursor)
            for (int c = 1; c < kLawCounts; ++c) out.At(m, 0) += law.At(m, c);
    return out;
}

}  // namespace

namespace {

struct Given {
    int setting;
    StateLaw law;
    std::int32_t since, games;
    int mostBBs;
    HallMoney money;
    PurchasesAhead figures;
    bool Of(int s, const StateLaw& l, std::int32_t sn, std::int32_t g, int b, const HallMoney& m) const {
        return setting == s && since == sn && games == g && mostBBs == b && money == m && law.v == l.v;
    }
};
constexpr std::size_t kGivenKept = 12;
std::mutex givenMutex;
std::deque<Given> given;

}  // namespace

void GivePurchasesAhead(int setting, const StateLaw& law, std::int32_t since, std::int32_t games, int mostBBs,
                        const HallMoney& money, PurchasesAhead figures) {
    const std::scoped_lock lock(givenMutex);
    given.push_front({setting, law, since, games, mostBBs, money, std::move(figures)});
    if (given.size() > kGivenKept) given.pop_back();
}

PurchasesAhead ExpectedPurchasesAhead(const StateDynamics& d, const StateLaw& law, std::int32_t since,
                                      std::int32_t games, int mostBBs, const HallMoney& money,
                                      const std::atomic<bool>* stop) {
    {
        const std::scoped_lock lock(givenMutex);
        for (const Given& g : given)
            if (g.Of(d.Setting(), law, since, games, mostBBs, money)) return g.figures;
    }
    if (!money.held || games <= 0 || !PurchaseValues::Apply(since, games))
        return PurchasesAheadForward(d, law, since, games, mostBBs, money, stop);
    // Purchases are linear in the law: the states the values hold for
    // backward, a count a ceiling left forward unless there is next to none.
    PurchasesAhead out = Empty(games, mostBBs, money);
    const double carried = PurchaseValues::Carried(law);
    StateLaw rest;
    if (carried > kMovedToCountZero) {
        out = PurchasesAheadForward(d, PurchaseValues::CarriedPart(law), since, games, mostBBs, money, stop);
        rest = PurchaseValues::Uncarried(law);
    } else {
        rest = AtCountZero(law);
        out.dropped = carried;
    }
    const auto values =
        PurchaseValues::For(d.Setting(), static_cast<int>(money.lendPer1000Yen), *money.held, games, mostBBs, stop);
    if (values) {
        for (std::int32_t k = 1; k <= games; ++k) out.byGames[static_cast<std::size_t>(k)] += values->Of(rest, k);
        for (int n = 1; n <= mostBBs; ++n) out.byBBs[static_cast<std::size_t>(n)] += values->OfBBs(rest, n);
    }
    return out;
}

PurchasesAhead PurchasesAheadForward(const StateDynamics& d, const StateLaw& law, std::int32_t since,
                                     std::int32_t games, int mostBBs, const HallMoney& money,
                                     const std::atomic<bool>* stop) {
    PurchasesAhead out = Empty(games, mostBBs, money);
    if (!money.held || games == 0) return out;
    // Level l holds the mass that has played l BBs (the last: that many
    // or more); the rule until the n-th BB buys on levels below n.
    const int levels = std::max(mostBBs, 1);
    Pass pass(d, law, since, games, levels, *money.held, static_cast<int>(money.lendPer1000Yen));
    if (!pass.Any()) return out;
    std::vector<double> bought(static_cast<std::size_t>(levels) + 1);
    double total = 0;
    for (std::int32_t j = 1; j <= games; ++j) {
        if (stop && j % kStopEvery == 0 && stop->load(std::memory_order_relaxed)) break;
        pass.Game(j, bought);
        double below = 0;
        for (int n = 1; n <= mostBBs; ++n) {
            below += bought[static_cast<std::size_t>(n - 1)];
            out.byBBs[static_cast<std::size_t>(n)] += below;
        }
        for (double b : bought) total += b;
        out.byGames[static_cast<std::size_t>(j)] = total;
    }
    out.dropped = pass.Dropped();
    return out;
}

namespace {

// The purchases of the stretch begun alone from a law: the later parts are
// the mass past its BB.
double UntilBBForward(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int64_t held, int lend,
                      bool letGo) {
    const std::int32_t games = kMaxGamesSinceBB - since;
    Pass pass(d, law, since, games, 0, held, lend, letGo);
    if (!pass.Any()) return 0;
    std::vector<double> bought(1);
    double total = 0;
    for (std::int32_t j = 1; j <= games; ++j) {
        pass.Game(j, bought);
        total += bought[0];
    }
    return total;
}

}  // namespace

double ExpectedPurchasesUntilBB(const StateDynamics& d, const StateLaw& law, std::int32_t since, const HallMoney& money,
                                const std::atomic<bool>* stop) {
    if (!PurchasesFollowed(money)) throw std::invalid_argument("medals are lent in whole numbers");
    if (!money.held || since >= kMaxGamesSinceBB) return 0;
    const int lend = static_cast<int>(money.lendPer1000Yen);
    // As above: backward where the values hold, once found for the money,
    // a count a ceiling left forward unless next to none. Forward before
    // that, every row of the same mass followed, so that the figures do not
    // hang on which way they were found.
    const auto values = PurchaseValues::UntilBB(d.Setting(), lend, *money.held, stop);
    const bool follow = PurchaseValues::Carried(law) > kMovedToCountZero;
    const StateLaw rest = follow ? PurchaseValues::Uncarried(law) : AtCountZero(law);
    double total = values ? values->Of(rest, since) : UntilBBForward(d, rest, since, *money.held, lend, false);
    if (follow) total += UntilBBForward(d, PurchaseValues::CarriedPart(law), since, *money.held, lend, true);
    return total;
}

}  // namespace morvane
