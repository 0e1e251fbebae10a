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
#include "model/bb_net_law.h"
#include "model/net_law_by_count.h"
#include "model/stretch_sampler.h"
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
            // Bands of sums, each with windows of nets, in one pass: the
            // CDF band by band and net by net, to the rounding of sums of
            // some thousands of terms added in another order. Bands as purchases cut them
            // (lend 50 and 46, one past either end of the sums, one empty),
            // windows in the middle, where the BB's CDF is 1 or 0 for every
            // sum, and at 0; the last window alone or of four nets.
            std::vector<NetLawByCount::SumBand> bands;
            for (const std::int64_t lend : {50, 46}) {
                std::int64_t hi = lend == 50 ? 4000 : 53;
                for (std::int64_t lo = 3 - lend; hi > net.LowestSum() - 200; lo -= lend) {
                    bands.push_back({lo, hi});
                    hi = lo;
                }
            }
            bands.push_back({-3 * kMaxGamesSinceBB - 500, net.LowestSum()});
            bands.push_back({7, 7});
            const std::vector<std::int64_t> nets = {q.median - 2, q.p90, -60000, 60000, 0};
            for (int windows = 1; windows <= 3; ++windows)
                for (const bool alone : {false, true}) {
                    const auto wide = static_cast<std::size_t>(windows);
                    std::vector<std::int64_t> from;
                    for (std::size_t b = 0; b < bands.size(); ++b)
                        for (std::size_t w = 0; w < wide; ++w) from.push_back(nets[(b + w) % nets.size()] - b);
                    std::vector<double> got(from.size() * NetLawByCount::kMostCdfs, -1.0);
                    net.CdfsInBands(bands, from.data(), windows, alone, got.data());
                    for (std::size_t b = 0; b < bands.size(); ++b)
                        for (std::size_t w = 0; w < wide; ++w) {
                            const std::size_t at = b * wide + w;
                            const int n = alone && w + 1 == wide ? 1 : NetLawByCount::kMostCdfs;
                            std::array<double, NetLawByCount::kMostCdfs> want{};
                            net.CdfsOver(bands[b].lo, bands[b].hi, from[at], n, want.data());
                            for (int j = 0; j < n; ++j)
                                ASSERT_NEAR(got[at * NetLawByCount::kMostCdfs + static_cast<std::size_t>(j)],
                                            want[static_cast<std::size_t>(j)], 1e-14)
                                    << "g " << g << " band " << bands[b].lo << ".." << bands[b].hi << " net "
                                    << from[at] + j << " of " << windows << (alone ? " alone" : "");
                        }
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
    // The lowest balance's law keeps its storage the same way.
    const auto lows = [](MinLawByCount& low) {
        std::vector<double> v;
        while (low.Count() > 0) {
            low.StepDown();
            if (low.Count() % 61 != 0 && low.Count() != kCeilingGames - 1) continue;
            for (const std::int64_t y : {-900, -150, -47, 1}) v.push_back(low.Below(y));
            v.push_back(low.ExpectedPurchases(0, 50));
            v.push_back(low.Dropped());
        }
        return v;
    };
    std::vector<double> wantLows;
    {
        MinLawByCount half(Dynamics(6));
        for (int i = 0; i < 900; ++i) half.StepDown();
        MinLawByCount first(Dynamics(1));
        wantLows = lows(first);
    }
    MinLawByCount lowAgain(Dynamics(1));
    EXPECT_EQ(lows(lowAgain), wantLows);
    // Every stretch plays its first game from a balance of 0, at or above
    // its lowest.
    EXPECT_NEAR(wantLows[wantLows.size() - 3], 1.0, 1e-12);
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
    // The law in yen with cash: the mixture's CDF is its settings' weighed,
    // so its median lies between theirs; a prior on one setting mixes to
    // that setting's law.
    const HallMoney cash{Exchange{56}, 50, 0};
    const CountValue both = ValueByGameCount({prior, cash, true, 1});
    const CountValue alone = ValueByGameCount({SettingPrior({0, 0, 0, 0, 0, 1}), cash, true, 1});
    for (std::size_t g = 0; g < both.mixed.rows.size(); ++g) {
        const double m1 = both.bySetting[0]->rows[g].yenSpread->median,
                     m6 = both.bySetting[5]->rows[g].yenSpread->median;
        const double mix = both.mixed.rows[g].yenSpread->median;
        ASSERT_GE(mix, std::min(m1, m6)) << g;
        ASSERT_LE(mix, std::max(m1, m6)) << g;
        const YenSpread &a = *alone.mixed.rows[g].yenSpread, &b = *alone.bySetting[5]->rows[g].yenSpread;
        ASSERT_EQ(a.median, b.median) << g;
        ASSERT_NEAR(a.pAhead, b.pAhead, 1e-15) << g;
        ASSERT_NEAR(a.medianSE, b.medianSE, 1e-9) << g;
        ASSERT_NEAR(a.pAheadSE, b.pAheadSE, 1e-15) << g;
    }
}

