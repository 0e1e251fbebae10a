// morvane-sim theory and estimate: output shape, the figures they print, and
// how estimate refuses files it cannot judge.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/hall_input.h"
#include "cli/cli.h"
#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "model/likelihood.h"
#include "model/theory.h"
#include "run/single_run.h"
#include "simfile/simfile.h"
#include "support/cli_run.h"

namespace morvane {
namespace {

using test::CliResult;
using test::Fields;
using test::Lines;

CliResult Cli(const std::vector<std::string>& args) { return test::RunCli(args); }

// An optional minus, digits, a point and exactly six decimals.
bool IsSixDecimals(const std::string& s) {
    const std::size_t dot = s.find('.');
    if (dot == std::string::npos || s.size() - dot - 1 != 6) return false;
    const std::size_t first = s[0] == '-' ? 1 : 0;
    if (dot == first) return false;
    for (std::size_t i = first; i < s.size(); ++i)
        if (i != dot && (s[i] < '0' || s[i] > '9')) return false;
    return true;
}

std::string Fixed6(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", v);
    return text;
}

// Checks a block of a header and six setting rows; returns the rows' fields.
std::vector<std::vector<std::string>> SettingRows(const std::vector<std::string>& lines, std::size_t first,
                                                  std::size_t columns) {
    std::vector<std::vector<std::string>> rows;
    EXPECT_EQ(Fields(lines.at(first)).size(), columns) << lines.at(first);
    EXPECT_EQ(Fields(lines.at(first)).at(0), "setting");
    for (int s = 1; s <= 6; ++s) {
        const auto f = Fields(lines.at(first + static_cast<std::size_t>(s)));
        EXPECT_EQ(f.size(), columns);
        EXPECT_EQ(f.at(0), std::to_string(s));
        for (std::size_t i = 1; i < f.size(); ++i) EXPECT_TRUE(IsSixDecimals(f[i])) << f[i];
        rows.push_back(f);
    }
    return rows;
}

TEST(CliTheory, PrintsTheLongRunPerSetting) {
    const CliResult r = Cli({"theory"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    const auto rows = SettingRows(lines, 0, 4);
    for (int s = 1; s <= 6; ++s) {
        const LongRunFigures f = SettingTheory(s).LongRun();
        const auto& row = rows[static_cast<std::size_t>(s - 1)];
        EXPECT_EQ(row[1], Fixed6(f.payoutPercent));
        EXPECT_EQ(row[2], Fixed6(f.gamesPerBB));
        EXPECT_EQ(row[3], Fixed6(f.setsPerBB));
    }
    EXPECT_EQ(rows[0][1].substr(0, 7), "93.2814");
    EXPECT_EQ(rows[5][2].substr(0, 7), "267.005");
}

TEST(CliTheory, GamesAddsTheRunBlock) {
    const CliResult r = Cli({"theory", "--games", "3000"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 14u) << r.out;
    SettingRows(lines, 0, 4);
    const auto rows = SettingRows(lines, 7, 3);
    const RunExpectation e = SettingTheory(4).ExpectedRun(3000);
    EXPECT_EQ(rows[3][1], Fixed6(e.balance));
    EXPECT_EQ(rows[3][2], Fixed6(e.bbGames));
    EXPECT_EQ(Fields(lines[1]), Fields(Lines(Cli({"theory"}).out)[1]));
}

TEST(CliTheory, RefusesBadGameCounts) {
    for (const char* bad : {"0", "-5", "abc", "2147483648", ""}) {
        const CliResult r = Cli({"theory", "--games", bad});
        EXPECT_EQ(r.code, kExitUsage) << bad;
        EXPECT_EQ(r.out, "") << bad;
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("morvane-sim: ", 0), 0u) << r.err;
    }
    EXPECT_EQ(Cli({"theory", "--games"}).code, kExitUsage);
    EXPECT_EQ(Cli({"theory", "--seed", "1"}).code, kExitUsage);
    EXPECT_EQ(Cli({"theory", "--games", "2147483647"}).code, kExitOk);
}

TEST(CliHelp, NamesTheAnalysisCommands) {
    const CliResult r = Cli({"--help"});
    EXPECT_NE(r.out.find("morvane-sim theory [--games N]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("morvane-sim estimate [--counts] FILE.sim"), std::string::npos) << r.out;
}

class CliEstimate : public test::TempFolderTest {};

// An optional minus, digits, a point and exactly nine decimals, or -inf.
bool IsNineDecimalsOrMinusInf(const std::string& s) {
    if (s == "-inf") return true;
    const std::size_t dot = s.find('.');
    return dot != std::string::npos && s.size() - dot - 1 == 9 && IsSixDecimals(s.substr(0, dot + 7));
}

TEST_F(CliEstimate, PrintsTheExactPosteriorAndLogLikelihoodPerSetting) {
    Slot slot(11);
    PlayHistory h;
    SimulateRun(slot, h, {false, 2}, 50'000);
    const std::string path = Path("run.sim");
    SaveSimFile(path, {2, 50'000}, h);
    const CliResult r = Cli({"estimate", path});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    const ExactEstimate exact = EstimateSettingExactly(h.records());
    double sum = 0;
    for (int s = 1; s <= 6; ++s) {
        const auto i = static_cast<std::size_t>(s - 1);
        const auto f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 3u) << lines[i];
        EXPECT_EQ(f[0], std::to_string(s));
        EXPECT_TRUE(IsSixDecimals(f[1])) << f[1];
        EXPECT_TRUE(IsNineDecimalsOrMinusInf(f[2])) << f[2];
        EXPECT_EQ(f[1], Fixed6(exact.posterior.probability[i]));
        EXPECT_NEAR(std::stod(f[2]), exact.posterior.logLikelihood[i], 1e-9);
        sum += std::stod(f[1]);
    }
    EXPECT_NEAR(sum, 1.0, 6e-6);
}

// tests/reference/independent_results.md, independent implementation: the 8000-game first file of
// the hidden-setting batch from seed 12345, at settings 1 and 6.
TEST_F(CliEstimate, BatchFileMatchesTheVectors) {
    const CliResult run =
        Cli({"run", "--seed", "12345", "--setting", "?", "--games", "8000", "--runs", "3", "--out", Path("b.sim")});
    ASSERT_EQ(run.code, kExitOk) << run.err;
    const CliResult r = Cli({"estimate", Path("b5_8000_1.sim")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_NEAR(std::stod(Fields(lines[0]).at(2)), -13692.328978494, 1e-6);
    EXPECT_NEAR(std::stod(Fields(lines[5]).at(2)), -13686.746710458, 1e-6);
}

TEST_F(CliEstimate, CountsKeepsTheCountBasedEstimate) {
    Slot slot(11);
    PlayHistory h;
    SimulateRun(slot, h, {false, 2}, 50'000);
    const std::string path = Path("run.sim");
    SaveSimFile(path, {2, 50'000}, h);
    const CliResult r = Cli({"estimate", "--counts", path});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    const SettingPosterior counted = EstimateSetting(AllSettingTheories(), ObserveHistory(h));
    double sum = 0;
    for (int s = 1; s <= 6; ++s) {
        const auto f = Fields(lines[static_cast<std::size_t>(s - 1)]);
        ASSERT_EQ(f.size(), 2u) << lines[static_cast<std::size_t>(s - 1)];
        EXPECT_EQ(f[0], std::to_string(s));
        EXPECT_EQ(f[1], Fixed6(counted.probability[static_cast<std::size_t>(s - 1)]));
        sum += std::stod(f[1]);
    }
    EXPECT_NEAR(sum, 1.0, 6e-6);
    EXPECT_EQ(Cli({"estimate", path, "--counts"}).out, r.out);
}

// A file no setting can have played is refused with one line naming the
// game, not given a posterior.
TEST_F(CliEstimate, RefusesRecordsNoSettingPlays) {
    PlayHistory h;
    Slot slot(3);
    SimulateRun(slot, h, {false, 1}, 40);
    PlayHistory damaged = h;
    damaged.KoyakuLog()[7] = 42;
    PlayHistory bbFirst = h;
    bbFirst.KoyakuLog()[0] = BBGame;
    bbFirst.BBLog()[0] = RedBB;
    bbFirst.KeizokuNumLog()[0] = 2;
    // The BB comes by game 1532 at the latest.
    PlayHistory noBB;
    for (int i = 0; i < 1532; ++i) noBB.push_back({0, 0, 0, 0, 0, 0, 0, Miss});
    const std::vector<std::pair<PlayHistory, const char*>> cases = {
        {damaged, "game 8 holds codes the machine never records"},
        {bbFirst, "no setting can play this record: game 1"},
        {noBB, "no setting can play this record: game 1532 "},
    };
    for (const auto& [history, message] : cases) {
        const std::string path = Path("bad.sim");
        SaveSimFile(path, {1, 40}, history);
        const CliResult r = Cli({"estimate", path});
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_EQ(r.out, "");
        ASSERT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    // show refuses the same unrecordable game in its own words.
    const std::string damagedPath = Path("damaged.sim");
    SaveSimFile(damagedPath, {1, 40}, damaged);
    const CliResult shown = Cli({"show", damagedPath});
    EXPECT_EQ(shown.code, kExitUsage);
    EXPECT_EQ(shown.err, "morvane-sim: " + damagedPath + ": game 8 holds a value this machine never records\n");
    EXPECT_EQ(Cli({"estimate", damagedPath}).err,
              "morvane-sim: " + damagedPath +
                  ": game 8 holds codes the machine never records (small win 42, BB kind 0, sets 0)\n");
    PlayHistory longest;
    for (int i = 0; i < 1531; ++i) longest.push_back({0, 0, 0, 0, 0, 0, 0, Miss});
    const std::string path = Path("long.sim");
    SaveSimFile(path, {1, 1531}, longest);
    const CliResult r = Cli({"estimate", path});
    EXPECT_EQ(r.code, kExitOk) << r.err;
}

TEST_F(CliEstimate, RefusesFilesItCannotJudge) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;  // the one line on stderr
    };
    const std::string mark("\x0a\0\0\0", 4);
    const std::vector<Case> cases = {
        {"text.sim", "hello, world\n", "text.sim: not a Morvane simulation file"},
        {"tiny.sim", "ab", "tiny.sim: not a Morvane simulation file"},
        {"short.sim", mark + std::string("\x01\0\0", 3), "the file ends inside its 12-byte header"},
        {"empty.sim", mark + std::string("\x01\0\0\0\0\0\0\0", 8), "holds no games"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli({"estimate", WriteBytes(c.name, c.bytes)});
        EXPECT_EQ(r.code, kExitUsage) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        const auto lines = Lines(r.err);
        ASSERT_EQ(lines.size(), 1u) << c.name << ": " << r.err;
        EXPECT_NE(lines[0].find(c.message), std::string::npos) << c.name << ": " << lines[0];
    }
    EXPECT_EQ(Cli({"estimate", WriteBytes("x.sim", "nope")}).err,
              "morvane-sim: " + Path("x.sim") + ": not a Morvane simulation file\n");
    const CliResult missing = Cli({"estimate", Path("missing.sim")});
    EXPECT_EQ(missing.code, kExitUsage);
    EXPECT_NE(missing.err.find("missing.sim"), std::string::npos) << missing.err;
}

TEST(CliEstimateArguments, NeedExactlyOneFile) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"estimate"}, std::vector<std::string>{"estimate", "a.sim", "b.sim"},
          std::vector<std::string>{"estimate", "--plays"}, std::vector<std::string>{"estimate", "--counts"},
          std::vector<std::string>{"estimate", "--counts", "a.sim", "b.sim"}}) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    }
}

// Hall data: the same six lines as for a file, from what a player noted.
TEST(CliEstimateHall, PrintsThePosteriorOfTheNotedData) {
    const CliResult r = Cli(
        {"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88", "--count", "cherry=30", "--count", "suika=15"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    const HallEstimate e =
        EstimateSettingFromHallData({1700,
                                     {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}},
                                     {{*CountedWinKinds("cherry"), 30}, {*CountedWinKinds("suika"), 15}}});
    ASSERT_EQ(e.problem, HallProblem::None);
    for (std::size_t i = 0; i < 6; ++i) {
        const auto f = Fields(lines[i]);
        ASSERT_EQ(f.size(), 3u);
        EXPECT_EQ(f[0], std::to_string(i + 1));
        EXPECT_EQ(f[1], Fixed6(e.posterior.probability[i]));
        EXPECT_NEAR(std::stod(f[2]), e.posterior.logLikelihood[i], 1e-9);
    }
    // Games alone: no BB in 1000 games is possible, and says little.
    const CliResult bare = Cli({"estimate", "--games", "1000"});
    ASSERT_EQ(bare.code, kExitOk) << bare.err;
    EXPECT_EQ(Lines(bare.out).size(), 6u);
}

// The BB comes by game 1532 of a stretch at the latest: 1531 games without
// one are possible, 1532 are not, within the BB history as after it.
TEST(CliEstimateHall, RefusesOnlyStretchesTheMachineCannotPlay) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"estimate", "--games", "1531"},
             {"estimate", "--games", "3064", "--bb", "1532,1532"},
             {"estimate", "--games", "3063", "--bb", "1532r2,1"},
         }) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, kExitOk) << args[2] << ": " << r.err;
        EXPECT_EQ(Lines(r.out).size(), 6u) << args[2];
    }
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"estimate", "--games", "1532"},
             {"estimate", "--games", "1600", "--bb", "1533"},
             {"estimate", "--games", "3064", "--bb", "1531,1"},
         }) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.code, kExitUsage) << args[2];
        EXPECT_EQ(r.out, "") << args[2];
        EXPECT_EQ(r.err,
                  "morvane-sim: no setting can play this BB history: a stretch runs 1532 games or more without a BB\n")
            << args[2];
    }
}

TEST(CliEstimateHall, RefusesWhatItCannotRead) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"estimate", "--bb", "300b"},
             {"estimate", "--games", "0"},
             {"estimate", "--games", "1000", "--bb", "300x"},
             {"estimate", "--games", "1000", "--bb", "300b0"},
             {"estimate", "--games", "1000", "--bb", "300,,20"},
             {"estimate", "--games", "1000", "--bb", "800b,800r"},
             {"estimate", "--games", "1000", "--count", "melon=3"},
             {"estimate", "--games", "1000", "--count", "bell"},
             {"estimate", "--games", "1000", "--count", "cherry=3", "--count", "cherry2=1"},
             {"estimate", "--games", "1000", "--count", "bell=1001"},
             {"estimate", "--games", "1000", "--games", "900"},
             {"estimate", "--games", "1000", "a.sim"},
             {"estimate", "--games", "3000"},
         }) {
        const CliResult r = Cli(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(r.code, kExitUsage) << joined;
        EXPECT_EQ(r.out, "") << joined;
        EXPECT_EQ(Lines(r.err).size(), 1u) << joined << r.err;
    }
}

}  // namespace
}  // namespace morvane
