// Keep or quit, how far to trust the estimate, and the value of more games:
// the exact rules against the figures of the machine now, the simulations
// against what their own construction must give (calibrated posteriors, a
// posterior that is a martingale) and against the threads they run on.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "app/hall_input.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/more_games.h"
#include "estimation/trust.h"
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

// The spread of an exact rule, by simulation from the belief: its mean is
// the rule's exact value within the simulation's error (so it plays the
// games and BBs the rule says), the same whatever the threads; leaving now
// never ends behind, and the learning rule is no exact rule.
TEST(KeepOrQuit, SpreadOfARuleAgreesWithItsExactValue) {
    const MachineBelief b = BeliefAfter(2, 2345, 8);
    const KeepOrQuit k = DecideKeepOrQuit(b, {300, 3, 0, 0, 1});
    for (const StopRule& rule : {StopRule{StopRule::Kind::Games, 40, k.byGames[40], 0.0},
                                 StopRule{StopRule::Kind::Games, 300, k.byGames[300], 0.0},
                                 StopRule{StopRule::Kind::BBs, 2, k.byBBs[2], 0.0}}) {
        RuleSpread one, two;
        ASSERT_TRUE(SpreadOfRule(b, rule, 300, 4000, 5, 1, one));
        ASSERT_TRUE(SpreadOfRule(b, rule, 300, 4000, 5, 2, two));
        EXPECT_EQ(one.mean, two.mean);
        EXPECT_EQ(one.behind.passed, two.behind.passed);
        EXPECT_EQ(one.behind.trials, 4000);
        EXPECT_GT(one.sd, 0);
        EXPECT_NEAR(one.se, one.sd / std::sqrt(4000.0), 1e-12);
        EXPECT_NEAR(one.mean, rule.value, 4 * one.se) << rule.n;
        // Most stretches of a few dozen games see no BB and lose their bets.
        if (rule.n == 40) {
            EXPECT_GT(one.behind.share, 0.6);
        }
    }
    // In yen with purchases (5.6枚, cash): the mean is the exact yen within
    // its error, and every session behind in medals is behind in yen too,
    // with more behind in yen from what was bought. All medals held, the
    // yen are behind where the medals are.
    const HallMoney cash{{56}, 50, std::int64_t{0}};
    const KeepOrQuit priced = DecideKeepOrQuit(b, {300, 3, 0, 0, 1, cash});
    RuleSpread yen, held;
    ASSERT_TRUE(SpreadOfRule(b, {StopRule::Kind::Games, 300, priced.byGames[300], 0.0}, 300, 4000, 5, 1, yen, nullptr,
                             nullptr, cash));
    EXPECT_NEAR(yen.meanYen, priced.GamesYen(300), 4 * yen.seYen);
    EXPECT_NEAR(yen.sdYen, yen.seYen * std::sqrt(4000.0), 1e-9);
    EXPECT_GT(yen.behindYen.passed, yen.behind.passed);
    EXPECT_EQ(yen.behindYen.trials, 4000);
    ASSERT_TRUE(SpreadOfRule(b, {StopRule::Kind::Games, 300, priced.byGames[300], 0.0}, 300, 4000, 5, 1, held, nullptr,
                             nullptr, HallMoney{{56}, 50, std::nullopt}));
    EXPECT_EQ(held.behindYen.passed, held.behind.passed);
    EXPECT_EQ(held.behind.passed, yen.behind.passed);
    RuleSpread now;
    ASSERT_TRUE(SpreadOfRule(b, StopRule{}, 300, 100, 5, 1, now));
    EXPECT_EQ(now.mean, 0.0);
    EXPECT_EQ(now.sd, 0.0);
    EXPECT_TRUE(now.behind.None());
    EXPECT_THROW(SpreadOfRule(b, StopRule{StopRule::Kind::Learning, 0, 1.0, 0.1}, 300, 100, 5, 1, now),
                 std::invalid_argument);
    // The chance of a precursor now is the machine now's, mixed alike.
    EXPECT_NEAR(PrecursorShare(b), NowFigures(b, 1).mode[Precursor], 1e-12);
}