// At 等価 a purchase loses nothing, so held all and cash alike give the
// medals' figures at 20 yen a medal, to the last bit; cash still buys, and
// the more medals held the fewer. Held all at 5.6枚, the yen's law is the
// net's at 1000/56 yen a medal.
TEST(ValueByCount, AtParTheYenAreTheMedalsAtTwenty) {
    const CountValue today = ValueByGameCount({SettingPrior({1, 0, 0, 0, 0, 1}), {}, true, 2});
    const HallMoney cash{Exchange{50}, 50, 0}, held{Exchange{50}, 50, 200};
    const CountValue atPar = ValueByGameCount({SettingPrior({1, 0, 0, 0, 0, 1}), cash, true, 2});
    const CountValue more = ValueByGameCount({SettingPrior({1, 0, 0, 0, 0, 1}), held, false, 2});
    EXPECT_EQ(cash.PurchaseLoss(), 0.0);
    for (const auto& [a, b, c] : {std::tie(*today.bySetting[0], *atPar.bySetting[0], *more.bySetting[0]),
                                  std::tie(*today.bySetting[5], *atPar.bySetting[5], *more.bySetting[5]),
                                  std::tie(today.mixed, atPar.mixed, more.mixed)}) {
        EXPECT_EQ(a.positiveFrom, b.positiveFrom);
        EXPECT_EQ(a.firstPositive, b.firstPositive);
        for (std::size_t g = 0; g < a.rows.size(); ++g) {
            const CountValueRow &x = a.rows[g], &y = b.rows[g];
            ASSERT_EQ(x.evYen, Exchange{}.Yen(x.evMedals)) << g;  // as the medals alone gave it
            ASSERT_EQ(y.evYen, x.evYen) << g;
            EXPECT_EQ(x.evPurchases, 0.0);
            // Every stretch buys at least once from nothing; some dip far.
            EXPECT_GE(y.evPurchases, 1.0 - 1e-9) << g;
            EXPECT_LT(c.rows[g].evPurchases, y.evPurchases) << g;
            ASSERT_EQ(x.yenSpread->median, 20.0 * static_cast<double>(x.spread->median)) << g;
            ASSERT_EQ(y.yenSpread->median, x.yenSpread->median) << g;
            ASSERT_EQ(y.yenSpread->pAhead, x.spread->pAhead) << g;
            EXPECT_EQ(y.yenSpread->pAheadSE, 0.0);
        }
    }
    const CountValueTable all56 = ValueByGameCount(6, HallMoney{Exchange{56}}, true);
    for (const CountValueRow& r : all56.rows) {
        ASSERT_EQ(r.yenSpread->median, std::ceil(static_cast<double>(r.spread->median) * 1000 / 56)) << r.gamesSince;
        ASSERT_EQ(r.yenSpread->pAhead, r.spread->pAhead);
    }
}

