// morvane-sim value, and estimate's --prior and --horizon: the table by game
// count and the machine-now columns against the library and the pinned
// vectors, and the plain estimate left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/value_job.h"
#include "cli/cli.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/more_games.h"
#include "model/likelihood.h"
#include "model/value_by_count.h"
#include "simfile/simfile.h"
#include "support/cli_run.h"
#include "support/temp_folder.h"
#include "system/decimal_text.h"

namespace morvane {
namespace {

using test::CliResult;
using test::Fields;
using test::Lines;

CliResult Cli(const std::vector<std::string>& args) { return test::RunCli(args); }

std::string Joined(const std::vector<std::string>& args) {
    std::string s;
    for (const auto& a : args) s += a + " ";
    return s;
}

// The columns: games_since ev_medals ev_games p_ceiling median_medals
// p_ahead p10 p25 p75 p90 ev_yen median_yen p_ahead_yen yen_per_hour
// median_yen_se p_ahead_yen_se.
void ExpectRowIs(const std::vector<std::string>& f, const CountValueRow& row, const HallMoney& money) {
    ASSERT_EQ(f.size(), 16u);
    EXPECT_EQ(f[0], std::to_string(row.gamesSince));
    EXPECT_NEAR(std::stod(f[1]), row.evMedals, 5.1e-7);
    EXPECT_NEAR(std::stod(f[2]), row.evGames, 5.1e-7);
    EXPECT_NEAR(std::stod(f[3]), row.pCeiling, 5.1e-10);
    ASSERT_TRUE(row.spread);
    EXPECT_EQ(f[4], std::to_string(row.spread->median));
    EXPECT_NEAR(std::stod(f[5]), row.spread->pAhead, 5.1e-7);
    EXPECT_EQ(f[6], std::to_string(row.spread->p10));
    EXPECT_EQ(f[7], std::to_string(row.spread->p25));
    EXPECT_EQ(f[8], std::to_string(row.spread->p75));
    EXPECT_EQ(f[9], std::to_string(row.spread->p90));
    // The printed medals at the hall's money, less what the purchases lose.
    EXPECT_NEAR(std::stod(f[10]), money.Yen(std::stod(f[1]), row.evPurchases),
                0.0051 + 1e-6 * std::abs(std::stod(f[10])));
    EXPECT_EQ(f[10], FixedDecimal(row.evYen, 2));
    EXPECT_EQ(f[11], row.yenSpread ? FixedDecimal(row.yenSpread->median, 2) : "");
    EXPECT_EQ(f[12], row.yenSpread ? FixedDecimal(row.yenSpread->pAhead, 6) : "");
    EXPECT_EQ(f[13], FixedDecimal(row.yenPerHour, 2));
    EXPECT_EQ(f[14], row.yenSpread ? FixedDecimal(row.yenSpread->medianSE, 2) : "");
    EXPECT_EQ(f[15], row.yenSpread ? FixedDecimal(row.yenSpread->pAheadSE, 6) : "");
}

// tests/reference/independent_results.md (independent implementation): setting 3 at g = 0, 800
// and 1531; every row agrees with the library's table, yen at 20 a medal.
TEST(CliValue, SettingTableMatchesTheVectorsAndTheLibrary) {
    const CliResult r = Cli({"value", "--setting", "3"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1533u);
    EXPECT_EQ(lines[0],
              "games_since\tev_medals\tev_games\tp_ceiling\tmedian_medals\tp_ahead\tp10\tp25\tp75\tp90\tev_yen\t"
              "median_yen\tp_ahead_yen\tyen_per_hour\tmedian_yen_se\tp_ahead_yen_se");
    struct Want {
        int g;
        const char* ev;
        const char* games;
        const char* ceiling;
    };
    for (const Want& w :
         {Want{0, "-4.626804", "292.545024", "0.007090201"}, Want{800, "18.934387", "275.741640", "0.101311116"},
          Want{1531, "463.099229", "1.000000", "1.000000000"}}) {
        const auto f = Fields(lines[static_cast<std::size_t>(w.g) + 1]);
        EXPECT_EQ(f[0], std::to_string(w.g));
        EXPECT_NEAR(std::stod(f[1]), std::stod(w.ev), 1.5e-6) << w.g;
        EXPECT_NEAR(std::stod(f[2]), std::stod(w.games), 1.5e-6 * std::stod(w.games)) << w.g;
        EXPECT_NEAR(std::stod(f[3]), std::stod(w.ceiling), 1.5e-9) << w.g;
    }
    const CountValueTable t = ValueByGameCount(3);
    for (std::size_t g = 0; g < t.rows.size(); ++g) ExpectRowIs(Fields(lines[g + 1]), t.rows[g], HallMoney{});
    // Through the report writers, to the byte what the table's own text was.
    EXPECT_EQ(r.out, ValueTableText(t));
}

// The money's defaults are today's figures: given or left out, the same
// bytes. At 等価 with 50 medals lent for 1000 yen a purchase loses nothing,
// so cash play prints them too.
TEST(CliValue, MoneyDefaultsKeepTheFigures) {
    const CliResult plain = Cli({"value", "--setting", "4"});
    ASSERT_EQ(plain.code, kExitOk) << plain.err;
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"value", "--setting", "4", "--exchange", "50", "--lend", "50", "--held", "all",
                                      "--games-per-hour", "750"},
             {"value", "--setting", "4", "--held", "0"},
             {"value", "--setting", "4", "--held", "250", "--exchange", "50.0"},
         }) {
        const CliResult r = Cli(args);
        ASSERT_EQ(r.code, kExitOk) << Joined(args) << r.err;
        EXPECT_EQ(r.out, plain.out) << Joined(args);
    }
    // The yen under a rate other than 等価 are those of the table found
    // under the same money.
    const CliResult r = Cli({"value", "--setting", "4", "--exchange", "64", "--lend", "46", "--held", "0",
                             "--games-per-hour", "800", "--threads", "1"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    CountValueRequest request{SettingPrior({0, 0, 0, 1, 0, 0}), HallMoney{Exchange{64}, 46, 0}, true, 1};
    request.gamesPerHour = 800;
    const CountValue v = ValueByGameCount(request);
    EXPECT_EQ(r.out, ValueTableText(*v.bySetting[3]));
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1533u);
    for (std::size_t g : {0u, 700u, 1531u}) ExpectRowIs(Fields(lines[g + 1]), v.bySetting[3]->rows[g], request.money);
}

// The prior's mixture at 5.6 medals per 100 yen; a prior on one setting is
// that setting's table.
TEST(CliValue, PriorMixesAndExchangeSetsTheYen) {
    const CliResult r = Cli({"value", "--prior", "1,0,0,0,0,3", "--exchange", "56"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1533u);
    const CountValue v = ValueByGameCount({SettingPrior({1, 0, 0, 0, 0, 3}), HallMoney{Exchange{56}}});
    for (std::size_t g : {0u, 1u, 400u, 889u, 1200u, 1531u})
        ExpectRowIs(Fields(lines[g + 1]), v.mixed.rows[g], HallMoney{Exchange{56}});
    const CliResult one = Cli({"value", "--prior", "0,0,1,0,0,0", "--threads", "1"});
    const CliResult three = Cli({"value", "--setting", "3"});
    ASSERT_EQ(one.code, kExitOk) << one.err;
    EXPECT_EQ(one.out, three.out);
}

TEST(CliValue, RefusesWhatItCannotRead) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"value"},
             {"value", "--setting", "1", "--prior", "1,1,1,1,1,1"},
             {"value", "--setting", "7"},
             {"value", "--setting", "?"},
             {"value", "--prior", "1,2,3"},
             {"value", "--prior", "1,1,1,1,1,-1"},
             {"value", "--prior", "0,0,0,0,0,0"},
             {"value", "--setting", "1", "--exchange", "0"},
             {"value", "--setting", "1", "--exchange", "-5"},
             {"value", "--setting", "1", "--exchange", "fifty"},
             {"value", "--setting", "1", "--exchange", "50", "--exchange", "56"},
             // A rate per 100 yen where one per 1000 yen belongs.
             {"value", "--setting", "1", "--exchange", "5.6"},
             {"value", "--setting", "1", "--exchange", "9.99"},
             {"value", "--setting", "1", "--lend", "0"},
             {"value", "--setting", "1", "--lend", "-50"},
             {"value", "--setting", "1", "--lend", "many"},
             {"value", "--setting", "1", "--held", "-1"},
             {"value", "--setting", "1", "--held", "x"},
             {"value", "--setting", "1", "--held", "1.5"},
             {"value", "--setting", "1", "--held", "+5"},
             {"value", "--setting", "1", "--held", ""},
             {"value", "--setting", "1", "--held", "ALL"},
             {"value", "--setting", "1", "--held", "99999999999999999999"},
             {"value", "--setting", "1", "--games-per-hour", "0"},
             {"value", "--setting", "1", "--games-per-hour", "fast"},
             {"value", "--setting", "1", "--held", "0", "--held", "all"},
             {"value", "--setting", "1", "--threads", "0"},
             {"value", "--setting", "1", "extra"},
             {"value", "--setting", "1", "--format", "html"},
             {"value", "--setting", "1", "--format", "CSV"},
             {"value", "--setting", "1", "--format", "json", "--format", "csv"},
             {"value", "--prior", "1,1,1,1,1,1", "--format"},
         }) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, kExitUsage) << Joined(args);
        EXPECT_EQ(r.out, "") << Joined(args);
        EXPECT_EQ(Lines(r.err).size(), 1u) << Joined(args) << r.err;
    }
    EXPECT_EQ(
        Cli({"value", "--exchange", "1\x1b", "--setting", "1"}).err,
        "morvane-sim: exchange '1\\x1b' must be a positive number of medals per 1000 yen (morvane-sim --help shows "
        "the usage)\n");
    // The rate most likely meant, worked out from the one given.
    struct Meant {
        const char* given;
        const char* said;
    };
    for (const Meant& m : {Meant{"5.6", "5.6 medals per 1000 yen is 179 yen a medal; for 5.6枚交換 give 56"},
                           Meant{"7", "7 medals per 1000 yen is 143 yen a medal; for 7枚交換 give 70"},
                           Meant{"6.4", "6.4 medals per 1000 yen is 156 yen a medal; for 6.4枚交換 give 64"},
                           Meant{"0.5", "0.5 medals per 1000 yen is 2000 yen a medal; for 0.5枚交換 give 5"}})
        EXPECT_EQ(Cli({"value", "--setting", "2", "--exchange", m.given}).err,
                  std::string("morvane-sim: ") + m.said + " (morvane-sim --help shows the usage)\n");
    EXPECT_EQ(Cli({"value", "--setting", "2", "--exchange", "10"}).code, kExitOk);
    EXPECT_EQ(
        Cli({"value", "--prior", "1,1"}).err,
        "morvane-sim: prior '1,1' must be six non-negative weights W1,...,W6, not all 0 (morvane-sim --help shows "
        "the usage)\n");
}

