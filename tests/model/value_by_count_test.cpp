// The expected value by game count: against an independent implementation's
// values, against the long-run figures the stretch chain of `theory` gives,
// against its own law of the net, and against the machine itself.
#include "model/value_by_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "machine/slot.h"
#include "model/net_law_by_count.h"
#include "model/theory.h"
#include "sampling.h"
#include "sessions/sampled_machine.h"

namespace morvane {
namespace {

using test::MeanOf;

// Test vectors: tests/reference/independent_results.md ("Expected values"), setting 3, from an
// independent implementation.
TEST(ValueByCount, MatchesTheIndependentImplementation) {
    const CountValueTable t = ValueByGameCount(3, {}, false);
    struct Row {
        std::int32_t g;
        double ev, games, ceiling;
    };
    for (const Row& want : {Row{0, -4.626804, 292.545024, 0.007090201}, Row{800, 18.934387, 275.741640, 0.101311116},
                            Row{1531, 463.099229, 1.000000, 1.000000000}}) {
        const CountValueRow& r = t.rows[static_cast<std::size_t>(want.g)];
        EXPECT_NEAR(r.evMedals, want.ev, 1e-6 * std::max(1.0, std::abs(want.ev))) << want.g;
        EXPECT_NEAR(r.evGames, want.games, 1e-6 * want.games) << want.g;
        EXPECT_NEAR(r.pCeiling, want.ceiling, 1e-9) << want.g;
    }
    ASSERT_EQ(t.rows.size(), static_cast<std::size_t>(kMaxGamesSinceBB));
    EXPECT_EQ(t.rows.back().gamesSince, kMaxGamesSinceBB - 1);
}

// Right after a BB the stretch ahead is a whole one in the long run: its
// games are the games per BB and its net their share of the long-run rate
// (renewal-reward), as theory's event chain gives them by a linear solve
// rather than by stepping back game by game.
TEST(ValueByCount, StartOfAStretchIsTheLongRunRate) {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const SettingTheory theory(s);
        const CountValueTable t = ValueByGameCount(s, {}, false);
        const CountValueRow& r = t.rows[0];
        const LongRunFigures& f = theory.LongRun();
        EXPECT_NEAR(r.reach, 1.0, 1e-12);
        EXPECT_NEAR(r.evGames, f.gamesPerBB, 1e-12 * f.gamesPerBB) << s;
        EXPECT_NEAR(r.evMedals, f.medalsPerGame * f.gamesPerBB, 1e-12 * f.gamesPerBB) << s;
        // The ceiling decides more often the longer the drought; past 1500
        // games it has decided.
        for (std::size_t g = 1; g < t.rows.size(); ++g) EXPECT_GE(t.rows[g].pCeiling, t.rows[g - 1].pCeiling - 1e-12);
        // The first counter with a gain, and the one from which it stays
        // (狙い目): at setting 4 a stretch from the start gains, but not one
        // from a few hundred games on.
        ASSERT_TRUE(t.firstPositive && t.positiveFrom);
        for (const CountValueRow& row : t.rows) {
            if (row.gamesSince < *t.firstPositive) {
                EXPECT_LE(row.evMedals, 0) << row.gamesSince;
            }
            if (row.gamesSince >= *t.positiveFrom) {
                EXPECT_GT(row.evMedals, 0) << row.gamesSince;
            }
        }
        EXPECT_GT(t.rows[static_cast<std::size_t>(*t.firstPositive)].evMedals, 0);
        if (*t.positiveFrom > 0) {
            EXPECT_LE(t.rows[static_cast<std::size_t>(*t.positiveFrom) - 1].evMedals, 0);
        }
        if (s == 4) {
            EXPECT_LT(*t.firstPositive, *t.positiveFrom);
        }
        // Alive after game 1499, the next game is the ceiling's.
        EXPECT_EQ(t.rows[kCeilingGames - 1].pCeiling, 1.0);
        EXPECT_LT(t.rows[kCeilingGames - 2].pCeiling, 1.0);
    }
}

// The law of the net is a distribution whose mean is the exact mean, and
// the quantiles shown are where its CDF crosses.
TEST(ValueByCount, LawOfTheNetAgreesWithTheMeans) {
    for (int s : {1, 6}) {
        const CountValueTable t = ValueByGameCount(s, {}, false);
        NetLawByCount net(Dynamics(s));
        const CountValueTable spread = ValueByGameCount(s, {}, true);
        for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
            net.StepDown();
            ASSERT_EQ(net.Count(), g);
            if (g % 97 != 0 && g != kMaxGamesSinceBB - 1 && g != kCeilingGames - 1) continue;
            const CountValueRow& row = t.rows[static_cast<std::size_t>(g)];
            EXPECT_NEAR(net.Reach(), row.reach, 1e-14) << g;
            EXPECT_NEAR(net.Mean(), row.evMedals, 1e-8 * (1 + std::abs(row.evMedals))) << "setting " << s << " g " << g;
            EXPECT_EQ(net.Cdf(-5000), 0.0);
            EXPECT_NEAR(net.Cdf(200000), 1.0, 1e-12);
            const NetSpread& q = *spread.rows[static_cast<std::size_t>(g)].spread;
            for (const auto& [p, x] : std::vector<std::pair<double, std::int64_t>>{
                     {0.10, q.p10}, {0.25, q.p25}, {0.50, q.median}, {0.75, q.p75}, {0.90, q.p90}}) {
                EXPECT_GE(net.Cdf(x), p) << g;
                EXPECT_LT(net.Cdf(x - 1), p) << g;
            }
            EXPECT_NEAR(q.pAhead, 1 - net.Cdf(0), 1e-15);
            EXPECT_EQ(spread.rows[static_cast<std::size_t>(g)].evMedals, row.evMedals);
            // The CDF at neighbouring nets in one pass is the CDF net by
            // net: in the middle, at the lowest nets and where it is 1.
            for (const std::int64_t from : {q.p10 - 2, q.median, std::int64_t{0}, std::int64_t{-5000},
                                            std::int64_t{-3 * kMaxGamesSinceBB}, std::int64_t{200000}})
                for (int n = 1; n <= NetLawByCount::kMostCdfs; ++n) {
                    std::array<double, NetLawByCount::kMostCdfs> v{};
                    net.Cdfs(from, n, v.data());
                    for (int j = 0; j < n; ++j)
                        EXPECT_NEAR(v[static_cast<std::size_t>(j)], net.Cdf(from + j), 1e-15)
                            << g << " " << from << "+" << j;
                }
            // The tails dropped on the way hold no chance a figure could
            // show (six decimals at most).
            EXPECT_LT(net.Dropped(), 1e-10) << g;
        }
        EXPECT_EQ(spread.firstPositive, t.firstPositive);
    }
}

