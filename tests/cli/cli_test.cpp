#include "cli/cli.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/spread_job.h"
#include "present/presentation.h"
#include "run/run_records.h"
#include "run/single_run.h"
#include "sessions/shard_file.h"
#include "sessions/shard_merge.h"
#include "simfile/simfile.h"
#include "support/cli_run.h"
#include "support/sha256.h"
#include "system/printable.h"
#include "version.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::Lines;
using test::RunCli;
using test::Sha256;
using test::Sha256Hex;
using test::Sha256OfFile;

TEST(Sha256, StandardVectors) {
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    // Two blocks: the padding no longer fits behind the message.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, MillionAsInUnevenPiecesMatchesTheStandardVector) {
    const std::string a(1'000'000, 'a');
    Sha256 h;
    std::size_t pos = 0;
    for (std::size_t step = 1; pos < a.size(); step = step % 97 + 1) {
        const std::size_t n = std::min(step, a.size() - pos);
        h.Update(a.data() + pos, n);
        pos += n;
    }
    EXPECT_EQ(h.HexDigest(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Digits, optionally with a fractional part.
bool IsDecimalNumber(const std::string& s) {
    const std::size_t dot = s.find('.');
    const std::string whole = s.substr(0, dot);
    const std::string frac = dot == std::string::npos ? "0" : s.substr(dot + 1);
    auto digits = [](const std::string& t) {
        return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return digits(whole) && digits(frac);
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Each test runs inside a fresh working folder.
class CliTest : public test::TempFolderTest {
protected:
    CliTest() : TempFolderTest(kEnterFolder) {}
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args); }
};

// The files and hashes of tests/reference/independent_results.md.
constexpr const char* kBatchSha[3] = {
    "671226e51ae7d749e6615b52688d2e6df8049faf83f781ee571ff7028e0f5bbc",
    "8ccfe38c1e048a0b2d3bd9bbad99972cefe061f6e4828f2d5c9d5d06c1f843bc",
    "562dd9886b1b7c9f5e297bdef64b21b7190a6647bf37076df8378b039d2ff9c1",
};
constexpr const char* kBatchNames[3] = {"b5_8000_1.sim", "b6_8000_2.sim", "b2_8000_3.sim"};
constexpr int kBatchSettings[3] = {5, 6, 2};

TEST_F(CliTest, SingleRunWritesTheKnownFile) {
    const std::string out = Path("one.sim");
    const CliResult r = Run({"run", "--seed", "1", "--setting", "1", "--games", "100000", "--out", out});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(fs::file_size(out), 3'200'012u);
    EXPECT_EQ(Sha256OfFile(out), "3cc88c96d9a2425304f849734b805dc9d04770697eaaa948c6d9b1017daa0bad");
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"one.sim"}));
}

TEST_F(CliTest, HiddenSettingBatchWritesOneNamedFilePerRun) {
    const CliResult r =
        Run({"run", "--seed", "12345", "--setting", "?", "--games", "8000", "--runs", "3", "--out", Path("b.sim")});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Lines(r.out),
              (std::vector<std::string>{Path(kBatchNames[0]), Path(kBatchNames[1]), Path(kBatchNames[2])}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Sha256OfFile(Path(kBatchNames[i])), kBatchSha[i]) << kBatchNames[i];
        // The name's setting is the one the file's header records.
        PlayHistory h;
        const SimReadResult read = LoadSimFile(Path(kBatchNames[i]), h);
        EXPECT_EQ(read.status, SimStatus::Ok);
        EXPECT_EQ(read.header, (SimHeader{kBatchSettings[i], 8000})) << kBatchNames[i];
        EXPECT_EQ(h.size(), 8000u);
    }
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"b2_8000_3.sim", "b5_8000_1.sim", "b6_8000_2.sim"}));
}

// run keeps no games: its summary comes from the run's tallies and its file
// is written as the games are played. Both are what the run kept in memory
// gives, over runs of several checkpoint blocks and slices, at a chosen and
// a hidden setting, and for the one-game run.
TEST_F(CliTest, RunWithoutKeepingItsGamesSummarisesAndSavesAsTheRunInMemory) {
    const std::int32_t long_games = 2 * kSliceGames + 5 * static_cast<std::int32_t>(kDefaultBlockGames) + 3;
    const struct {
        std::uint32_t seed;
        SettingChoice setting;
        std::int32_t games;
    } cases[] = {
        {1, {false, 1}, long_games}, {12345, {true, 0}, long_games}, {7, {false, 6}, 40000}, {3, {true, 0}, 1}};
    for (const auto& c : cases) {
        const std::string settingText = c.setting.hidden ? "?" : std::to_string(c.setting.setting);
        SCOPED_TRACE(std::to_string(c.seed) + " " + settingText + " " + std::to_string(c.games));
        RunSession kept(c.seed);
        ASSERT_EQ(kept.SimulateRun({c.setting, c.games}), RunEnd::Done);
        Presentation p;
        p.Present(kept.Current());
        kept.Save(Path("kept.sim"));

        const std::vector<std::string> run{"run",       "--seed",  std::to_string(c.seed), "--setting",
                                           settingText, "--games", std::to_string(c.games)};
        const CliResult alone = Run(run);
        ASSERT_EQ(alone.code, kExitOk) << alone.err;
        EXPECT_EQ(alone.out, p.ResultLabel() + "\n");
        std::vector<std::string> saving = run;
        saving.insert(saving.end(), {"--out", Path("streamed.sim")});
        const CliResult saved = Run(saving);
        ASSERT_EQ(saved.code, kExitOk) << saved.err;
        EXPECT_EQ(saved.out, alone.out);
        EXPECT_EQ(Sha256OfFile(Path("streamed.sim")), Sha256OfFile(Path("kept.sim")));
    }
}