class CliEstimateNow : public test::TempFolderTest {
protected:
    // The hidden-setting batch of tests/reference/independent_results.md; its first file.
    std::string BatchFile() {
        const CliResult run =
            Cli({"run", "--seed", "12345", "--setting", "?", "--games", "8000", "--runs", "3", "--out", Path("b.sim")});
        EXPECT_EQ(run.code, kExitOk) << run.err;
        return Path("b5_8000_1.sim");
    }
};

// The vector of tests/reference/independent_results.md for b5_8000_1.sim, K = 1000: each setting's
// line is the plain one with the two figures added, then the mixed line.
TEST_F(CliEstimateNow, HorizonAddsTheVectorsFigures) {
    const std::string file = BatchFile();
    const CliResult plain = Cli({"estimate", file});
    const CliResult r = Cli({"estimate", file, "--horizon", "1000"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out), plainLines = Lines(plain.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    for (std::size_t i = 0; i < 6; ++i) {
        const auto f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 5u) << lines[i];
        EXPECT_EQ(f[0] + "\t" + f[1] + "\t" + f[2], plainLines[i]);
    }
    struct Want {
        int setting;
        double next, until;
    };
    for (const Want& w :
         {Want{1, -224.257636, -88.114330}, Want{4, 41.102103, -4.405499}, Want{6, 136.381849, 20.284011}}) {
        const auto f = Fields(lines[static_cast<std::size_t>(w.setting - 1)]);
        EXPECT_NEAR(std::stod(f[3]), w.next, 1e-6 * std::abs(w.next) + 1e-6) << w.setting;
        EXPECT_NEAR(std::stod(f[4]), w.until, 1e-6 * std::abs(w.until) + 1e-6) << w.setting;
    }
    const auto mixed = Fields(lines[6]);
    ASSERT_EQ(mixed.size(), 3u);
    EXPECT_EQ(mixed[0], "mixed");
    EXPECT_NEAR(std::stod(mixed[1]), 98.386045, 1e-4);
    EXPECT_NEAR(std::stod(mixed[2]), 10.349550, 1e-5);
}

// The money options add the nets in yen at the exchange rate after the
// medals' columns, which stay as they were; --held all changes nothing.
TEST_F(CliEstimateNow, ExchangeAddsTheYenBesideTheMedals) {
    const std::string file = BatchFile();
    const std::vector<std::string> now{"estimate", file, "--horizon", "300", "--now", "--seed", "7", "--threads", "1"};
    const CliResult medals = Cli(now);
    ASSERT_EQ(medals.code, kExitOk) << medals.err;
    std::vector<std::string> args = now;
    args.insert(args.end(), {"--exchange", "56", "--held", "all"});
    const CliResult r = Cli(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out), before = Lines(medals.out);
    ASSERT_EQ(lines.size(), before.size());
    const Exchange rate{56};
    const auto yenOf = [&](const std::string& medalsText, const std::string& yenText) {
        EXPECT_EQ(yenText, FixedDecimal(rate.Yen(std::stod(medalsText)), 2)) << medalsText;
        // The medals printed to six decimals: yen within a cent of them.
        EXPECT_NEAR(std::stod(yenText), std::stod(medalsText) * 1000 / 56, 0.0051 + 1e-6);
    };
    for (std::size_t i = 0; i < 7; ++i) {
        const auto f = Fields(lines[i]), g = Fields(before[i]);
        ASSERT_EQ(f.size(), g.size() + 2) << lines[i];
        EXPECT_EQ(lines[i].rfind(before[i] + "\t", 0), 0u) << lines[i];
        // next_games and until_bb: columns 3 and 4 of a setting, 1 and 2 of mixed.
        const std::size_t next = i < 6 ? 3 : 1;
        yenOf(f[next], f[f.size() - 2]);
        yenOf(f[next + 1], f[f.size() - 1]);
    }
    const auto best = Fields(lines[9]);
    ASSERT_EQ(best[0], "best_rule");
    ASSERT_EQ(best.size(), 6u);
    yenOf(best[4], best[5]);
    if (lines.size() > 11) {
        const auto spread = Fields(lines[11]);
        ASSERT_EQ(spread.size(), 9u);
        yenOf(spread[3], spread[8]);
    }
    EXPECT_EQ(lines[8], before[8]);
    EXPECT_EQ(lines[10], before[10]);
}

// With medals bought when short (--held M), another lending rate or
// another pace, the yen take off what each purchase loses and the yen an
// hour follow: every setting's, the mixture's and keep or quit's as the
// library gives them at that money, and a line saying the money. At 等価
// lending and changing at one rate, purchases lose nothing: the yen are
// 20 a medal whatever is bought.
TEST_F(CliEstimateNow, MoneyTakesThePurchasesOffTheYen) {
    const std::string file = BatchFile();
    PlayHistory h;
    ASSERT_EQ(LoadSimFile(file, h).status, SimStatus::Ok);
    const MachineBelief fromFile = *BeliefFromRecord(h.records()).belief;
    const HallData data{1700, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}}, {}};
    const MachineBelief fromHall = *BeliefFromHallData(data).belief;
    struct Case {
        std::vector<std::string> args;
        const MachineBelief* belief;
        std::int32_t horizon;
        NowMoney money;
        const char* moneyLine;
    };
    const std::vector<Case> cases{
        {{"estimate", file, "--horizon", "300", "--exchange", "56", "--held", "0"},
         &fromFile,
         300,
         {{{56}, 50, 0}, 750},
         "money\t56\t50\t0\t750"},
        {{"estimate", file, "--horizon", "200", "--exchange", "56", "--held", "200", "--lend", "46", "--games-per-hour",
          "800"},
         &fromFile,
         200,
         {{{56}, 46, 200}, 800},
         "money\t56\t46\t200\t800"},
        {{"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88", "--horizon", "100", "--games-per-hour", "600"},
         &fromHall,
         100,
         {{{50}, 50, std::nullopt}, 600},
         "money\t50\t50\tall\t600"},
        {{"estimate", file, "--horizon", "100", "--held", "0", "--now", "--seed", "3", "--threads", "1"},
         &fromFile,
         100,
         {{{50}, 50, 0}, 750},
         "money\t50\t50\t0\t750"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli(c.args);
        ASSERT_EQ(r.code, kExitOk) << Joined(c.args) << r.err;
        const MachineNow now = NowFigures(*c.belief, c.horizon, c.money);
        const auto lines = Lines(r.out);
        ASSERT_GE(lines.size(), 8u) << r.out;
        const bool atEven = c.money.money.PurchaseLoss() == 0;
        for (std::size_t i = 0; i < 7; ++i) {
            const auto f = Fields(lines[i]);
            const bool mixed = i == 6;
            const SettingNow* n = mixed ? nullptr : &now.bySetting[i];
            const int s = static_cast<int>(i) + 1;
            // The six yen columns follow the medals': yen, purchases, yen an hour.
            ASSERT_GE(f.size(), 6u) << lines[i];
            const std::size_t at = f.size() - 6;
            const double nextYen = mixed ? now.NextYen() : now.NextYen(s);
            const double untilYen = mixed ? now.UntilBBYen() : now.UntilBBYen(s);
            EXPECT_EQ(f[at], FixedDecimal(nextYen, 2)) << lines[i];
            EXPECT_EQ(f[at + 1], FixedDecimal(untilYen, 2)) << lines[i];
            EXPECT_EQ(f[at + 2], FixedDecimal(mixed ? now.nextPurchases : n->nextPurchases, 6)) << lines[i];
            EXPECT_EQ(f[at + 3], FixedDecimal(mixed ? now.untilBBPurchases : n->untilBBPurchases, 6)) << lines[i];
            EXPECT_EQ(f[at + 4], FixedDecimal(now.PerHour(nextYen, mixed ? now.nextRealGames : n->nextRealGames), 2))
                << lines[i];
            EXPECT_EQ(f[at + 5],
                      FixedDecimal(now.PerHour(untilYen, mixed ? now.untilBBRealGames : n->untilBBRealGames), 2))
                << lines[i];
            if (!c.money.money.held) {
                EXPECT_EQ(f[at + 2], "0.000000") << lines[i];
            } else if (*c.money.money.held == 0) {
                EXPECT_GE(std::stod(f[at + 2]), 1.0) << "cash buys before the first game: " << lines[i];
            }
            // The medals' columns are those without the money.
            const double medals = mixed ? now.nextGames : n->nextGames;
            EXPECT_EQ(f[mixed ? 1 : 3], FixedDecimal(medals, 6)) << lines[i];
            if (atEven) {
                EXPECT_EQ(f[at], FixedDecimal(c.money.money.exchange.Yen(medals), 2)) << lines[i];
            }
        }
        EXPECT_EQ(lines[7], c.moneyLine);
        if (std::find(c.args.begin(), c.args.end(), "--now") == c.args.end()) {
            EXPECT_EQ(lines.size(), 8u) << r.out;
            continue;
        }
        KeepOrQuitRequest k{c.horizon, 10, 0, 0, 1};
        k.money = c.money.money;
        const KeepOrQuit keep = DecideKeepOrQuit(*c.belief, k);
        const auto best = Fields(lines[10]);
        ASSERT_EQ(best.size(), 7u) << lines[10];
        EXPECT_EQ(best[0], "best_rule");
        EXPECT_EQ(best[4], FixedDecimal(keep.best.value, 6));
        EXPECT_EQ(best[5], FixedDecimal(keep.best.yen, 2));
        EXPECT_EQ(best[6], FixedDecimal(keep.best.purchases, 6));
    }
}

