// The exact long-run and N-game figures against the machine played for tens
// of millions of games.
#include "model/theory.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "machine/slot.h"
#include "model/dynamics.h"
#include "model/likelihood.h"
#include "sampling.h"

namespace morvane {
namespace {

using test::Estimate;
using test::MeanOf;
using test::RatioOf;
using test::VarianceOf;

constexpr double kSE = 4.0;  // how many standard errors a simulation may miss by

// Built once: each takes a few milliseconds, many more under the sanitizers.
const SettingTheory& Theory(int setting) {
    static const std::vector<SettingTheory> all = [] {
        std::vector<SettingTheory> v;
        for (int s = 1; s <= 6; ++s) v.emplace_back(s);
        return v;
    }();
    return all.at(static_cast<std::size_t>(setting - 1));
}

TEST(Theory, LongRunAgreesWithAnIndependentComputation) {
    const SettingTheory &one = Theory(1), &six = Theory(6);
    EXPECT_NEAR(one.LongRun().payoutPercent, 93.2814, 5e-5);
    EXPECT_NEAR(one.LongRun().gamesPerBB, 329.508, 5e-4);
    EXPECT_NEAR(one.LongRun().setsPerBB, 4.8102, 5e-5);
    EXPECT_NEAR(six.LongRun().payoutPercent, 104.7464, 5e-5);
    EXPECT_NEAR(six.LongRun().gamesPerBB, 267.006, 5e-4);
    EXPECT_NEAR(six.LongRun().setsPerBB, 4.8106, 5e-5);
}

// The one long-run law of the state after a BB, the hall estimate's start,
// against theory's event chain, which solves for the same law as a linear
// system: one stretch from it ends in the same law of BB events, as long on
// average and as blue. The exact filter, small wins unseen, sees from it
// the chance of no BB so far that the model's steps give, ceiling included.
TEST(Theory, LongRunLawAfterABBIsTheEventChains) {
    for (int setting = 1; setting <= 6; ++setting) {
        const StateDynamics& d = Dynamics(setting);
        const LongRunFigures& f = Theory(setting).LongRun();
        StateLaw law = d.LongRunAfterBB(), next;
        EXPECT_NEAR(law.Total(), 1.0, 1e-14) << setting;
        RecordFilter filter(AllExactLikelihoods()[static_cast<std::size_t>(setting - 1)], LongRunStateAfterBB(setting),
                            0);
        BBEvents ended{};
        double meanLength = 0;
        for (std::int32_t game = 1; game <= kMaxGamesSinceBB; ++game) {
            BBEvents bb{};
            d.Game(law, game, next, bb);
            std::swap(law, next);
            for (int e = 0; e < kBBEvents; ++e) {
                ended[e] += bb[e];
                meanLength += game * bb[e];
            }
            if (game == 1 || game == 200 || game == kCeilingGames - 1 || game == kCeilingGames + 3) {
                ASSERT_TRUE(filter.AddUnseenGame());
                const double none = std::exp(filter.LogLikelihood());
                EXPECT_NEAR(none, law.Total(), 1e-12 * law.Total()) << setting << " game " << game;
                // Not just the mass: the filter's state, mode by precursor count, is the chain's.
                const StateLaw seen = LawOf(filter.State());
                for (int m = 0; m < kModes; ++m)
                    for (int c = 0; c < kLawCounts; ++c)
                        EXPECT_NEAR(seen.At(m, c), law.At(m, c) / law.Total(), 1e-12)
                            << setting << " game " << game << " mode " << m << " count " << c;
            } else {
                filter.AddUnseenGame();
            }
        }
        EXPECT_NEAR(law.Total(), 0.0, 1e-15) << setting;
        double blue = 0;
        for (int e = 0; e < kBBEvents; ++e) {
            EXPECT_NEAR(ended[e], d.LongRunEvents()[e], 1e-13) << setting << " event " << e;
            if (EventKind(e) == BlueBB) blue += ended[e];
        }
        EXPECT_NEAR(meanLength, f.gamesPerBB, 1e-11 * f.gamesPerBB) << setting;
        EXPECT_NEAR(blue, f.kindShare[0], 1e-12) << setting;
    }
}

TEST(Theory, SharesAreDistributions) {
    for (int setting = 1; setting <= 6; ++setting) {
        const LongRunFigures& f = Theory(setting).LongRun();
        auto total = [](const auto& a) {
            double s = 0;
            for (double v : a) s += v;
            return s;
        };
        EXPECT_NEAR(total(f.modeShare), 1.0, 1e-12);
        EXPECT_NEAR(total(f.kindShare), 1.0, 1e-12);
        EXPECT_NEAR(total(f.kmodeShare), 1.0, 1e-12);
        // Every game records a small win except the BB games.
        EXPECT_NEAR(total(f.koyakuPerGame) + f.bbPerGame, 1.0, 1e-12);
        EXPECT_NEAR(f.bbPerGame * f.gamesPerBB, 1.0, 1e-12);
    }
    // Higher settings pay more and hit more often.
    for (int setting = 2; setting <= 6; ++setting) {
        EXPECT_GT(Theory(setting).LongRun().payoutPercent, Theory(setting - 1).LongRun().payoutPercent);
        EXPECT_LT(Theory(setting).LongRun().gamesPerBB, Theory(setting - 1).LongRun().gamesPerBB);
    }
}

TEST(Theory, ShortRunsFollowTheFirstGames) {
    const SettingTheory& t = Theory(2);
    const RunExpectation none = t.ExpectedRun(0);
    EXPECT_EQ(none.balance, 0.0);
    EXPECT_EQ(none.bbGames, 0.0);
    // The first game starts in an ordinary mode: no BB, just the small win.
    const RunExpectation first = t.ExpectedRun(1);
    EXPECT_DOUBLE_EQ(first.balance, t.Model().netPerGame);
    EXPECT_EQ(first.bbGames, 0.0);
    EXPECT_EQ(first.sets, 0.0);
    // Game 1500 of a stretch without a BB plays one half of the time.
    const double at1500 = t.ExpectedRun(1500).bbGames - t.ExpectedRun(1499).bbGames;
    const double at1499 = t.ExpectedRun(1499).bbGames - t.ExpectedRun(1498).bbGames;
    EXPECT_GT(at1500, 1.5 * at1499);
}

// Followed game by game, a run's expectations grow at the rates that the
// stretch chain gives, the variance of the first hits included (there from
// the correlations between stretches, here from the second moment game by
// game); a settled run carries on at those rates.
TEST(Theory, GameByGameGrowthMeetsTheLongRunRates) {
    for (int setting : {1, 5}) {
        const SettingTheory& t = Theory(setting);
        const LongRunFigures& f = t.LongRun();
        const double mu = f.gamesPerBB;
        const RunExpectation a = t.ExpectedRun(20'000, false), b = t.ExpectedRun(30'000, false);
        EXPECT_NEAR((b.bbGames - a.bbGames) / 10'000, f.bbPerGame, 1e-10 * f.bbPerGame);
        EXPECT_NEAR((b.balance - a.balance) / 10'000, f.medalsPerGame, 1e-10);
        EXPECT_NEAR((b.sets - a.sets) / (b.bbGames - a.bbGames), f.setsPerBB, 1e-9);
        EXPECT_NEAR((b.bbGamesVariance - a.bbGamesVariance) / 10'000, f.intervalVariance / (mu * mu * mu),
                    1e-6 * f.bbPerGame);
        // A run from Reset starts in an ordinary mode, so it lags the rate.
        EXPECT_LT(a.bbGames, 20'000 * f.bbPerGame - 0.05);

        const RunExpectation settled = t.ExpectedRun(30'000);
        EXPECT_NEAR(settled.bbGames, b.bbGames, 1e-10 * b.bbGames);
        EXPECT_NEAR(settled.balance, b.balance, 1e-10 * std::abs(b.balance));
        EXPECT_NEAR(settled.sets, b.sets, 1e-10 * b.sets);
        EXPECT_NEAR(settled.bbGamesVariance, b.bbGamesVariance, 1e-7 * b.bbGamesVariance);
        // Every 32-bit length is answered, with the same lag.
        const double n = 2'147'483'647.0;
        const RunExpectation longest = t.ExpectedRun(2'147'483'647);
        EXPECT_NEAR(longest.bbGames - n * f.bbPerGame, a.bbGames - 20'000 * f.bbPerGame, 1e-5);
        EXPECT_NEAR(longest.balance - n * f.medalsPerGame, a.balance - 20'000 * f.medalsPerGame, 1e-2);
    }
}

// Tallies of consecutive batches of one long run.
struct Batches {
    std::vector<double> games, medals, hits, sets, red;
    std::array<std::vector<double>, kModes> modes;
    std::array<std::vector<double>, kKModes> kmodes;
    std::array<std::vector<double>, kKoyakuKinds> koyaku;
};

Batches PlayBatches(int setting, int batches, std::int64_t gamesPerBatch) {
    Slot slot(20240601u + static_cast<std::uint32_t>(setting));
    slot.SetFlevel(setting);
    Batches b;
    for (int i = 0; i < batches; ++i) {
        const std::int32_t before = slot.medalBalance;
        std::int64_t hits = 0, sets = 0, red = 0;
        std::array<std::int64_t, kModes> modes{};
        std::array<std::int64_t, kKModes> kmodes{};
        std::array<std::int64_t, kKoyakuKinds> koyaku{};
        slot.PlayGames(gamesPerBatch, [&](const GameRecord& r) {
            ++modes[static_cast<std::size_t>(r.mode)];
            if (r.bbKind != 0) {
                ++hits;
                sets += r.bbSets;
                red += r.bbKind == RedBB;
                ++kmodes[static_cast<std::size_t>(r.kmode)];
            } else {
                ++koyaku[static_cast<std::size_t>(r.koyaku)];
            }
        });
        b.games.push_back(static_cast<double>(gamesPerBatch));
        // The balance is a 32-bit counter; a batch moves it far less than 2^31.
        b.medals.push_back(static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(slot.medalBalance) -
                                                                         static_cast<std::uint32_t>(before))));
        b.hits.push_back(static_cast<double>(hits));
        b.sets.push_back(static_cast<double>(sets));
        b.red.push_back(static_cast<double>(red));
        for (int m = 0; m < kModes; ++m) b.modes[m].push_back(static_cast<double>(modes[m]));
        for (int k = 0; k < kKModes; ++k) b.kmodes[k].push_back(static_cast<double>(kmodes[k]));
        for (int k = 0; k < kKoyakuKinds; ++k) b.koyaku[k].push_back(static_cast<double>(koyaku[k]));
    }
    return b;
}

void ExpectWithin(const Estimate& e, double exact, const std::string& what) {
    EXPECT_NEAR(e.value, exact, kSE * e.se) << what << ": simulated " << e.value << " +- " << e.se;
}

// 400 batches of 1.5 million games: a batch is thousands of stretches long,
// so batches are as good as independent.
void CheckLongRun(int setting) {
    const LongRunFigures& f = Theory(setting).LongRun();
    const Batches b = PlayBatches(setting, 400, 1'500'000);
    ExpectWithin(RatioOf(b.medals, b.games), f.medalsPerGame, "medals per game");
    ExpectWithin(RatioOf(b.hits, b.games), f.bbPerGame, "BB games per game");
    ExpectWithin(RatioOf(b.sets, b.hits), f.setsPerBB, "sets per BB");
    ExpectWithin(RatioOf(b.red, b.hits), f.kindShare[RedBB - 1], "red share");
    for (int m = 0; m < kModes; ++m)
        ExpectWithin(RatioOf(b.modes[m], b.games), f.modeShare[m], "mode " + std::to_string(m));
    for (int k = 0; k < kKModes; ++k)
        ExpectWithin(RatioOf(b.kmodes[k], b.hits), f.kmodeShare[k], "continuation mode " + std::to_string(k));
    for (int k = 0; k < kKoyakuKinds; ++k)
        ExpectWithin(RatioOf(b.koyaku[k], b.games), f.koyakuPerGame[k], "small win " + std::to_string(k));
}

TEST(TheorySimulation, LongRunMatchesTheMachineSetting1Slow) { CheckLongRun(1); }
TEST(TheorySimulation, LongRunMatchesTheMachineSetting6Slow) { CheckLongRun(6); }

// Runs of N games from Reset with precursor count 0, each its own sample.
// Returns the simulated mean of the BB games.
Estimate CheckRuns(int setting, std::int32_t games, int runs) {
    const SettingTheory& t = Theory(setting);
    const RunExpectation exact = t.ExpectedRun(games);
    Slot slot(777u + static_cast<std::uint32_t>(setting));
    std::vector<double> balance, hits, sets;
    for (int i = 0; i < runs; ++i) {
        slot.precursorCount = 0;
        slot.SetFlevel(setting);
        std::int64_t h = 0, s = 0;
        slot.PlayGames(games, [&](const GameRecord& r) {
            if (r.bbKind != 0) {
                ++h;
                s += r.bbSets;
            }
        });
        balance.push_back(slot.medalBalance);
        hits.push_back(static_cast<double>(h));
        sets.push_back(static_cast<double>(s));
    }
    const std::string where = "setting " + std::to_string(setting) + ", " + std::to_string(games) + " games";
    const Estimate hit = MeanOf(hits);
    ExpectWithin(MeanOf(balance), exact.balance, where + " balance");
    ExpectWithin(hit, exact.bbGames, where + " BB games");
    ExpectWithin(VarianceOf(hits), exact.bbGamesVariance, where + " variance of the BB games");
    ExpectWithin(MeanOf(sets), exact.sets, where + " sets");
    return hit;
}

TEST(TheorySimulation, RunsFromResetMatchTheMachineSlow) {
    const Estimate early = CheckRuns(1, 1600, 40'000);
    // The start in an ordinary mode and the first ceiling show: the
    // long-run rate times N misses the machine by many standard errors.
    EXPECT_GT(std::abs(early.value - 1600 * Theory(1).LongRun().bbPerGame), kSE * early.se);
    CheckRuns(1, 3000, 30'000);
    CheckRuns(6, 3000, 30'000);
}

}  // namespace
}  // namespace morvane