// The signature of tests/reference/independent_results.md ("The bench signature").
TEST(CliBench, SignatureOfTwoTenMillionRunsSlow) {
    std::ostringstream out, err;
    const int code = CliMain({"bench", "--games", "10000000"}, out, err);
    ASSERT_EQ(code, kExitOk) << err.str();
    const std::vector<std::string> lines = Lines(out.str());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "signature 3272546d6a9b5af7"), lines.end()) << out.str();
    const auto rate =
        std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("games/s ", 0) == 0; });
    ASSERT_NE(rate, lines.end()) << out.str();
    EXPECT_TRUE(IsDecimalNumber(rate->substr(8))) << *rate;
}

// Bad input: exit 2, a message on err, nothing written.
struct BadInput {
    const char* name;
    std::vector<std::string> args;  // "@" stands for an --out path in the test's folder
    const char* mentions;           // what the message has to name
};

void PrintTo(const BadInput& b, std::ostream* os) { *os << b.name; }

class CliBadInput : public CliTest, public ::testing::WithParamInterface<BadInput> {};

// Bad input: exit 2, nothing on stdout, one line on stderr with the prefix
// that holds `mentions`.
void ExpectOneLineOfBadInput(const CliResult& r, const std::string& mentions) {
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 1u) << r.err;
    EXPECT_EQ(lines[0].rfind("morvane-sim: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(mentions), std::string::npos) << lines[0];
}

TEST_P(CliBadInput, ExitsTwoWithAMessageAndWritesNothing) {
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args)
        if (a == "@") a = Path("x.sim");
    ExpectOneLineOfBadInput(Run(args), GetParam().mentions);
    EXPECT_TRUE(Entries(dir_).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliBadInput,
    ::testing::Values(
        BadInput{"GamesZero", {"run", "--seed", "1", "--games", "0", "--out", "@"}, "0"},
        BadInput{"GamesNotANumber", {"run", "--seed", "1", "--games", "abc", "--out", "@"}, "abc"},
        BadInput{"GamesBeyond32Bits", {"run", "--seed", "1", "--games", "99999999999", "--out", "@"}, "99999999999"},
        BadInput{"RunsZero", {"run", "--seed", "1", "--games", "10", "--runs", "0", "--out", "@"}, "0"},
        BadInput{"SettingSeven", {"run", "--seed", "1", "--setting", "7", "--games", "10", "--out", "@"}, "7"},
        BadInput{"SettingNotANumber", {"run", "--seed", "1", "--setting", "x", "--games", "10", "--out", "@"}, "x"},
        BadInput{"UnknownOption", {"run", "--seed", "1", "--colour", "red", "--out", "@"}, "--colour"},
        BadInput{"UnknownCommand", {"walk", "--games", "10", "--out", "@"}, "walk"},
        BadInput{"OptionWithoutValue", {"run", "--out", "@", "--games"}, "--games"},
        BadInput{"BatchWithoutOut", {"run", "--seed", "1", "--games", "10", "--runs", "2"}, "--out"},
        BadInput{"OutEmpty", {"run", "--seed", "1", "--games", "10", "--out", ""}, "--out"},
        BadInput{"BatchOutEmpty", {"run", "--seed", "1", "--games", "10", "--runs", "2", "--out", ""}, "--out"},
        BadInput{"BatchBaseWithANewline", {"run", "--games", "10", "--runs", "2", "--out", "a\nb.sim"}, "a\\nb.sim"},
        BadInput{
            "BatchBaseWithAnEscape", {"run", "--games", "10", "--runs", "2", "--out", "\x1b[2Jb.sim"}, "\\x1b[2Jb.sim"},
        BadInput{"SeedBeyond32BitsAfterZeros", {"run", "--seed", "0004294967296", "--out", "@"}, "0004294967296"},
        BadInput{"SpreadHiddenSetting", {"spread", "--setting", "?", "--out", "@"}, "'?'"},
        BadInput{"SpreadSessionsZero", {"spread", "--sessions", "0", "--out", "@"}, "sessions"},
        BadInput{"SpreadThreadsZero", {"spread", "--threads", "0", "--out", "@"}, "threads"},
        BadInput{"SpreadShardBeyondItsCount", {"spread", "--shard", "3/3", "--out", "@"}, "'3/3'"},
        BadInput{"SpreadShardNotAFraction", {"spread", "--shard", "1", "--out", "@"}, "'1'"},
        BadInput{"SpreadShardWithoutOut", {"spread", "--shard", "0/2"}, "--out"},
        BadInput{"MergeWithoutFiles", {"merge"}, "merge"},
        BadInput{"FormatUnknown", {"theory", "--format", "xml"}, "format 'xml' must be tsv, csv or json"},
        BadInput{"FormatInCapitals", {"estimate", "--games", "100", "--format=JSON"}, "'JSON'"},
        BadInput{"FormatEmpty", {"merge", "@", "--format", ""}, "format ''"},
        BadInput{"FormatOfShow", {"show", "@", "--format", "tsv,json"}, "format 'tsv,json'"},
        BadInput{"FormatTwice", {"spread", "--format", "csv", "--format", "json"}, "--format"},
        BadInput{"FormatOfAShardFile", {"spread", "--shard", "0/2", "--out", "@", "--format", "csv"}, "--format"},
        BadInput{
            "FormatOfValue", {"value", "--setting", "1", "--format", "xml"}, "format 'xml' must be tsv, csv or json"},
        BadInput{"FormatOfHorizon", {"estimate", "--games", "100", "--horizon", "10", "--format", "tsv "}, "'tsv '"},
        BadInput{"FormatOfNow", {"estimate", "--games", "100", "--now", "--format=Json"}, "'Json'"},
        BadInput{"NowBeyondItsHorizon", {"estimate", "--games", "100", "--now", "--horizon", "20001"}, "20000"},
        BadInput{"PurchasesBeyondTheirHorizon",
                 {"estimate", "--games", "100", "--horizon", "1501", "--exchange", "56", "--held", "0"},
                 "a --horizon of at most 1500 games"},
        BadInput{"NowWithSessions", {"estimate", "--games", "100", "--now", "--sessions", "50"}, "--sessions"},
        BadInput{"NowSeedBeyond32Bits", {"estimate", "--games", "100", "--now", "--seed", "4294967296"}, "4294967296"},
        BadInput{"NowThreadsZero", {"estimate", "--games", "100", "--now", "--threads", "0"}, "threads"},
        BadInput{"NowTakesNoValue", {"estimate", "--games", "100", "--now=yes"}, "--now"},
        BadInput{"SeedWithoutMoreOrNow", {"estimate", "--games", "100", "--seed", "1"}, "--more"}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

// A spread prints the same on any number of threads, and merged from shards
// played by processes of their own; each session replays alone with run.
TEST_F(CliTest, SpreadIsTheSameOnAnyThreadsAndFromShardProcessesAndReplaysWithRun) {
    const std::vector<std::string> spread{"spread",     "--setting", "5",      "--games", "3000",
                                          "--sessions", "200",       "--seed", "31"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), spread.begin(), spread.end());
        return more;
    };
    const CliResult one = Run(with({"--threads", "1"}));
    ASSERT_EQ(one.code, kExitOk) << one.err;
    EXPECT_EQ(Lines(one.out).size(), 14u) << one.out;
    // Far more threads than sessions or than the system would start.
    for (const char* threads : {"2", "3", "50000"})
        EXPECT_EQ(Run(with({"--threads", threads})).out, one.out) << threads;

    std::vector<std::string> merge{"merge"};
    for (int i = 2; i >= 0; --i) {
        const std::string file = Path("shard" + std::to_string(i) + ".txt");
        const test::ProgramResult r = test::RunProgram(
            with({"--shard", std::to_string(i) + "/3", "--out", file, "--threads", "1"}), test::StdoutTo::Discard, "");
        ASSERT_TRUE(r.outcome.exited && r.outcome.exitCode == kExitOk) << r.outcome.Describe() << r.err;
        merge.push_back(file);
    }
    const CliResult merged = Run(merge);
    ASSERT_EQ(merged.code, kExitOk) << merged.err;
    EXPECT_EQ(merged.out, one.out);

    // The two ends the output names, and a session out of a shard file.
    std::vector<std::vector<std::string>> sessions;
    for (const std::string& line : Lines(one.out)) {
        const auto f = test::Fields(line);
        if (f[0] == "worst" || f[0] == "best") sessions.push_back({f[2], f[3]});
    }
    std::ifstream shard(Path("shard1.txt"));
    for (std::string line; std::getline(shard, line);) {
        const auto f = test::Fields(line);
        if (f[0] == "7") sessions.push_back({std::to_string(SessionSeed(31, 7)), f[1], f[2], f[3]});
    }
    ASSERT_EQ(sessions.size(), 3u);
    for (const auto& s : sessions) {
        const CliResult run = Run({"run", "--seed", s[0], "--setting", "5", "--games", "3000"});
        const std::vector<std::string> label = Lines(run.out);
        ASSERT_EQ(label.size(), 4u) << run.out;
        EXPECT_EQ(label[3], "収支:" + std::to_string(std::stoll(s[1]) * 20) + "円") << "seed " << s[0];
        if (s.size() == 4) {
            EXPECT_EQ(label[0], "BB初当り数:" + s[2] + "　BB数:" + s[3]);
        }
    }
}

TEST_F(CliTest, RunIntoAMissingFolderFailsNamingThePath) {
    const std::string missing = Path("missing");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"run", "--seed", "1", "--games", "10", "--runs", "2", "--out", missing + "/b.sim"},
          std::vector<std::string>{"run", "--seed", "1", "--games", "10", "--out", missing + "/one.sim"}}) {
        const CliResult r = Run(args);
        EXPECT_NE(r.code, kExitOk);
        EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(Entries(dir_).empty());
    }
}