// Storage is kept from one law to the next: a law that stopped half way or
// a wider setting's leaves nothing in the next one.
TEST(ValueByCount, LawOfTheNetIsTheSameWhateverCameBefore) {
    const auto trace = [](NetLawByCount& net) {
        std::vector<double> v;
        while (net.Count() > 0) {
            net.StepDown();
            if (net.Count() % 61 != 0 && net.Count() != kCeilingGames - 1) continue;
            for (const std::int64_t y : {-900, -150, 0, 40, 700}) v.push_back(net.Cdf(y));
            v.push_back(net.Dropped());
        }
        return v;
    };
    std::vector<double> want;
    {
        NetLawByCount half(Dynamics(6));
        for (int i = 0; i < 900; ++i) half.StepDown();
        NetLawByCount first(Dynamics(1));
        want = trace(first);
    }
    NetLawByCount again(Dynamics(1));
    EXPECT_EQ(trace(again), want);
    {
        NetLawByCount wide(Dynamics(6));
        trace(wide);
    }
    NetLawByCount after(Dynamics(1));
    EXPECT_EQ(trace(after), want);
}

// A counter is evidence: the mixture starts at the prior and leans towards
// the settings whose stretches reach the counter more often. A prior on one
// setting is that setting's table.
TEST(ValueByCount, MixtureWeighsTheSettingsByTheCounter) {
    const SettingPrior prior({1, 0, 0, 0, 0, 3});
    const CountValue v = ValueByGameCount({prior, {56}, false});
    EXPECT_FALSE(v.bySetting[1].has_value());
    ASSERT_TRUE(v.bySetting[0] && v.bySetting[5]);
    EXPECT_NEAR(v.weights[0][0], 0.25, 1e-15);
    EXPECT_NEAR(v.weights[0][5], 0.75, 1e-15);
    for (std::int32_t g : {0, 300, 1200, 1531}) {
        const auto gi = static_cast<std::size_t>(g);
        const double r1 = v.bySetting[0]->rows[gi].reach, r6 = v.bySetting[5]->rows[gi].reach;
        EXPECT_NEAR(v.weights[gi][0], 0.25 * r1 / (0.25 * r1 + 0.75 * r6), 1e-12);
        const double ev =
            v.weights[gi][0] * v.bySetting[0]->rows[gi].evMedals + v.weights[gi][5] * v.bySetting[5]->rows[gi].evMedals;
        EXPECT_NEAR(v.mixed.rows[gi].evMedals, ev, 1e-9);
        // 5.6 medals per 100 yen.
        EXPECT_NEAR(v.mixed.rows[gi].evYen, v.mixed.rows[gi].evMedals * 1000 / 56, 1e-9);
    }
    // Setting 1 stretches run longer, so a long drought points to it.
    EXPECT_GT(v.weights[1200][0], v.weights[0][0]);
    // On one thread and on all of them alike.
    const CountValue one = ValueByGameCount({SettingPrior({0, 0, 0, 0, 0, 1}), {}, true, 1});
    const CountValueTable six = ValueByGameCount(6, {}, true);
    for (std::size_t g = 0; g < six.rows.size(); ++g) {
        EXPECT_EQ(one.mixed.rows[g].evMedals, six.rows[g].evMedals);
        const NetSpread &a = *one.mixed.rows[g].spread, &b = *six.rows[g].spread;
        EXPECT_EQ(std::tie(a.p10, a.p25, a.median, a.p75, a.p90, a.pAhead),
                  std::tie(b.p10, b.p25, b.median, b.p75, b.p90, b.pAhead))
            << g;
    }
    EXPECT_EQ(six.positiveFrom, std::optional<std::int32_t>(0));
    EXPECT_EQ(Exchange{}.Yen(3), 60.0);  // 20 yen a medal
}