// A prior is Bayes' rule on the same log-likelihoods; a uniform one, and no
// option at all, print the same bytes. For hall data as for a file.
TEST_F(CliEstimateNow, PriorWeighsThePosterior) {
    const std::string file = BatchFile();
    const CliResult plain = Cli({"estimate", file});
    EXPECT_EQ(Cli({"estimate", file, "--prior", "2,2,2,2,2,2"}).out, plain.out);
    const CliResult low = Cli({"estimate", "--prior", "4,3,2,1,0,0", file});
    ASSERT_EQ(low.code, kExitOk) << low.err;
    PlayHistory h;
    ASSERT_EQ(LoadSimFile(file, h).status, SimStatus::Ok);
    const ExactEstimate e = EstimateSettingExactly(h.records(), SettingPrior({4, 3, 2, 1, 0, 0}));
    const auto lines = Lines(low.out), plainLines = Lines(plain.out);
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        const auto f = Fields(lines[i]);
        EXPECT_NEAR(std::stod(f[1]), e.posterior.probability[i], 5.1e-7);
        EXPECT_EQ(f[2], Fields(plainLines[i])[2]) << "the likelihood is the record's alone";
    }
    EXPECT_EQ(Fields(lines[5])[1], "0.000000");
    EXPECT_GT(std::stod(Fields(lines[0])[1]), std::stod(Fields(plainLines[0])[1]));

    const std::vector<std::string> hall{"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88"};
    const HallData data{1700, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}}, {}};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = hall;
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    };
    EXPECT_EQ(with({"--prior", "1,1,1,1,1,1"}).out, Cli(hall).out);
    const CliResult r = with({"--prior", "1,1,1,1,2,2", "--horizon", "300"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const SettingPrior prior({1, 1, 1, 1, 2, 2});
    const HallEstimate he = EstimateSettingFromHallData(data, prior);
    const MachineNow now = NowFigures(*BeliefFromHallData(data, prior).belief, 300);
    const auto hl = Lines(r.out);
    ASSERT_EQ(hl.size(), 7u) << r.out;
    for (std::size_t i = 0; i < 6; ++i) {
        const auto f = Fields(hl[i]);
        ASSERT_EQ(f.size(), 5u);
        EXPECT_NEAR(std::stod(f[1]), he.posterior.probability[i], 5.1e-7);
        EXPECT_NEAR(std::stod(f[3]), now.bySetting[i].nextGames, 5.1e-7);
        EXPECT_NEAR(std::stod(f[4]), now.bySetting[i].untilBB, 5.1e-7);
    }
    EXPECT_NEAR(std::stod(Fields(hl[6])[1]), now.nextGames, 5.1e-7);
    EXPECT_NEAR(std::stod(Fields(hl[6])[2]), now.untilBB, 5.1e-7);
}

// --more: the library's chances for the belief after the record or the
// hall data under the prior, the same on any threads; beside --horizon the
// columns stay as they were.
TEST_F(CliEstimateNow, MoreGamesAreTheLibrarysChances) {
    const std::string file = BatchFile();
    PlayHistory h;
    ASSERT_EQ(LoadSimFile(file, h).status, SimStatus::Ok);
    const SettingPrior prior({1, 1, 1, 1, 2, 2});
    const HallData data{1700, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}}, {}};
    struct Case {
        std::vector<std::string> args;
        MachineBelief belief;
    };
    const std::vector<std::string> more{"--prior", "1,1,1,1,2,2", "--more", "400",    "--threshold",
                                        "0.7",     "--sessions",  "300",    "--seed", "17"};
    std::vector<Case> cases{
        {{"estimate", file}, *BeliefFromRecord(h.records(), prior).belief},
        {{"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88"}, *BeliefFromHallData(data, prior).belief}};
    for (Case& c : cases) {
        c.args.insert(c.args.end(), more.begin(), more.end());
        const CliResult r = Cli(c.args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        std::vector<std::string> one = c.args;
        one.insert(one.end(), {"--threads", "1"});
        EXPECT_EQ(Cli(one).out, r.out) << Joined(c.args);
        MoreGames m;
        ASSERT_TRUE(ValueOfMoreGames(c.belief, {400, 0.7, 0.7, 300, 17, 0}, m));
        const auto lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 9u) << r.out;
        EXPECT_EQ(lines[6], "more_games\t400\t0.700000\t17");
        const auto high = Fields(lines[7]), top = Fields(lines[8]);
        ASSERT_EQ(high.size(), 4u);
        ASSERT_EQ(top.size(), 4u);
        EXPECT_NEAR(std::stod(high[1]), m.highPasses.share, 5.1e-7) << Joined(c.args);
        EXPECT_NEAR(std::stod(high[2]), m.highPasses.se, 5.1e-7);
        EXPECT_NEAR(std::stod(top[1]), m.topPasses.share, 5.1e-7);
        EXPECT_NEAR(std::stod(top[2]), m.topPasses.se, 5.1e-7);
        // A chance strictly between 0 and 1 carries its binomial error.
        if (m.highPasses.share > 0 && m.highPasses.share < 1) {
            EXPECT_GT(m.highPasses.se, 0);
        }
    }
    // With --horizon the text keeps its seven lines and adds --more's three.
    std::vector<std::string> both{"estimate", file, "--horizon", "1000"};
    const CliResult horizon = Cli(both);
    both.insert(both.end(), {"--more", "100", "--sessions", "50", "--seed", "1"});
    const CliResult r = Cli(both);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out), before = Lines(horizon.out);
    ASSERT_EQ(lines.size(), 10u) << r.out;
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(lines[i], before[i]);
    EXPECT_EQ(Fields(lines[9])[0], "pass_top");
}