// What buying comes to, by the rule itself: before each game, while fewer
// than 3 medals are held, buy a lend's worth; against the lowest balance.
TEST(ValueByCount, PurchasesFollowTheLowestBalance) {
    struct Case {
        std::vector<std::int64_t> balances;  // before each game, from 0
        std::optional<std::int64_t> held;
        double lend;
    };
    const std::vector<Case> cases = {
        {{0, -3, -6, -2, -9, -12, -5}, 0, 50},      // one purchase covers all
        {{0, -3, -47, -48, -50, -44, -98}, 0, 50},  // 3 - (-48) = 51 needs a second
        {{0, -3, -47, -48, -50, -44, -98}, 3, 50},  // with 3 held, -48 is still covered
        {{0, 7, 14, 4, 1}, 0, 50},                  // the first game's own purchase
        {{0, 7, 14, 4, 1}, 5, 50},                  // never short
        {{0, -3, -6, -9, -12, -15, -200}, 10, 46},  // lend 46 at 10 held
        {{0, -100, -1000}, std::nullopt, 50},       // all held: none
    };
    for (const Case& c : cases) {
        const HallMoney money{Exchange{56}, c.lend, c.held};
        std::int64_t bought = 0, lowest = 0;
        if (c.held) {
            // Game by game: the medals in hand are held + balance + bought.
            for (const std::int64_t b : c.balances) {
                while (*c.held + b + bought * static_cast<std::int64_t>(c.lend) < 3) ++bought;
                lowest = std::min(lowest, b);
            }
        }
        for (const std::int64_t b : c.balances) lowest = std::min(lowest, b);
        EXPECT_EQ(PurchasesFor(money, lowest), bought) << "lowest " << lowest;
    }
    // The expected purchases from the lowest balance's law in one pass are
    // its chances below each purchase's level added up, level by level.
    // Without the law put together, from its parts, the same.
    for (int setting : {1, 6}) {
        MinLawByCount low(Dynamics(setting)), parts(Dynamics(setting), false);
        EXPECT_THROW(parts.Below(0), std::logic_error);
        while (low.Count() > 0) {
            low.StepDown();
            parts.StepDown();
            if (low.Count() % 211 != 0 && low.Count() != kCeilingGames - 1 && low.Count() < kCeilingGames - 3) continue;
            for (const Case& c : cases) {
                if (!c.held) continue;
                double want = 0;
                for (int k = 1;; ++k) {
                    const double level = std::ceil(3.0 - static_cast<double>(*c.held) - (k - 1) * c.lend);
                    const double below = low.Below(static_cast<std::int64_t>(level));
                    if (below == 0) break;
                    want += below;
                }
                EXPECT_NEAR(low.ExpectedPurchases(static_cast<double>(*c.held), c.lend), want, 1e-13 * want)
                    << "setting " << setting << " g " << low.Count() << " held " << *c.held << " lend " << c.lend;
                EXPECT_NEAR(parts.ExpectedPurchases(static_cast<double>(*c.held), c.lend), want, 1e-13 * want)
                    << "setting " << setting << " g " << low.Count() << " held " << *c.held << " lend " << c.lend;
            }
        }
    }
    // The most medals a yen allows with purchases: the quotient's floor as
    // division gives it, also where a yen is a whole number of medals (at
    // 5.6枚 every 125 yen, where an inverse could round the other way).
    for (const double exchange : {56.0, 50.0, 52.5, 47.0, 61.3}) {
        const MedalsUpTo upTo(Exchange{exchange});
        const HallMoney m{Exchange{exchange}, 50, 0};
        for (std::int64_t y = -20000; y <= 20000; y += 125)
            for (const std::int64_t shift : {0, 1, -1, 7})
                for (int k = 0; k <= 60; k += 3) {
                    const double yen = static_cast<double>(y + shift), loss = k * m.PurchaseLoss();
                    ASSERT_EQ(upTo(yen, loss),
                              static_cast<std::int64_t>(std::floor((yen + loss) / m.exchange.YenPerMedal())))
                        << exchange << " " << yen << " " << k;
                }
    }
    // Yen: the net at the exchange less each purchase's loss.
    const HallMoney money{Exchange{56}, 50, 0};
    EXPECT_NEAR(money.PurchaseLoss(), 1000 - 50 * 1000.0 / 56, 1e-12);
    EXPECT_NEAR(money.Yen(112, 2), 2000 - 2 * money.PurchaseLoss(), 1e-9);
    // Lending nothing would buy for ever.
    EXPECT_THROW(ValueByGameCount(1, HallMoney{Exchange{56}, 0, 0}, false), std::invalid_argument);
    EXPECT_NO_THROW(ValueByGameCount(1, HallMoney{Exchange{56}, 0, std::nullopt}, false));
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
    // With cash at 5.6枚 the yen's law draws stretches: from seeds of their
    // own, so the threads change nothing there either.
    const HallMoney cash{Exchange{56}, 50, 0};
    const CountValue cashOne = ValueByGameCount({prior, cash, true, 1});
    const CountValue cashThree = ValueByGameCount({prior, cash, true, 3});
    for (std::size_t s = 0; s <= kMaxSetting; ++s) {
        const CountValueTable& a = s < kMaxSetting ? *cashOne.bySetting[s] : cashOne.mixed;
        const CountValueTable& b = s < kMaxSetting ? *cashThree.bySetting[s] : cashThree.mixed;
        for (std::size_t g = 0; g < a.rows.size(); ++g) {
            const CountValueRow &x = a.rows[g], &y = b.rows[g];
            const YenSpread &p = *x.yenSpread, &q = *y.yenSpread;
            ASSERT_EQ(std::tie(x.evPurchases, x.evYen, x.yenPerHour, p.median, p.pAhead, p.medianSE, p.pAheadSE),
                      std::tie(y.evPurchases, y.evYen, y.yenPerHour, q.median, q.pAhead, q.medianSE, q.pAheadSE))
                << "table " << s << " g " << g;
        }
        EXPECT_EQ(a.positiveFrom, b.positiveFrom);
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

// The stretches the yen's law draws follow the chain the exact figures
// come from: from the state's law at a counter, their games (the BB game
// once) and their net (the pre-BB sum, then the BB of its kind with its
// game's own small win) have the table's means.
TEST(ValueByCountSimulated, StretchesDrawnForTheYen) {
    for (int s : {1, 6}) {
        const CountValueTable t = ValueByGameCount(s, {}, false);
        const StateDynamics& d = Dynamics(s);
        const StretchSampler sampler(d);
        const auto& bb = BBNetLaw::ForSetting(s);
        StateLaw law = d.LongRunAfterBB(), next;
        std::vector<std::int32_t> balances;
        for (std::int32_t g = 0; g <= 1400; ++g) {
            if (g == 0 || g == 700 || g == 1400) {
                std::vector<double> games, net;
                std::uint64_t rng = 17u + static_cast<std::uint64_t>(s * 10'000 + g);
                for (int i = 0; i < 100'000; ++i) {
                    int mode = 0, count = 0;
                    StretchSampler::DrawState(law, NextUniform(rng), mode, count);
                    const int kind = sampler.Play(mode, count, g, rng, balances);
                    games.push_back(static_cast<double>(balances.size()));
                    net.push_back(balances.back() + bb[static_cast<std::size_t>(kind)].Mean());
                }
                const CountValueRow& row = t.rows[static_cast<std::size_t>(g)];
                const test::Estimate meanGames = MeanOf(games), meanNet = MeanOf(net);
                EXPECT_NEAR(meanGames.value, row.evGames, 4 * meanGames.se) << "setting " << s << " g " << g;
                EXPECT_NEAR(meanNet.value, row.evMedals, 4 * meanNet.se) << "setting " << s << " g " << g;
            }
            BBEvents gone{};
            d.Game(law, g + 1, next, gone);
            std::swap(law, next);
        }
    }
}

// The state's exact law at a counter as the sampled machines draw it.
HiddenState HiddenAt(const StateLaw& law) {
    const double total = law.Total();
    HiddenState h;
    for (int c = 0; c < kLawCounts; ++c) {
        h.pre[static_cast<std::size_t>(c)] = law.At(Precursor, c) / total;
        for (int m = 0; m < kModes; ++m)
            if (m != Precursor)
                h.layer[static_cast<std::size_t>(c)][static_cast<std::size_t>(m)] = law.At(m, c) / total;
    }
    return h;
}

// The hall's money against machines started at the counter: each buys by
// the rule, game by game, from nothing and from 200 medals at 5.6枚. The
// expected purchases are held to 1 % by the machine; the yen mean takes
// out the net's own noise through its exact mean (held to the machine
// above), so its error is the purchases'; the law in yen and the real
// games an hour counts are held to the same stretches.
TEST(ValueByCountSimulated, PurchasesAndYenAgainstTheMachine) {
    const HallMoney cash{Exchange{56}, 50, 0}, held{Exchange{56}, 50, 200};
    for (int s : {1, 6}) {
        const CountValueTable fromNothing = ValueByGameCount(s, cash, true);
        const CountValueTable from200 = ValueByGameCount(s, held, true);
        const StateDynamics& d = Dynamics(s);
        StateLaw law = d.LongRunAfterBB(), next;
        SessionMachines machines;
        std::uint32_t seed = 4100u + static_cast<std::uint32_t>(s) * 1'000'000u;
        for (std::int32_t g = 0; g <= 1200; ++g) {
            if (g == 0 || g == 600 || g == 1200) {
                const HiddenState h = HiddenAt(law);
                constexpr int kSamples = 100'000;
                std::vector<double> net, realGames;
                std::array<std::vector<double>, 2> bought;  // from nothing, from 200
                for (int i = 0; i < kSamples; ++i, ++seed) {
                    SessionDraws draws(seed, 0);
                    Slot& slot = machines.Placed(s, DrawHidden(h, draws.Uniform()), g, seed);
                    std::array<std::int64_t, 2> buys{};
                    do {
                        for (std::size_t k = 0; k < 2; ++k) {
                            const std::int64_t start = k == 0 ? 0 : 200;
                            while (start + slot.medalBalance + 50 * buys[k] < 3) ++buys[k];
                        }
                        slot.Play();
                    } while (slot.bbKind == NoBB);
                    net.push_back(slot.medalBalance);
                    // The BB game, six games a continued set and six the last.
                    realGames.push_back(slot.playCount + kGamesPerSet * (slot.bbSets + 1));
                    for (std::size_t k = 0; k < 2; ++k) bought[k].push_back(static_cast<double>(buys[k]));
                }
                const double n = kSamples;
                for (std::size_t k = 0; k < 2; ++k) {
                    const HallMoney& money = k == 0 ? cash : held;
                    const CountValueRow& row = (k == 0 ? fromNothing : from200).rows[static_cast<std::size_t>(g)];
                    const std::string where =
                        "setting " + std::to_string(s) + " g " + std::to_string(g) + (k == 0 ? " cash" : " held 200");
                    const test::Estimate buys = MeanOf(bought[k]);
                    EXPECT_NEAR(buys.value, row.evPurchases, 4 * buys.se) << where;
                    EXPECT_LT(buys.se, 0.01 * row.evPurchases) << where;
                    std::vector<double> yen, lessNet;
                    for (std::size_t i = 0; i < net.size(); ++i) {
                        yen.push_back(money.Yen(net[i], bought[k][i]));
                        lessNet.push_back(yen.back() - money.exchange.Yen(net[i] - row.evMedals));
                    }
                    const test::Estimate mean = MeanOf(lessNet);
                    EXPECT_NEAR(mean.value, row.evYen, 4 * mean.se) << where;
                    EXPECT_LT(mean.se, 0.01 * money.PurchaseLoss() * row.evPurchases) << where;
                    // The yen's law: the chance ahead, and the share at or
                    // below the median and a yen below it.
                    const YenSpread& q = *row.yenSpread;
                    const auto share = [&](double y) {
                        return static_cast<double>(
                                   std::count_if(yen.begin(), yen.end(), [&](double v) { return v <= y; })) /
                               n;
                    };
                    const double half = 4 * std::sqrt(0.25 / n);
                    EXPECT_GE(share(q.median + 4 * q.medianSE), 0.5 - half) << where;
                    EXPECT_LE(share(q.median - 1 - 4 * q.medianSE), 0.5 + half) << where;
                    EXPECT_NEAR(1 - share(0), q.pAhead, 4 * std::sqrt(q.pAhead * (1 - q.pAhead) / n) + 4 * q.pAheadSE)
                        << where;
                    EXPECT_LT(q.pAheadSE, 0.01 * q.pAhead) << where;
                    // An hour's yen: the real games an hour holds.
                    const test::Estimate games = MeanOf(realGames);
                    EXPECT_NEAR(games.value, row.evYen * kDefaultGamesPerHour / row.yenPerHour, 4 * games.se) << where;
                }
            }
            BBEvents gone{};
            d.Game(law, g + 1, next, gone);
            std::swap(law, next);
        }
    }
}

}  // namespace
}  // namespace morvane