TEST_F(CliTest, BatchStoppedByAnUnwritableThirdFileKeepsTheFirstTwoWhole) {
    const std::string blocked = Path(kBatchNames[2]);
    fs::create_directory(blocked);
    const CliResult r =
        Run({"run", "--seed", "12345", "--setting", "?", "--games", "8000", "--runs", "3", "--out", Path("b.sim")});
    EXPECT_NE(r.code, kExitOk);
    EXPECT_NE(r.err.find(blocked), std::string::npos) << r.err;
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{Path(kBatchNames[0]), Path(kBatchNames[1])}));
    EXPECT_EQ(Sha256OfFile(Path(kBatchNames[0])), kBatchSha[0]);
    EXPECT_EQ(Sha256OfFile(Path(kBatchNames[1])), kBatchSha[1]);
    // No temporary file left behind, and the blocking folder untouched.
    EXPECT_EQ(Entries(dir_), (std::vector<std::string>{"b2_8000_3.sim", "b5_8000_1.sim", "b6_8000_2.sim"}));
    EXPECT_TRUE(fs::is_directory(blocked));
    EXPECT_TRUE(fs::is_empty(blocked));
}

// --help and -h wherever an option may stand, and the word help first: the
// help of the command given, or the overall usage without one.
struct HelpCase {
    std::vector<std::string> args;
    const char* command;  // whose help it is; "" for the overall usage
};

void PrintTo(const HelpCase& h, std::ostream* os) {
    for (const std::string& a : h.args) *os << a << ' ';
}