// --now: the figures of the window's panel of the machine now, as the
// library gives them for the belief after the record or the hall data: the
// games until the next BB, the modes, the best exact rule over the horizon
// (1000 unless --horizon says otherwise), its spread from --seed and the
// advice; the same on any threads, and the --horizon text kept in front.
TEST_F(CliEstimateNow, NowIsTheLibrarysMachineNowAndKeepOrQuit) {
    const std::string file = BatchFile();
    PlayHistory h;
    ASSERT_EQ(LoadSimFile(file, h).status, SimStatus::Ok);
    const SettingPrior prior({1, 1, 1, 1, 2, 2});
    const HallData data{1700, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}}, {}};
    struct Case {
        std::vector<std::string> args;
        MachineBelief belief;
        std::int32_t horizon;
    };
    const std::vector<Case> cases{
        {{"estimate", file, "--now", "--seed", "7"}, *BeliefFromRecord(h.records()).belief, 1000},
        {{"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88", "--prior", "1,1,1,1,2,2", "--horizon", "300",
          "--now", "--seed", "7"},
         *BeliefFromHallData(data, prior).belief,
         300},
        // Setting 1 a hundred games after a BB: leaving is best, nothing to spread.
        {{"estimate", "--games", "100", "--prior", "1,0,0,0,0,0", "--now", "--horizon", "300"},
         *BeliefFromHallData(HallData{100, {}, {}}, SettingPrior({1, 0, 0, 0, 0, 0})).belief,
         300},
    };
    const char* kinds[] = {"quit", "games", "bbs"};
    const char* verdicts[] = {"quit", "about_even", "keep"};
    int quits = 0;
    for (const Case& c : cases) {
        const CliResult r = Cli(c.args);
        ASSERT_EQ(r.code, kExitOk) << r.err;
        const MachineNow now = NowFigures(c.belief, c.horizon);
        const KeepOrQuit keep = DecideKeepOrQuit(c.belief, {c.horizon, 10, 0, 0, 0});
        std::optional<RuleSpread> spread;
        if (keep.best.kind != StopRule::Kind::Now) {
            RuleSpread s;
            ASSERT_TRUE(SpreadOfRule(c.belief, keep.best, c.horizon, 2000, 7, 0, s));
            spread = s;
        }
        const Advice advice = Advise(keep.best, spread ? &*spread : nullptr, PrecursorShare(c.belief));
        quits += !spread;

        const auto lines = Lines(r.out);
        ASSERT_EQ(lines.size(), spread ? 12u : 11u) << r.out;
        // The same at its horizon without --now and its --seed.
        std::vector<std::string> horizonArgs;
        for (std::size_t i = 0; i < c.args.size(); ++i) {
            if (c.args[i] == "--seed")
                ++i;
            else if (c.args[i] != "--now")
                horizonArgs.push_back(c.args[i]);
        }
        if (std::find(horizonArgs.begin(), horizonArgs.end(), "--horizon") == horizonArgs.end())
            horizonArgs.insert(horizonArgs.end(), {"--horizon", "1000"});
        const auto before = Lines(Cli(horizonArgs).out);
        ASSERT_EQ(before.size(), 7u) << Joined(horizonArgs);
        for (std::size_t i = 0; i < 7; ++i) {
            const auto f = Fields(lines[i]);
            ASSERT_EQ(f.size(), i < 6 ? 6u : 4u) << lines[i];
            EXPECT_EQ(lines[i].rfind(before[i] + "\t", 0), 0u) << lines[i] << " after " << before[i];
            const double games = i < 6 ? now.bySetting[i].untilBBGames : now.untilBBGames;
            EXPECT_NEAR(std::stod(f.back()), games, 5.1e-7) << lines[i];
        }
        EXPECT_EQ(lines[7], "games_since_bb\t" + std::to_string(now.gamesSinceBB));
        const auto modes = Fields(lines[8]);
        ASSERT_EQ(modes.size(), 7u);
        EXPECT_EQ(modes[0], "modes");
        double sum = 0;
        for (std::size_t m = 0; m < 6; ++m) {
            EXPECT_NEAR(std::stod(modes[m + 1]), now.mode[m], 5.1e-7) << m;
            sum += std::stod(modes[m + 1]);
        }
        EXPECT_NEAR(sum, 1, 4e-6);
        const auto best = Fields(lines[9]);
        ASSERT_EQ(best.size(), 5u);
        EXPECT_EQ(best[0], "best_rule");
        EXPECT_EQ(best[1], std::to_string(c.horizon));
        EXPECT_EQ(best[2], kinds[static_cast<int>(keep.best.kind)]);
        EXPECT_EQ(best[3], std::to_string(keep.best.n));
        EXPECT_NEAR(std::stod(best[4]), keep.best.value, 5.1e-7);
        EXPECT_EQ(lines[10], std::string("advice\t") + verdicts[static_cast<int>(advice.verdict)] + "\t" +
                                 (advice.precursorLook ? "true" : "false"));
        if (spread) {
            const auto f = Fields(lines[11]);
            ASSERT_EQ(f.size(), 8u);
            EXPECT_EQ(f[0], "rule_spread");
            EXPECT_NEAR(std::stod(f[1]), spread->behind.share, 5.1e-7);
            EXPECT_NEAR(std::stod(f[2]), spread->behind.se, 5.1e-7);
            EXPECT_NEAR(std::stod(f[3]), spread->mean, 5.1e-7);
            EXPECT_NEAR(std::stod(f[4]), spread->se, 5.1e-7);
            EXPECT_NEAR(std::stod(f[5]), spread->sd, 5.1e-7);
            EXPECT_EQ(f[6], "2000");
            EXPECT_EQ(f[7], "7");
            std::vector<std::string> one = c.args;
            one.insert(one.end(), {"--threads", "1"});
            EXPECT_EQ(Cli(one).out, r.out) << Joined(c.args);
        }
    }
    EXPECT_EQ(quits, 1);
}

