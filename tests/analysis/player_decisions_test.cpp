// Keep or quit, how far to trust the estimate, and the value of more games:
// the exact rules against the figures of the machine now, the simulations
// against what their own construction must give (calibrated posteriors, a
// posterior that is a martingale) and against the threads they run on.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/keep_or_quit.h"
#include "analysis/machine_now.h"
#include "analysis/more_games.h"
#include "analysis/trust.h"
#include "app/hall_input.h"
#include "machine/slot.h"
#include "run/single_run.h"

namespace morvane {
namespace {

MachineBelief BeliefAfter(int setting, std::int32_t games, std::uint32_t seed, const SettingPrior& prior = {}) {
    PlayHistory h;
    Slot slot(seed);
    SimulateRun(slot, h, {false, setting}, games);
    BeliefResult b = BeliefFromRecord(h.records(), prior);
    EXPECT_TRUE(b.belief);
    return *b.belief;
}

// Playing K games is the machine now's next K games; the first BB's rule is
// its "until the next BB's sets are over" when the horizon cannot cut it.
TEST(KeepOrQuit, FixedRulesAreTheMachineNowsFigures) {
    const MachineBelief b = BeliefAfter(2, 2345, 8);
    const KeepOrQuit k = DecideKeepOrQuit(b, {kMaxGamesSinceBB + 10, 4, 0, 0, 1});
    for (std::int32_t n : {1, 50, 700, kMaxGamesSinceBB + 10}) {
        const MachineNow now = NowFigures(b, n);
        EXPECT_NEAR(k.byGames[static_cast<std::size_t>(n)], now.nextGames, 1e-9 * (1 + std::abs(now.nextGames))) << n;
    }
    const MachineNow now = NowFigures(b, 1);
    EXPECT_NEAR(k.byBBs[1], now.untilBB, 1e-9 * (1 + std::abs(now.untilBB)));
    // Each further BB adds a stretch; the best rule is the best of them all.
    double best = 0;
    for (double v : k.byGames) best = std::max(best, v);
    for (double v : k.byBBs) best = std::max(best, v);
    EXPECT_EQ(k.best.value, best);
    EXPECT_EQ(k.Keep(), best > 0);
    EXPECT_FALSE(k.learning.has_value());
    // A short horizon cuts the BB rules: four BBs in ten games are all but
    // impossible, so that rule is ten games.
    const KeepOrQuit cut = DecideKeepOrQuit(b, {10, 4, 0, 0, 1});
    EXPECT_NEAR(cut.byBBs[4], cut.byGames[10], 1e-3);
    EXPECT_NE(cut.byBBs[1], cut.byGames[10]);
}

// The learning rule by simulation: where every setting says stop it plays
// nothing; otherwise its value agrees across thread counts and its
// standard error is stated.
TEST(KeepOrQuit, LearningRuleBySimulation) {
    // Setting 1 for sure, 112 games into a stretch: no rule gains, and the
    // learning rule does not start.
    const MachineBelief one = BeliefAfter(1, 1500, 12, SettingPrior({1, 0, 0, 0, 0, 0}));
    ASSERT_EQ(one.gamesSinceBB, 112);
    const KeepOrQuit k1 = DecideKeepOrQuit(one, {1000, 3, 200, 5, 2});
    ASSERT_TRUE(k1.learning);
    EXPECT_FALSE(k1.Keep());
    EXPECT_EQ(k1.best.kind, StopRule::Kind::Now);
    EXPECT_EQ(k1.learning->value, 0.0);
    EXPECT_EQ(*k1.learningGames, 0.0);
    // Setting 6 for sure, just after a BB: every stretch gains, so it plays
    // to the horizon, and its mean is the exact value of playing that many
    // games, within four standard errors.
    MachineBelief six;
    six.prior = SettingPrior({0, 0, 0, 0, 0, 1});
    six.posterior = {0, 0, 0, 0, 0, 1};
    six.logLikelihood = {kImpossible, kImpossible, kImpossible, kImpossible, kImpossible, 0};
    six.state[5] = LongRunStateAfterBB(6);
    const KeepOrQuit a = DecideKeepOrQuit(six, {300, 2, 3000, 9, 1});
    const KeepOrQuit b = DecideKeepOrQuit(six, {300, 2, 3000, 9, 3});
    ASSERT_TRUE(a.learning && b.learning);
    EXPECT_EQ(a.learning->value, b.learning->value);
    EXPECT_EQ(*a.learningGames, 300.0);
    EXPECT_GT(a.learning->se, 0);
    EXPECT_NEAR(a.learning->value, a.byGames[300], 4 * a.learning->se);
    EXPECT_TRUE(a.Keep());
}

// Sessions drawn from the prior: the posterior shown is calibrated (a
// shown 30 % comes true about 30 % of the time), the same whatever the
// threads, and the most probable setting is right more often than a guess.
TEST(Trust, ShownProbabilitiesComeTrue) {
    const SettingPrior prior({3, 1, 1, 1, 1, 3});
    Trust a, b;
    ASSERT_TRUE(TrustOfEstimate({600, prior, 3000, 21, 1}, a));
    ASSERT_TRUE(TrustOfEstimate({600, prior, 3000, 21, 2}, b));
    EXPECT_EQ(a.topRight, b.topRight);
    EXPECT_EQ(a.meanLogTrue, b.meanLogTrue);
    ASSERT_EQ(a.bins.size(), 10u);
    std::int64_t shown = 0;
    for (const CalibrationBin& bin : a.bins) {
        shown += bin.shown;
        if (bin.shown < 200) continue;
        EXPECT_NEAR(bin.trueShare, bin.meanShown, 4 * bin.se + 0.01) << bin.from;
        EXPECT_GE(bin.meanShown, bin.from);
        EXPECT_LT(bin.meanShown, bin.to);
    }
    EXPECT_EQ(shown, 6 * 3000);
    // The prior alone would pick setting 1 or 6 and be right 3 times in 10.
    EXPECT_GT(a.topRight, 0.3 + 4 * a.topRightSe);
    EXPECT_EQ(a.sessionsBy[0] + a.sessionsBy[1] + a.sessionsBy[2] + a.sessionsBy[3] + a.sessionsBy[4] + a.sessionsBy[5], 3000);
    EXPECT_NEAR(static_cast<double>(a.sessionsBy[0]) / 3000, 0.3, 4 * std::sqrt(0.3 * 0.7 / 3000));
}

// Hall data of the player's shape: the shown probabilities come true as
// often as they say, the same whatever the threads, and they are worth less
// than a whole record's of the same length (the mean log of the chance
// shown for the true setting is lower: the small wins between BBs are not
// seen). The shape is read off the data.
TEST(Trust, HallDataOfTheSameShape) {
    const HallData data{3000, {{300, 1, 0}, {12, 2, 0}}, {{*CountedWinKinds("cherry"), 40}}};
    const HallTrustShape shape = ShapeOf(data);
    EXPECT_TRUE(shape.kindsSeen);
    EXPECT_FALSE(shape.setsSeen);
    ASSERT_EQ(shape.counted.size(), 1u);
    EXPECT_EQ(shape.counted[0], *CountedWinKinds("cherry"));
    const HallTrustShape bare = ShapeOf({3000, {{300, 0, 0}}, {}});
    EXPECT_FALSE(bare.kindsSeen);
    EXPECT_TRUE(bare.counted.empty());

    const SettingPrior prior({3, 1, 1, 1, 1, 3});
    Trust a, b, record;
    ASSERT_TRUE(TrustOfHallEstimate({3000, prior, 1000, 8, 1}, shape, a));
    ASSERT_TRUE(TrustOfHallEstimate({3000, prior, 1000, 8, 2}, shape, b));
    ASSERT_TRUE(TrustOfEstimate({3000, prior, 1000, 8, 0}, record));
    EXPECT_EQ(a.topRight, b.topRight);
    EXPECT_EQ(a.meanLogTrue, b.meanLogTrue);
    std::int64_t shown = 0;
    for (const CalibrationBin& bin : a.bins) {
        shown += bin.shown;
        if (bin.shown < 200) continue;
        EXPECT_NEAR(bin.trueShare, bin.meanShown, 4 * bin.se + 0.01) << bin.from;
    }
    EXPECT_EQ(shown, 6 * 1000);
    EXPECT_LT(a.meanLogTrue, record.meanLogTrue - 0.05);
    EXPECT_LT(a.topRight, record.topRight);
}

// After K more games the posterior of 5 and 6 averages what it is now (the
// posterior is a martingale under its own law), and none more games change
// nothing.
TEST(MoreGames, PosteriorIsAMartingale) {
    const MachineBelief b = BeliefAfter(5, 4000, 33);
    MoreGames none, more, again;
    ASSERT_TRUE(ValueOfMoreGames(b, {0, 0.5, 0.5, 50, 1, 1}, none));
    EXPECT_EQ(none.highPasses.share, b.posterior[4] + b.posterior[5] >= 0.5 ? 1.0 : 0.0);
    ASSERT_TRUE(ValueOfMoreGames(b, {1000, 0.7, 0.5, 2000, 2, 2}, more));
    ASSERT_TRUE(ValueOfMoreGames(b, {1000, 0.7, 0.5, 2000, 2, 1}, again));
    EXPECT_EQ(more.highPasses.share, again.highPasses.share);
    EXPECT_EQ(more.meanHighAfter, again.meanHighAfter);
    EXPECT_NEAR(more.meanHighAfter, more.highNow, 4 * more.meanHighAfterSe);
    EXPECT_GT(more.meanHighAfterSe, 0);
    std::int64_t total = 0;
    for (std::int64_t c : more.highAfter) total += c;
    EXPECT_EQ(total, 2000);
}

}  // namespace
}  // namespace morvane