class CliHelpAfterACommand : public CliTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(CliHelpAfterACommand, ShowsThatCommandsHelp) {
    const CliResult r = Run(GetParam().args);
    const std::string command = GetParam().command;
    EXPECT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    if (command.empty()) {
        EXPECT_EQ(r.out, Run({"--help"}).out);
        EXPECT_EQ(r.out.rfind("usage: morvane-sim run ", 0), 0u) << r.out;
    } else {
        EXPECT_EQ(r.out, Run({command, "--help"}).out);
        EXPECT_EQ(r.out.rfind("usage: morvane-sim " + command + " ", 0), 0u) << r.out;
        EXPECT_NE(r.out, Run({"--help"}).out);
    }
    EXPECT_TRUE(Entries(dir_).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliHelpAfterACommand,
    ::testing::Values(HelpCase{{"run", "--help"}, "run"}, HelpCase{{"run", "-h"}, "run"},
                      HelpCase{{"run", "--games", "5", "--out", "x.sim", "-h"}, "run"},
                      HelpCase{{"show", "--help"}, "show"}, HelpCase{{"show", "x.sim", "-h"}, "show"},
                      HelpCase{{"estimate", "--help"}, "estimate"},
                      HelpCase{{"estimate", "--games", "100", "-h"}, "estimate"}, HelpCase{{"theory", "-h"}, "theory"},
                      HelpCase{{"bench", "--help"}, "bench"}, HelpCase{{"spread", "--shard", "0/2", "-h"}, "spread"},
                      HelpCase{{"merge", "a.txt", "--help"}, "merge"}, HelpCase{{"help", "spread"}, "spread"},
                      HelpCase{{"-h"}, ""}, HelpCase{{"help"}, ""}));

// COMMAND --help: every option the command takes, each with its default
// where it has one and a sentence of help, and no other option.
struct OptionHelp {
    const char* option;
    const char* fallback;  // nullptr: none shown
};

struct CommandHelpCase {
    const char* command;
    std::vector<OptionHelp> options;
};

void PrintTo(const CommandHelpCase& c, std::ostream* os) { *os << c.command; }

// The entries of a help text below its usage block: each line that starts
// with two spaces, then a name, joined with the indented lines that continue
// it.
std::map<std::string, std::string> HelpEntries(const std::string& help) {
    std::map<std::string, std::string> entries;
    std::string* last = nullptr;
    const std::vector<std::string> lines = Lines(help);
    for (auto line = std::find(lines.begin(), lines.end(), ""); line != lines.end(); ++line) {
        if (line->rfind("   ", 0) == 0 && last) {
            *last += " " + line->substr(line->find_first_not_of(' '));
        } else if (line->rfind("  ", 0) == 0) {
            const std::string name = line->substr(2, line->find(' ', 2) - 2);
            last = &entries[name];
            *last = line->substr(2);
        } else {
            last = nullptr;
        }
    }
    return entries;
}

class CliCommandHelp : public CliTest, public ::testing::WithParamInterface<CommandHelpCase> {};

TEST_P(CliCommandHelp, NamesEachOptionWithItsDefault) {
    const CliResult r = Run({GetParam().command, "--help"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    std::map<std::string, std::string> entries = HelpEntries(r.out);
    ASSERT_EQ(entries.count("-h,--help"), 1u) << r.out;
    entries.erase("-h,--help");
    for (const OptionHelp& o : GetParam().options) {
        const auto it = entries.find(o.option);
        ASSERT_NE(it, entries.end()) << o.option << " missing from\n" << r.out;
        const std::string& entry = it->second;
        // The name, its value's name, then at least a few words of help.
        EXPECT_GT(entry.size(), std::string(o.option).size() + 25) << entry;
        if (o.fallback) {
            EXPECT_NE(entry.find(std::string("(default: ") + o.fallback + ")"), std::string::npos) << entry;
        } else {
            EXPECT_EQ(entry.find("default"), std::string::npos) << entry;
        }
        entries.erase(it);
    }
    for (const auto& [name, entry] : entries) ADD_FAILURE() << "not in the table: " << entry;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliCommandHelp,
    ::testing::Values(CommandHelpCase{"run",
                                      {{"--seed", "the clock's seconds"},
                                       {"--setting", "1"},
                                       {"--games", "1"},
                                       {"--runs", "1"},
                                       {"--out", "not saved"}}},
                      CommandHelpCase{"show", {{"FILE.sim", nullptr}, {"--plays", nullptr}, {"--format", "tsv"}}},
                      CommandHelpCase{"theory", {{"--games", "no second table"}, {"--format", "tsv"}}},
                      CommandHelpCase{"estimate",
                                      {{"FILE.sim", nullptr},
                                       {"--counts", nullptr},
                                       {"--games", nullptr},
                                       {"--bb", "no BB"},
                                       {"--count", "none counted"},
                                       {"--prior", "1,1,1,1,1,1"},
                                       {"--horizon", nullptr},
                                       {"--now", nullptr},
                                       {"--more", nullptr},
                                       {"--threshold", "0.8"},
                                       {"--sessions", "2000"},
                                       {"--seed", "the clock's seconds"},
                                       {"--threads", "every core"},
                                       {"--format", "tsv"},
                                       {"--exchange", "50 (20 yen a medal)"},
                                       {"--lend", "50"},
                                       {"--held", "all"},
                                       {"--games-per-hour", "750"}}},
                      CommandHelpCase{"bench", {{"--games", "10000000"}}},
                      CommandHelpCase{"spread",
                                      {{"--setting", "1"},
                                       {"--games", "1"},
                                       {"--sessions", "1"},
                                       {"--seed", "the clock's seconds"},
                                       {"--threads", "every core"},
                                       {"--shard", "every session"},
                                       {"--out", "printed"},
                                       {"--format", "tsv"}}},
                      CommandHelpCase{"merge", {{"FILE...", nullptr}, {"--format", "tsv"}}},
                      CommandHelpCase{"value",
                                      {{"--setting", nullptr},
                                       {"--prior", nullptr},
                                       {"--exchange", "50 (20 yen a medal)"},
                                       {"--lend", "50"},
                                       {"--held", "all"},
                                       {"--games-per-hour", "750"},
                                       {"--threads", "every core"},
                                       {"--format", "tsv"}}}),
    [](const ::testing::TestParamInfo<CommandHelpCase>& info) { return std::string(info.param.command); });

// The overall usage: a usage line and an entry for every command.
TEST_F(CliTest, HelpListsEveryCommandAndTheVersion) {
    const CliResult r = Run({"--help"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::map<std::string, std::string> entries = HelpEntries(r.out);
    for (const char* command : {"run", "show", "theory", "estimate", "bench", "spread", "merge", "value"}) {
        EXPECT_NE(r.out.find(std::string("morvane-sim ") + command + " "), std::string::npos) << command;
        EXPECT_EQ(entries.count(command), 1u) << command << " missing from\n" << r.out;
    }
    EXPECT_EQ(entries.count("--version"), 1u) << r.out;

    const CliResult v = Run({"--version"});
    EXPECT_EQ(v.code, kExitOk);
    EXPECT_EQ(v.err, "");
    EXPECT_EQ(v.out, std::string("morvane-sim ") + kMorvaneVersion + "\n");
}

// --opt=value is --opt value, to the byte.
struct FormsCase {
    const char* name;
    std::vector<std::string> joined, apart;
};

void PrintTo(const FormsCase& f, std::ostream* os) { *os << f.name; }

class CliOptionForms : public CliTest, public ::testing::WithParamInterface<FormsCase> {};

TEST_P(CliOptionForms, GiveTheSameOutput) {
    const CliResult a = Run(GetParam().joined), b = Run(GetParam().apart);
    ASSERT_EQ(a.code, kExitOk) << a.err;
    ASSERT_EQ(b.code, kExitOk) << b.err;
    EXPECT_FALSE(a.out.empty());
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(a.err, b.err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliOptionForms,
    ::testing::Values(FormsCase{"Run",
                                {"run", "--seed=9", "--setting=?", "--games=8000"},
                                {"run", "--seed", "9", "--setting", "?", "--games", "8000"}},
                      FormsCase{"Theory", {"theory", "--games=8000"}, {"theory", "--games", "8000"}},
                      FormsCase{"Spread",
                                {"spread", "--setting=4", "--games=8000", "--sessions=30", "--seed=5", "--threads=2"},
                                {"spread", "--setting", "4", "--games", "8000", "--sessions", "30", "--seed", "5",
                                 "--threads", "2"}},
                      // Only the first = parts the name from the value.
                      FormsCase{"EstimateHallData",
                                {"estimate", "--games=1700", "--bb=312b5,45r", "--count=cherry=30"},
                                {"estimate", "--games", "1700", "--bb", "312b5,45r", "--count", "cherry=30"}}),
    [](const ::testing::TestParamInfo<FormsCase>& info) { return std::string(info.param.name); });

// Leading zeros count for nothing, in every number.
struct ZerosCase {
    const char* name;
    std::vector<std::string> padded, plain;
};

void PrintTo(const ZerosCase& z, std::ostream* os) { *os << z.name; }

class CliLeadingZeros : public CliTest, public ::testing::WithParamInterface<ZerosCase> {};

TEST_P(CliLeadingZeros, ReadAsTheSameNumber) {
    std::vector<std::string> padded = GetParam().padded, plain = GetParam().plain;
    padded.insert(padded.end(), {"--out", Path("padded.sim")});
    plain.insert(plain.end(), {"--out", Path("plain.sim")});
    const CliResult a = Run(padded), b = Run(plain);
    ASSERT_EQ(a.code, kExitOk) << a.err;
    ASSERT_EQ(b.code, kExitOk) << b.err;
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(Sha256OfFile(Path("padded.sim")), Sha256OfFile(Path("plain.sim")));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliLeadingZeros,
                         ::testing::Values(ZerosCase{"Seed",
                                                     {"run", "--seed", "00000000001", "--games", "50"},
                                                     {"run", "--seed", "1", "--games", "50"}},
                                           ZerosCase{"SeedZero",
                                                     {"run", "--seed", "0000000000000", "--games", "50"},
                                                     {"run", "--seed", "0", "--games", "50"}},
                                           ZerosCase{"LongGames",
                                                     {"run", "--seed", "3", "--games", std::string(100000, '0') + "5"},
                                                     {"run", "--seed", "3", "--games", "5"}},
                                           ZerosCase{"Setting",
                                                     {"run", "--seed", "3", "--setting", "06", "--games", "50"},
                                                     {"run", "--seed", "3", "--setting", "6", "--games", "50"}}),
                         [](const ::testing::TestParamInfo<ZerosCase>& info) { return std::string(info.param.name); });

// Error lines: one line, the prefix, values escaped and cut.
struct MessageCase {
    const char* name;
    // "@text", "@fifo" (no writer), "@huge" (a shard header of 2^31 - 1
    // sessions) and "@unplayable" (a simulation file with a code the machine
    // never records, its name holding an escape) stand for files in the
    // test's folder, "@dir" for the folder.
    std::vector<std::string> args;
    std::string line;  // what the one line must hold
};

void PrintTo(const MessageCase& m, std::ostream* os) { *os << m.name; }

class CliMessages : public CliTest, public ::testing::WithParamInterface<MessageCase> {
protected:
    static std::string Unplayable(const std::string& path) {
        PlayHistory h;
        h.push_back({1, -3, 0, 1, 0, 0, 2, 42});
        SaveSimFile(path, {1, 1}, h);
        return path;
    }
};

TEST_P(CliMessages, AreOneShortLineWithThePrefix) {
    std::vector<std::string> args = GetParam().args;
    std::string line = GetParam().line;
    const std::map<std::string, std::string> files{
        {"@text", WriteBytes("notes.txt", "hello, world\n")},
        {"@fifo", Path("pipe")},
        {"@huge", WriteBytes("huge.txt",
                             "morvane-spread\t1\nsetting\t1\ngames\t8000\nsessions\t2147483647\n"
                             "seed\t1\nshard\t0/1\nsession\tbalance\tbb_games\tbbs\tdeepest_dip\n")},
        {"@dir", dir_},
        {"@unplayable", Unplayable(Path("bad\x1b[2J.sim"))}};
    ASSERT_EQ(::mkfifo(files.at("@fifo").c_str(), 0600), 0);
    for (const auto& [token, path] : files) {
        if (const std::size_t at = line.find(token); at != std::string::npos)
            line.replace(at, token.size(), Printable(path));
        for (std::string& a : args)
            if (a == token) a = path;
    }
    const CliResult r = Run(args);
    ExpectOneLineOfBadInput(r, line);
    EXPECT_LT(r.err.size(), 401u);  // the line and its newline
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliMessages,
    ::testing::Values(
        MessageCase{"NewlineInAValue", {"run", "--games", "1\n2"}, "'1\\n2'"},
        MessageCase{"EscapeInAnOption", {"run", "--colour\x1b[31m", "red"}, "'--colour\\x1b[31m'"},
        MessageCase{"HugeValueIsCut", {"run", "--games", std::string(100000, '9')}, "... (100000 bytes)'"},
        MessageCase{"ControlCharactersInAPath", {"show", "miss\ning\r.sim"}, "miss\\ning\\r.sim: cannot open"},
        MessageCase{"HugePathIsCut", {"estimate", std::string(5000, 'p')}, "... (5000 bytes): cannot open"},
        MessageCase{"ShowOfATextFile", {"show", "@text"}, "morvane-sim: @text: not a Morvane simulation file"},
        MessageCase{"EstimateOfATextFile", {"estimate", "@text"}, "morvane-sim: @text: not a Morvane simulation file"},
        MessageCase{"MergeOfATextFile", {"merge", "@text"}, "morvane-sim: @text: not a spread shard file"},
        MessageCase{"MergeOfAMissingFile", {"merge", "miss\ning"}, "miss\\ning: cannot open"},
        // Never waits, never reads more than a line of what is no shard file.
        MessageCase{"MergeOfAFolder", {"merge", "@dir"}, "@dir: read failed: Is a directory"},
        MessageCase{"MergeOfAFifoWithoutAWriter", {"merge", "@fifo"}, "@fifo: not a spread shard file"},
        MessageCase{"MergeOfAnEndlessStream", {"merge", "/dev/zero"}, "/dev/zero: not a spread shard file"},
        MessageCase{"MergeOfMoreSessionsThanMemory",
                    {"merge", "@huge"},
                    "@huge: its spread of 2147483647 sessions needs more than the"},
        // The parser's refusals, word for word.
        MessageCase{
            "UnknownOption", {"run", "--x"}, "morvane-sim: unknown option '--x' (morvane-sim --help shows the usage)"},
        MessageCase{"UnknownOptionWithAValue",
                    {"spread", "--colour=red"},
                    "morvane-sim: unknown option '--colour=red' (morvane-sim --help shows the usage)"},
        MessageCase{"UnknownOptionOfAFileCommand",
                    {"show", "--x", "a.sim"},
                    "morvane-sim: unexpected argument '--x' (morvane-sim --help shows the usage)"},
        MessageCase{"SecondFile",
                    {"show", "a.sim", "b.sim"},
                    "morvane-sim: unexpected argument 'b.sim' (morvane-sim --help shows the usage)"},
        MessageCase{"MissingValue",
                    {"theory", "--games"},
                    "morvane-sim: option --games needs a value (morvane-sim --help shows the usage)"},
        MessageCase{"MissingValueAfterTheEquals",
                    {"spread", "--out="},
                    "morvane-sim: option --out needs a value (morvane-sim --help shows the usage)"},
        MessageCase{"GivenTwice",
                    {"run", "--games", "1", "--games=2"},
                    "morvane-sim: option --games given twice (morvane-sim --help shows the usage)"},
        MessageCase{"HallGamesGivenTwice",
                    {"estimate", "--games", "1000", "--games", "900"},
                    "morvane-sim: option --games given twice (morvane-sim --help shows the usage)"},
        MessageCase{"FlagWithAValue",
                    {"show", "--plays=yes", "a.sim"},
                    "morvane-sim: option --plays takes no value (morvane-sim --help shows the usage)"},
        MessageCase{"UnknownCommand",
                    {"walk", "--games", "10"},
                    "morvane-sim: unknown command 'walk' (morvane-sim --help shows the usage)"},
        MessageCase{"OptionBeforeTheCommand",
                    {"--games", "10", "run"},
                    "morvane-sim: unknown command '--games' (morvane-sim --help shows the usage)"},
        MessageCase{"NoCommand", {}, "morvane-sim: no command given (morvane-sim --help shows the usage)"},
        // estimate quotes what it refuses as every other command does.
        MessageCase{"EstimateGamesWithAnEscape",
                    {"estimate", "--games", "\x1b[31m"},
                    "morvane-sim: games '\\x1b[31m' must be a 32-bit integer of at least 1"},
        MessageCase{"EstimateBBWithANewline",
                    {"estimate", "--games", "100", "--bb", "1b5\n"},
                    "morvane-sim: BB '1b5\\n' is not GAMES"},
        // A BB refused says which of its parts is wrong, as the window does.
        MessageCase{
            "EstimateBBColourIsNamed",
            {"estimate", "--games", "100", "--bb", "312x5"},
            "morvane-sim: BB '312x5' is not GAMES[b|r|?[SETS]], for example 312b5: its colour 'x' is not b, r or ?"},
        MessageCase{"EstimateBBSetsAreNamed",
                    {"estimate", "--games", "100", "--bb", "88,1b0"},
                    "BB '1b0' is not GAMES[b|r|?[SETS]], for example 312b5: its sets '0' are not a 32-bit integer of "
                    "at least 1"},
        MessageCase{"EstimateBBWithoutGames",
                    {"estimate", "--games", "100", "--bb", "b5"},
                    "BB 'b5' is not GAMES[b|r|?[SETS]], for example 312b5: it does not start with its games"},
        MessageCase{"EstimateCountWithAnEscape",
                    {"estimate", "--games", "100", "--count", "cherry=\x1b[2J"},
                    "morvane-sim: count 'cherry=\\x1b[2J' is not NAME=K"},
        MessageCase{"EstimateUnknownOptionWithAnEscape",
                    {"estimate", "--x\x1b[2J", "a.sim"},
                    "morvane-sim: unknown option '--x\\x1b[2J'"},
        MessageCase{"EstimateHallUnknownOptionWithAnEscape",
                    {"estimate", "--games", "100", "--x\x1b[2J"},
                    "morvane-sim: unknown option '--x\\x1b[2J'"},
        MessageCase{"EstimateRefusedFileWithAnEscape",
                    {"estimate", "@unplayable"},
                    "morvane-sim: @unplayable: game 1 holds codes the machine never records"},
        MessageCase{"EstimateHugeGamesIsCut",
                    {"estimate", "--games", std::string(100000, '9')},
                    "... (100000 bytes)' must be a 32-bit integer"}),
    [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

// Output and files that cannot be written: morvane-sim run as a process of
// its own, its standard output full, closed or cut short by a file-size
// limit. Every case must end with 1 and a line on stderr.
struct WriteFailure {
    const char* name;
    std::vector<std::string> args;  // "@" stands for a path in the test's folder
    test::StdoutTo to;
    const char* says;  // on stderr
};

void PrintTo(const WriteFailure& w, std::ostream* os) { *os << w.name; }

class CliWriteFailures : public CliTest, public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(CliWriteFailures, EndWithOneAndSaySo) {
    std::vector<std::string> args = GetParam().args;
    const std::string file = Path("run.sim");
    SaveSimFile(file, {2, 1}, [] {
        PlayHistory h;
        h.push_back({1, -3, 0, 1, 0, 0, 2, 5});
        return h;
    }());
    for (std::string& a : args) {
        if (a == "@") a = Path("out.sim");
        if (a == "@run") a = file;
    }
    const test::ProgramResult r = test::RunProgram(args, GetParam().to, Path("stdout.txt"));
    EXPECT_TRUE(r.outcome.exited) << r.outcome.Describe();
    EXPECT_EQ(r.outcome.exitCode, kExitFailure) << r.err;
    const std::vector<std::string> lines = Lines(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(GetParam().says), std::string::npos) << r.err;
    EXPECT_EQ(lines.back().rfind("morvane-sim: ", 0), 0u) << r.err;
    // No temporary file left behind.
    for (const std::string& name : Entries(dir_)) EXPECT_EQ(name.find(".morvane-save-"), std::string::npos) << name;
}

using test::StdoutTo;
constexpr const char* kStdoutFails = "cannot write to standard output";

INSTANTIATE_TEST_SUITE_P(
    Cases, CliWriteFailures,
    ::testing::Values(
        WriteFailure{"ShowFull", {"show", "@run"}, StdoutTo::FullDevice, kStdoutFails},
        WriteFailure{"ShowClosed", {"show", "@run"}, StdoutTo::Closed, kStdoutFails},
        WriteFailure{"ShowPlaysCut", {"show", "--plays", "@run"}, StdoutTo::LimitedFile, kStdoutFails},
        WriteFailure{"EstimateFull", {"estimate", "@run"}, StdoutTo::FullDevice, kStdoutFails},
        WriteFailure{"EstimateCut", {"estimate", "@run"}, StdoutTo::LimitedFile, kStdoutFails},
        WriteFailure{"TheoryClosed", {"theory"}, StdoutTo::Closed, kStdoutFails},
        WriteFailure{"TheoryCut", {"theory"}, StdoutTo::LimitedFile, kStdoutFails},
        WriteFailure{"BenchFull", {"bench", "--games", "1000"}, StdoutTo::FullDevice, kStdoutFails},
        WriteFailure{"HelpClosed", {"--help"}, StdoutTo::Closed, kStdoutFails},
        WriteFailure{"RunLabelFull", {"run", "--games", "10", "--out", "@"}, StdoutTo::FullDevice, kStdoutFails},
        WriteFailure{
            "RunLabelClosedKeepsTheFileClean", {"run", "--games", "10", "--out", "@"}, StdoutTo::Closed, kStdoutFails},
        WriteFailure{"BatchPathsFull",
                     {"run", "--games", "10", "--runs", "3", "--out", "@"},
                     StdoutTo::FullDevice,
                     kStdoutFails},
        WriteFailure{
            "BatchPathsClosed", {"run", "--games", "10", "--runs", "3", "--out", "@"}, StdoutTo::Closed, kStdoutFails},
        WriteFailure{"SpreadFull", {"spread", "--games", "10", "--sessions", "5"}, StdoutTo::FullDevice, kStdoutFails},
        WriteFailure{"SpreadShardOverTheFileSizeLimit",
                     {"spread", "--games", "10", "--sessions", "100", "--shard", "1/2", "--out", "big.txt"},
                     StdoutTo::LimitedFile,
                     "big.txt: write failed: File too large"},
        // ulimit -f: the save itself fails, naming the file.
        WriteFailure{"SaveOverTheFileSizeLimit",
                     {"run", "--games", "1000", "--out", "big.sim"},
                     StdoutTo::LimitedFile,
                     "big.sim: write failed: File too large"}),
    [](const ::testing::TestParamInfo<WriteFailure>& info) { return std::string(info.param.name); });

TEST_F(CliTest, ClosedStandardOutputNeverLandsInTheSavedFile) {
    // The file opened first would get descriptor 1 and the summary with it.
    const test::ProgramResult r =
        test::RunProgram({"run", "--seed", "1", "--games", "10", "--out", Path("one.sim")}, StdoutTo::Closed, "");
    EXPECT_EQ(r.outcome.exitCode, kExitFailure) << r.err;
    EXPECT_EQ(fs::file_size(Path("one.sim")), SimFileBytes(10));
}

// Under an address-space limit: what does not fit is refused with its size
// and exit 2, never "out of memory" nor the kernel's kill. An endless stream
// of records after a header grows its storage up to the room and no further.
TEST_F(CliTest, WhatDoesNotFitUnderAnAddressSpaceLimitIsRefusedWithItsSize) {
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer's shadow memory alone is terabytes of address space:
    // a program built with it cannot start under this limit at all.
    GTEST_SKIP() << "not under AddressSanitizer";
#endif
    constexpr rlim_t kLimit = rlim_t{512} << 20;
    const std::string endless = "printf '\\012\\0\\0\\0\\001\\0\\0\\0\\0\\0\\0\\0'; exec cat /dev/zero";
    const struct {
        std::vector<std::string> args;
        std::string stdinShell;
        const char* says;
    } cases[] = {
        {{"spread", "--games", "10", "--sessions", "30000000"}, "", "30000000 sessions"},
        {{"show", "/dev/stdin"}, endless, "/dev/stdin: the file's history does not fit in the available memory"},
    };
    for (const auto& c : cases) {
        const test::ProgramResult r =
            test::RunProgram(c.args, StdoutTo::Discard, "", 60, {.addressSpace = kLimit, .stdinShell = c.stdinShell});
        ASSERT_TRUE(r.outcome.exited) << c.args[0] << ": " << r.outcome.Describe();
        EXPECT_EQ(r.outcome.exitCode, kExitUsage) << c.args[0] << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // A run keeps tallies, not games, and streams its file; bench keeps
    // checkpoints: the same games fit, with and without --out.
    {
        const test::ProgramResult r =
            test::RunProgram({"bench", "--games", "30000000"}, StdoutTo::File, Path("bench.txt"), 60,
                             {.addressSpace = kLimit, .stdinShell = ""});
        EXPECT_EQ(r.outcome.exitCode, kExitOk) << r.err;
        std::ifstream lines(Path("bench.txt"));
        EXPECT_EQ(Lines({std::istreambuf_iterator<char>(lines), std::istreambuf_iterator<char>()}).size(), 2u);
    }
    const std::string file = Path("fits.sim");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"run", "--seed", "2", "--games", "30000000"},
                                                 {"run", "--seed", "2", "--games", "30000000", "--out", file}}) {
        const test::ProgramResult r =
            test::RunProgram(args, StdoutTo::File, Path("label.txt"), 60, {.addressSpace = kLimit, .stdinShell = ""});
        EXPECT_EQ(r.outcome.exitCode, kExitOk) << args.size() << ": " << r.err;
        std::ifstream label(Path("label.txt"));
        EXPECT_EQ(Lines({std::istreambuf_iterator<char>(label), std::istreambuf_iterator<char>()}).size(), 4u);
    }
    EXPECT_EQ(fs::file_size(file), SimFileBytes(30000000));

    // The estimate and the machine after the record are judged as a stream
    // is read: 20 000 000 games, 640 MB of records, under the same limit.
    const test::ProgramResult now =
        test::RunProgram({"estimate", "/dev/stdin", "--now", "--horizon", "100"}, StdoutTo::File, Path("now.txt"), 60,
                         {.addressSpace = kLimit,
                          .stdinShell = std::string("exec '") + MORVANE_SIM_PATH +
                                        "' run --seed 2 --setting 5 --games 20000000 --out /dev/fd/3 3>&1 >/dev/null"});
    EXPECT_EQ(now.outcome.exitCode, kExitOk) << now.err;
    std::ifstream figures(Path("now.txt"));
    const std::string text{std::istreambuf_iterator<char>(figures), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("best_rule\t"), std::string::npos) << text;
}

// `--out /dev/stdout > f.sim`: the file is the program's own standard
// output, so it is written into, not replaced, and the summary follows the
// records in it.
TEST_F(CliTest, SavingToTheProgramsOwnStandardOutputWritesIntoIt) {
    const std::string file = Path("f.sim");
    const CliResult alone = Run({"run", "--seed", "3", "--games", "8000"});
    for (const char* target : {"/dev/stdout", "/proc/self/fd/1"}) {
        const test::ProgramResult r =
            test::RunProgram({"run", "--seed", "3", "--games", "8000", "--out", target}, StdoutTo::File, file);
        EXPECT_EQ(r.outcome.exitCode, kExitOk) << target << ": " << r.err;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_EQ(bytes.size(), SimFileBytes(8000) + alone.out.size()) << target;
        EXPECT_EQ(bytes.substr(SimFileBytes(8000)), alone.out) << target;
        PlayHistory h;
        const std::string records = Path("records.sim");
        std::ofstream(records, std::ios::binary) << bytes.substr(0, SimFileBytes(8000));
        EXPECT_EQ(LoadSimFile(records, h).status, SimStatus::Ok);
        EXPECT_EQ(h.size(), 8000u);
    }
}

TEST_F(CliTest, ShowOfAFifoWithoutAWriterEndsAtOnce) {
    const std::string fifo = Path("in.sim");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char* command : {"show", "estimate"}) {
        const test::ProgramResult r = test::RunProgram({command, fifo}, StdoutTo::Discard, "", 20);
        EXPECT_TRUE(r.outcome.exited) << command << ": " << r.outcome.Describe();
        EXPECT_EQ(r.outcome.exitCode, kExitUsage) << command;
        EXPECT_EQ(r.err, "morvane-sim: " + fifo + ": not a Morvane simulation file\n") << command;
    }
}

}  // namespace
}  // namespace morvane
