#pragma once
// The exact law of the net medals of playing a machine from a counter of g
// games since its last BB game until the next BB game's sets are over, at
// one setting, for every g from 1531 down to 0.
//
// The state at g is the long-run law just after a BB game pushed g games
// on with no BB in them. The net is the sum of the small wins' nets of the
// games before the BB game (the pre-BB sum), plus the BB game's own small
// win and its sets, whose law depends on the BB's kind alone. So the pre-BB
// sum is followed backwards from the last possible game, split by the kind
// of the BB that ends it, and the CDF of the net is that sum convolved with
// the two BB laws at the points asked for.
//
// The ordinary modes hold nearly all of the state and carry their pmfs over
// the whole range of sums; their futures depend on the precursor count they
// carry only through the precursor that ends the stretch. The count an
// ordinary mode carries at g is the one the BB before it left, and the law
// just after a BB is the BB's end-mode law times the long-run law of BB
// events (kind, count). So instead of one backward pmf per count, two
// suffice: the futures mixed over the counts with the long-run weights of
// blue and of red BB events, and at g each is weighted by where the
// ordinary modes of that kind's end law have got to after g games. The
// precursor, Blue7 and Red7 states are followed count by count; their
// futures are at most 32 games long. Rows below 1e-15 are dropped at the
// ends of the ordinary modes' pmfs, and the chance they held is added up
// (Dropped); nothing else is approximated.
//
// What every law of a setting starts from is built once (some 2 MB a
// setting; the BBs' CDFs padded for CdfsInBands some 1 MB more, once it is
// asked), and the storage a law steps in (some 2 MB) is kept for the next
// law once it is gone, so that a table made again is not slowed by fresh
// memory.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/bb_net_law.h"
#include "model/state_law.h"

namespace morvane {

class NetLawByCount {
public:
    explicit NetLawByCount(const StateDynamics& d);
    ~NetLawByCount();

    // Steps to the next lower counter: 1531 first, then 1530, ... 0.
    void StepDown();
    std::int32_t Count() const { return t_; }
    // The chance that a stretch reaches this counter without a BB.
    double Reach() const;
    // P(net <= y) given the counter shows Count().
    double Cdf(std::int64_t y) const;
    // P(net <= y) for y = from .. from + n - 1 (n at most kMostCdfs) into
    // out, in one pass over the law: about the work of one Cdf.
    static constexpr int kMostCdfs = 4;
    void Cdfs(std::int64_t from, int n, double* out) const;
    // The pre-BB sums the law holds lie at or above this.
    std::int64_t LowestSum() const;
    // As Cdfs, of the net together with a pre-BB sum in [sFrom, sTo):
    // P(net <= y and sFrom <= sum < sTo).
    void CdfsOver(std::int64_t sFrom, std::int64_t sTo, std::int64_t from, int n, double* out) const;
    // As CdfsOver at kMostCdfs nets from each of `windows` starts, for many
    // bands of sums at once: band b's window w starts at from[b * windows +
    // w], and its CDF at the net j on goes to out[(b * windows + w) *
    // kMostCdfs + j]; when lastAlone, the last window is its first net
    // alone. One pass over the law for all of them; windows at most 3.
    struct SumBand {
        std::int64_t lo, hi;  // the sums [lo, hi)
    };
    void CdfsInBands(const std::vector<SumBand>& bands, const std::int64_t* from, int windows, bool lastAlone,
                     double* out) const;
    // E[net], from the law itself (for checking it against the exact means).
    double Mean() const;
    // The most chance the law at this counter lacks: rows of the ordinary
    // modes' laws below 1e-15 are dropped as the counter steps down, and
    // this adds up what they held.
    double Dropped() const;

private:
    struct Impl;
    std::unique_ptr<Impl> p_;
    std::int32_t t_ = kMaxGamesSinceBB;
};

// The law of the lowest pre-game balance on the way to the next BB game
// (0, before the first game, included; the BB game and its sets are one
// game that needs no medals), from a counter of g games since the last BB
// game, for every g from 1531 down to 0: the same backward recursion as
// the net's, each game folding min(0, x + m) where the net has x + s.
// Where a player short of medals buys them depends on it alone.
class MinLawByCount {
public:
    // With law false only ExpectedPurchases is asked for: the law is not
    // put together at each counter, and Below throws.
    explicit MinLawByCount(const StateDynamics& d, bool law = true);
    ~MinLawByCount();

    // Steps to the next lower counter: 1531 first, then 1530, ... 0.
    void StepDown();
    std::int32_t Count() const { return t_; }
    // P(lowest balance < y) given the counter shows Count().
    double Below(std::int64_t y) const;
    // The expected number of purchases of `lend` medals made whenever
    // fewer than 3 are held before a game, starting with `held`:
    // the sum over k >= 1 of P(lowest < 3 - held - (k - 1) lend).
    double ExpectedPurchases(double held, double lend) const;
    // As NetLawByCount::Dropped.
    double Dropped() const;

private:
    struct Impl;
    std::unique_ptr<Impl> p_;
    std::int32_t t_ = kMaxGamesSinceBB;
};

}  // namespace morvane