// Keep or quit as a player acts on it: a gain under a tenth of the net's
// standard deviation is about even, and a rule no longer than a precursor
// lasts, while one is possible, is a look for it.
TEST(KeepOrQuit, AdviceWeighsTheGainAgainstItsSpread) {
    using K = StopRule::Kind;
    struct Case {
        StopRule best;
        double sd, precursor;
        Verdict verdict;
        bool look;
    };
    const Case cases[] = {
        {{K::Now, 0, 0.0, 0.0}, 0, 0.3, Verdict::Quit, false},
        {{K::Games, 9, 0.1, 0.0}, 70, 0.0, Verdict::AboutEven, false},
        {{K::Games, 900, 49, 0.0}, 1000, 0.0, Verdict::AboutEven, false},
        {{K::Games, 900, 50, 0.0}, 1000, 0.0, Verdict::Keep, false},
        {{K::Games, 1000, 134, 0.0}, 1341, 0.0, Verdict::Keep, false},
        {{K::BBs, 2, 150, 0.0}, 1000, 0.3, Verdict::Keep, false},
        {{K::Games, 13, 40, 0.0}, 150, 0.2, Verdict::Keep, true},
        {{K::Games, kPrecursorSpan, 5, 0.0}, 150, 0.2, Verdict::AboutEven, true},
        {{K::Games, kPrecursorSpan + 1, 40, 0.0}, 150, 0.2, Verdict::Keep, false},
        {{K::Games, 13, 40, 0.0}, 150, 0.009, Verdict::Keep, false},
        {{K::Games, 13, -2, 0.0}, 150, 0.2, Verdict::Quit, false},
    };
    for (const Case& c : cases) {
        RuleSpread spread;
        spread.sd = c.sd;
        const Advice a = Advise(c.best, &spread, c.precursor);
        EXPECT_EQ(a.verdict, c.verdict) << c.best.n << " " << c.best.value;
        EXPECT_EQ(a.precursorLook, c.look) << c.best.n << " " << c.best.value;
    }
    // Without a spread, a gain is a gain.
    EXPECT_EQ(Advise({K::Games, 9, 0.1, 0.0}, nullptr, 0).verdict, Verdict::Keep);
    // Once medals are bought the gain and its spread are the yen's: ahead in
    // medals, behind in yen is a loss, and the yen's spread weighs the yen.
    RuleSpread spread;
    spread.sd = 1000;
    spread.sdYen = 20000;
    const StopRule behindInYen{K::Games, 900, 60, 0.0, -150.0, 0.0, 3.0};
    EXPECT_EQ(Advise(behindInYen, &spread, 0).verdict, Verdict::Keep);
    EXPECT_EQ(Advise(behindInYen, &spread, 0, true).verdict, Verdict::Quit);
    const StopRule smallInYen{K::Games, 900, 60, 0.0, 900.0, 0.0, 1.0};
    EXPECT_EQ(Advise(smallInYen, &spread, 0, true).verdict, Verdict::AboutEven);
    EXPECT_EQ(Advise({K::Games, 900, 60, 0.0, 1000.0, 0.0, 1.0}, &spread, 0, true).verdict, Verdict::Keep);
}

// A chance none (or all) of n trials showed has no standard error to speak
// of: its one-sided 95 % bound, (1 - p)^n = 0.05, about 3 / n.
TEST(Share, NoneSeenIsBoundedNotCertain) {
    EXPECT_NEAR(NoneSeenBound(1), 0.95, 1e-15);
    EXPECT_NEAR(NoneSeenBound(2000), 0.0014967, 1e-7);
    for (std::int64_t n : {1, 20, 2000, 1000000}) {
        const double p = NoneSeenBound(n);
        EXPECT_NEAR(std::pow(1 - p, static_cast<double>(n)), 0.05, 1e-9) << n;
        EXPECT_LT(p, 3.0 / static_cast<double>(n)) << n;
    }
    const ShareWithError none = ShareWithError::Of(0, 2000), all = ShareWithError::Of(2000, 2000),
                         some = ShareWithError::Of(3, 2000), empty = ShareWithError::Of(0, 0);
    EXPECT_TRUE(none.None() && !none.All());
    EXPECT_TRUE(all.All() && !all.None());
    EXPECT_FALSE(some.None() || some.All());
    EXPECT_FALSE(empty.None() || empty.All());
    EXPECT_EQ(none.se, 0.0);
    EXPECT_EQ(all.share, 1.0);
    EXPECT_NEAR(some.se, std::sqrt(0.0015 * 0.9985 / 2000), 1e-15);
    EXPECT_EQ(all.Bound(), NoneSeenBound(2000));
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
    EXPECT_EQ(a.sessionsBy[0] + a.sessionsBy[1] + a.sessionsBy[2] + a.sessionsBy[3] + a.sessionsBy[4] + a.sessionsBy[5],
              3000);
    EXPECT_NEAR(static_cast<double>(a.sessionsBy[0]) / 3000, 0.3, 4 * std::sqrt(0.3 * 0.7 / 3000));
}

// The last bin takes the shown probabilities of 90 % up to 100 % itself:
// with one setting possible, every session shows it at exactly 1 and the
// other five at 0.
TEST(Trust, TheLastBinHoldsACertainty) {
    Trust sure;
    ASSERT_TRUE(TrustOfEstimate({200, SettingPrior({0, 0, 0, 0, 0, 1}), 50, 3, 1}, sure));
    ASSERT_EQ(sure.bins.size(), 10u);
    const CalibrationBin& last = sure.bins.back();
    EXPECT_EQ(last.from, 0.9);
    EXPECT_EQ(last.to, 1.0);
    EXPECT_EQ(last.shown, 50);
    EXPECT_EQ(last.truths, 50);
    EXPECT_EQ(last.meanShown, 1.0);
    EXPECT_EQ(last.trueShare, 1.0);
    EXPECT_EQ(sure.bins[0].shown, 250);
    EXPECT_EQ(sure.bins[0].truths, 0);
    EXPECT_EQ(sure.right, 50);
    // A record long enough to tell 1 from 6 puts most sessions' true
    // setting in the last bin, and the bin's shares come true.
    Trust two;
    ASSERT_TRUE(TrustOfEstimate({4000, SettingPrior({1, 0, 0, 0, 0, 1}), 300, 4, 0}, two));
    EXPECT_GT(two.bins.back().shown, 40);
    EXPECT_NEAR(two.bins.back().trueShare, two.bins.back().meanShown, 4 * two.bins.back().se + 0.01);
    std::int64_t shown = 0;
    for (const CalibrationBin& bin : two.bins) shown += bin.shown;
    EXPECT_EQ(shown, 6 * 300);
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