// The six settings' laws and the mixture's share the threads by setting and
// by figure: any number of them gives the same table, to the last bit. A
// stop asked before the laws leaves the means whole and says so.
TEST(ValueByCount, SixSettingsMixedAreTheSameOnAnyThreads) {
    const SettingPrior prior({4, 3, 2, 1, 1, 1});
    const CountValue one = ValueByGameCount({prior, {}, true, 1});
    ASSERT_FALSE(one.stopped);
    const auto same = [](const CountValueTable& a, const CountValueTable& b, int threads) {
        ASSERT_EQ(a.rows.size(), b.rows.size());
        for (std::size_t g = 0; g < a.rows.size(); ++g) {
            const CountValueRow &x = a.rows[g], &y = b.rows[g];
            ASSERT_TRUE(x.spread && y.spread);
            const NetSpread &p = *x.spread, &q = *y.spread;
            ASSERT_EQ(std::tie(x.evMedals, x.evGames, x.pCeiling, p.p10, p.p25, p.median, p.p75, p.p90, p.pAhead),
                      std::tie(y.evMedals, y.evGames, y.pCeiling, q.p10, q.p25, q.median, q.p75, q.p90, q.pAhead))
                << "setting " << a.setting << " g " << g << " on " << threads << " threads";
        }
        EXPECT_EQ(a.positiveFrom, b.positiveFrom);
    };
    for (int threads : {2, 4, 6}) {
        const CountValue many = ValueByGameCount({prior, {}, true, threads});
        ASSERT_FALSE(many.stopped);
        for (std::size_t s = 0; s < kMaxSetting; ++s) same(*one.bySetting[s], *many.bySetting[s], threads);
        same(one.mixed, many.mixed, threads);
        EXPECT_EQ(one.dropped, many.dropped);
    }
    const std::atomic<bool> stop{true};
    const CountValue stopped = ValueByGameCount({prior, {}, true, 2, &stop});
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.mixed.rows[700].evMedals, one.mixed.rows[700].evMedals);
}

// What the table says of one counter against sessions of the machine.
struct Sampled {
    std::vector<double> net, games, ceiling;
};

void ExpectAgrees(const CountValueRow& row, const Sampled& got, int setting, double seLimit) {
    const auto where = [&] { return "setting " + std::to_string(setting) + " g " + std::to_string(row.gamesSince); };
    const test::Estimate net = MeanOf(got.net), games = MeanOf(got.games), ceiling = MeanOf(got.ceiling);
    EXPECT_NEAR(net.value, row.evMedals, 4 * net.se) << where();
    EXPECT_LT(net.se, seLimit * std::abs(row.evMedals)) << where();
    EXPECT_NEAR(games.value, row.evGames, 4 * games.se) << where();
    EXPECT_NEAR(ceiling.value, row.pCeiling, 4 * ceiling.se + 1e-9) << where();
    // The quantiles: the share at or below each, and just below it.
    const NetSpread& q = *row.spread;
    const double n = static_cast<double>(got.net.size());
    const auto below = [&](double x) {
        return static_cast<double>(std::count_if(got.net.begin(), got.net.end(), [&](double v) { return v <= x; })) / n;
    };
    for (const auto& [p, x] : std::vector<std::pair<double, std::int64_t>>{
             {0.10, q.p10}, {0.25, q.p25}, {0.50, q.median}, {0.75, q.p75}, {0.90, q.p90}}) {
        const double se = std::sqrt(p * (1 - p) / n);
        EXPECT_GE(below(static_cast<double>(x)), p - 4 * se) << where() << " p " << p;
        EXPECT_LE(below(static_cast<double>(x) - 1), p + 4 * se) << where() << " p " << p;
    }
    EXPECT_NEAR(1 - below(0), q.pAhead, 4 * std::sqrt(q.pAhead * (1 - q.pAhead) / n) + 1e-9) << where();
}