TEST_F(CliEstimateNow, RefusesBadPriorsAndHorizons) {
    const std::string file = BatchFile();
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"estimate", file, "--prior", "1,1,1,1,1"},
             {"estimate", file, "--prior", "0,0,0,0,0,0"},
             {"estimate", file, "--horizon", "0"},
             {"estimate", file, "--horizon", "ten"},
             {"estimate", "--counts", file, "--prior", "1,1,1,1,1,1"},
             {"estimate", "--counts", file, "--horizon", "10"},
             {"estimate", "--games", "1000", "--horizon", "-1"},
             {"estimate", "--games", "1000", "--prior", "x"},
             {"estimate", file, "--more", "0"},
             {"estimate", file, "--threshold", "0.5"},
             {"estimate", file, "--seed", "3"},
             {"estimate", file, "--more", "10", "--threshold", "0"},
             {"estimate", file, "--more", "10", "--threshold", "1.5"},
             {"estimate", file, "--more", "10", "--threshold", "80%"},
             {"estimate", file, "--more", "10", "--sessions", "0"},
             {"estimate", "--counts", file, "--more", "10"},
             {"estimate", "--counts", file, "--now"},
             {"estimate", file, "--now", "--horizon", "20001"},
             {"estimate", file, "--now", "--horizon", "0"},
             {"estimate", file, "--now", "--threshold", "0.5"},
             {"estimate", file, "--now", "--seed", "-1"},
             {"estimate", file, "--threads", "2"},
             {"estimate", file, "--exchange", "56"},
             {"estimate", "--counts", file, "--exchange", "56"},
             {"estimate", file, "--horizon", "10", "--exchange", "5.6"},
             {"estimate", file, "--horizon", "10", "--held", "-3"},
             {"estimate", file, "--horizon", "10", "--held", "0", "--lend", "46.5"},
             {"estimate", file, "--now", "--horizon", "3001", "--held", "200"},
             {"estimate", file, "--now", "--games-per-hour", "0"},
             {"estimate", file, "--held", "0"},
         }) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, kExitUsage) << Joined(args);
        EXPECT_EQ(r.out, "") << Joined(args);
        EXPECT_EQ(Lines(r.err).size(), 1u) << Joined(args) << r.err;
    }
}

}  // namespace
}  // namespace morvane