// Small counters from the machine's own stretches in one long run, which
// start in the long-run law after a BB by themselves.
TEST(ValueByCountSimulated, StretchesOfALongRun) {
    const std::array<std::int32_t, 3> counters = {0, 100, 200};
    for (int s : {1, 6}) {
        const CountValueTable t = ValueByGameCount(s, {}, true);
        std::array<Sampled, 3> got;
        Slot slot(900u + static_cast<unsigned>(s));
        slot.SetFlevel(s);
        slot.Reset();
        std::array<std::int32_t, 3> at{};  // balance at each counter in this stretch
        std::array<bool, 3> reached{};
        bool first = true;  // the first stretch starts from a reset
        std::int32_t lastBB = 0;
        slot.PlayGames(120'000'000, [&](const GameRecord& r) {
            if (r.bbKind == NoBB) {
                for (std::size_t i = 1; i < counters.size(); ++i)
                    if (r.gamesSinceBB == counters[i]) {
                        reached[i] = true;
                        at[i] = r.medalBalance;
                    }
                return;
            }
            if (!first) {
                at[0] = lastBB;
                reached[0] = true;
                for (std::size_t i = 0; i < counters.size(); ++i) {
                    if (!reached[i]) continue;
                    got[i].net.push_back(r.medalBalance - at[i]);
                    got[i].games.push_back(r.gamesSinceBB - counters[i]);
                    got[i].ceiling.push_back(r.gamesSinceBB >= kCeilingGames);
                }
            }
            first = false;
            reached = {};
            lastBB = r.medalBalance;
        });
        for (std::size_t i = 0; i < counters.size(); ++i)
            ExpectAgrees(t.rows[static_cast<std::size_t>(counters[i])], got[i], s, 0.1);
    }
}

// Large counters, which long runs seldom reach: machines started in the
// state's exact law at the counter and played until the BB's sets are over.
TEST(ValueByCountSimulated, MachinesStartedAtTheCounter) {
    for (int s : {1, 6}) {
        const CountValueTable t = ValueByGameCount(s, {}, true);
        const StateDynamics& d = Dynamics(s);
        StateLaw law = d.LongRunAfterBB(), next;
        SessionMachines machines;
        std::uint32_t seed = 77;
        for (std::int32_t g = 0; g < kMaxGamesSinceBB; ++g) {
            if (g == 800 || g == 1200 || g == 1499 || g == 1531) {
                const std::int64_t samples = g == 800 ? 60'000 : g == 1531 ? 20'000 : 250'000;
                const double total = law.Total();
                HiddenState h;
                for (int c = 0; c < kLawCounts; ++c) {
                    h.pre[static_cast<std::size_t>(c)] = law.At(Precursor, c) / total;
                    for (int m = 0; m < kModes; ++m)
                        if (m != Precursor)
                            h.layer[static_cast<std::size_t>(c)][static_cast<std::size_t>(m)] = law.At(m, c) / total;
                }
                Sampled got;
                for (std::int64_t i = 0; i < samples; ++i, ++seed) {
                    SessionDraws draws(seed, 0);
                    Slot& slot = machines.Placed(s, DrawHidden(h, draws.Uniform()), g, seed);
                    do slot.Play();
                    while (slot.bbKind == NoBB);
                    got.net.push_back(slot.medalBalance);
                    got.games.push_back(slot.playCount);
                    got.ceiling.push_back(slot.gamesSinceBB >= kCeilingGames);
                }
                ExpectAgrees(t.rows[static_cast<std::size_t>(g)], got, s, g == 800 ? 0.2 : 0.01);
            }
            BBEvents gone{};
            d.Game(law, g + 1, next, gone);
            std::swap(law, next);
        }
    }
}

}  // namespace
}  // namespace morvane
