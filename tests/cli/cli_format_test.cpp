// --format csv and json: each reads back, with a CSV reader and a JSON
// parser, to the very figures the TAB-separated text prints.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "app/value_job.h"
#include "model/value_by_count.h"
#include "run/single_run.h"
#include "simfile/simfile.h"
#include "support/cli_run.h"
#include "support/csv_read.h"
#include "support/temp_folder.h"

namespace morvane {
namespace {

using nlohmann::json;
using test::CliResult;
using test::Fields;
using test::Lines;
using Rows = std::vector<std::vector<std::string>>;

CliResult Cli(const std::vector<std::string>& args) { return test::RunCli(args); }

// The TSV's lines split at TABs.
Rows TsvRows(const std::string& text) {
    Rows rows;
    for (const std::string& line : Lines(text)) rows.push_back(Fields(line));
    return rows;
}

// A JSON value is the TSV's figure: a number of the same value, null for
// -inf or an empty cell, true or false, or the same words.
::testing::AssertionResult Same(const json& v, const std::string& tsv) {
    if (v.is_number()) {
        if (!tsv.empty() && v.get<double>() == std::stod(tsv)) return ::testing::AssertionSuccess();
    } else if (v.is_null()) {
        if (tsv == "-inf" || tsv.empty()) return ::testing::AssertionSuccess();
    } else if (v.is_boolean()) {
        if (tsv == (v.get<bool>() ? "true" : "false")) return ::testing::AssertionSuccess();
    } else if (v.is_string() && v.get<std::string>() == tsv) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << v.dump() << " is not " << tsv;
}

// A JSON table: an array of objects with exactly these keys, row for row
// the TSV rows.
void ExpectTable(const json& table, const std::vector<std::string>& columns, const Rows& tsv) {
    ASSERT_TRUE(table.is_array()) << table.dump();
    ASSERT_EQ(table.size(), tsv.size()) << table.dump();
    for (std::size_t r = 0; r < tsv.size(); ++r) {
        ASSERT_EQ(table[r].size(), columns.size()) << table[r].dump();
        ASSERT_EQ(tsv[r].size(), columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) EXPECT_TRUE(Same(table[r].at(columns[c]), tsv[r][c]));
    }
}

// Runs the command in each format; TSV is what it has always printed.
struct Formats {
    Rows tsv;
    std::string tsvText;
    Rows csv;
    json doc;
};

Formats InEachFormat(std::vector<std::string> args) {
    Formats f;
    const CliResult tsv = Cli(args);
    EXPECT_EQ(tsv.code, kExitOk) << tsv.err;
    f.tsvText = tsv.out;
    f.tsv = TsvRows(tsv.out);
    args.push_back("--format");
    args.push_back("tsv");
    EXPECT_EQ(Cli(args).out, tsv.out);
    args.back() = "csv";
    const CliResult csv = Cli(args);
    EXPECT_EQ(csv.code, kExitOk) << csv.err;
    EXPECT_EQ(csv.err, "");
    f.csv = test::ReadCsv(csv.out);
    args.pop_back();
    args.back() = "--format=json";
    const CliResult doc = Cli(args);
    EXPECT_EQ(doc.code, kExitOk) << doc.err;
    EXPECT_EQ(doc.err, "");
    f.doc = json::parse(doc.out);
    return f;
}

Rows Slice(const Rows& rows, std::size_t first, std::size_t count) {
    return Rows(rows.begin() + static_cast<std::ptrdiff_t>(first),
                rows.begin() + static_cast<std::ptrdiff_t>(first + count));
}

TEST(CliFormats, TheoryReadsBackToTheTsvFigures) {
    const Formats f = InEachFormat({"theory", "--games", "3000"});
    ASSERT_EQ(f.tsv.size(), 14u);
    EXPECT_EQ(f.csv, f.tsv);
    ASSERT_TRUE(f.doc.is_object());
    EXPECT_EQ(f.doc.size(), 3u) << f.doc.dump();
    ExpectTable(f.doc.at("long_run"), f.tsv[0], Slice(f.tsv, 1, 6));
    EXPECT_EQ(f.doc.at("games"), 3000);
    ExpectTable(f.doc.at("expected_run"), f.tsv[7], Slice(f.tsv, 8, 6));

    const Formats plain = InEachFormat({"theory"});
    EXPECT_EQ(plain.doc.size(), 1u) << plain.doc.dump();
    EXPECT_EQ(plain.doc.at("long_run"), f.doc.at("long_run"));
}

class CliFormatsOfEstimate : public test::TempFolderTest {};

// The estimate prints no header in TSV; CSV and JSON name the columns.
void ExpectEstimate(const Formats& f, const std::vector<std::string>& columns) {
    ASSERT_EQ(f.tsv.size(), 6u);
    ASSERT_EQ(f.csv.size(), 7u);
    EXPECT_EQ(f.csv[0], columns);
    EXPECT_EQ(Slice(f.csv, 1, 6), f.tsv);
    EXPECT_EQ(f.doc.size(), 1u) << f.doc.dump();
    ExpectTable(f.doc.at("settings"), columns, f.tsv);
}

TEST_F(CliFormatsOfEstimate, FileAndHallDataReadBackToTheTsvFigures) {
    Slot slot(11);
    PlayHistory h;
    SimulateRun(slot, h, {false, 2}, 20'000);
    const std::string path = Path("run.sim");
    SaveSimFile(path, {2, 20'000}, h);
    ExpectEstimate(InEachFormat({"estimate", path}), {"setting", "posterior", "log_likelihood"});
    ExpectEstimate(InEachFormat({"estimate", "--counts", path}), {"setting", "posterior"});
    ExpectEstimate(InEachFormat({"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88", "--count", "cherry=30"}),
                   {"setting", "posterior", "log_likelihood"});
}

// --more: three lines after the posterior, the request and the chance each
// way with its error and the continuations, in every format.
TEST_F(CliFormatsOfEstimate, MoreGamesReadBackToTheTsvFigures) {
    Slot slot(5);
    PlayHistory h;
    SimulateRun(slot, h, {false, 5}, 4000);
    const std::string path = Path("five.sim");
    SaveSimFile(path, {5, 4000}, h);
    const Formats plain = InEachFormat({"estimate", path});
    const Formats f =
        InEachFormat({"estimate", path, "--more", "300", "--threshold", "0.6", "--sessions", "200", "--seed", "9"});
    ASSERT_EQ(f.tsv.size(), 9u) << f.tsvText;
    EXPECT_EQ(Slice(f.tsv, 0, 6), plain.tsv);
    EXPECT_EQ(f.tsv[6], (std::vector<std::string>{"more_games", "300", "0.600000", "9"}));
    for (std::size_t i : {7u, 8u}) {
        ASSERT_EQ(f.tsv[i].size(), 4u);
        EXPECT_EQ(f.tsv[i][3], "200");
    }
    EXPECT_EQ(f.tsv[7][0], "pass_5_6");
    EXPECT_EQ(f.tsv[8][0], "pass_top");
    ASSERT_EQ(f.csv.size(), 10u);
    EXPECT_EQ(Slice(f.csv, 7, 3), Slice(f.tsv, 6, 3));
    EXPECT_EQ(f.doc.size(), 4u) << f.doc.dump();
    EXPECT_EQ(f.doc.at("settings"), plain.doc.at("settings"));
    const json& more = f.doc.at("more_games");
    EXPECT_EQ(more.size(), 3u);
    EXPECT_TRUE(Same(more.at("games"), "300"));
    EXPECT_TRUE(Same(more.at("threshold"), "0.600000"));
    EXPECT_TRUE(Same(more.at("seed"), "9"));
    for (std::size_t i : {7u, 8u}) {
        const json& line = f.doc.at(f.tsv[i][0]);
        EXPECT_EQ(line.size(), 3u);
        EXPECT_TRUE(Same(line.at("chance"), f.tsv[i][1]));
        EXPECT_TRUE(Same(line.at("se"), f.tsv[i][2]));
        EXPECT_TRUE(Same(line.at("continuations"), f.tsv[i][3]));
    }
}

// --horizon and --now: each setting's row grows by the machine-now
// figures, a "mixed" line follows, then --now's and --more's named lines.
TEST_F(CliFormatsOfEstimate, HorizonAndNowReadBackToTheTsvFigures) {
    Slot slot(5);
    PlayHistory h;
    SimulateRun(slot, h, {false, 5}, 4000);
    const std::string path = Path("five.sim");
    SaveSimFile(path, {5, 4000}, h);
    const std::map<std::string, std::vector<std::string>> lineFields = {
        {"mixed", {"next_games", "until_bb", "until_bb_games"}},
        {"games_since_bb", {}},
        {"modes", {"hamari", "low", "high", "precursor", "blue7", "red7"}},
        {"best_rule", {"horizon", "kind", "n", "ev_medals"}},
        {"advice", {"verdict", "precursor_look"}},
        {"rule_spread", {"behind", "behind_se", "mean", "se", "sd", "sessions", "seed"}},
        {"more_games", {"games", "threshold", "seed"}},
        {"pass_5_6", {"chance", "se", "continuations"}},
        {"pass_top", {"chance", "se", "continuations"}},
    };
    struct Case {
        std::vector<std::string> args;
        bool now;
        std::size_t lines;  // in TSV
    };
    const std::vector<Case> cases = {
        {{"estimate", path, "--horizon", "500"}, false, 7},
        {{"estimate", "--games", "1700", "--bb", "312b5,45r,1200?3,88", "--horizon", "300", "--now", "--seed", "4"},
         true,
         12},
        {{"estimate", path, "--now", "--seed", "4", "--more", "100", "--sessions", "50"}, true, 15},
        // Leaving now is best at setting 1 just after a BB: no spread line.
        {{"estimate", "--games", "100", "--prior", "1,0,0,0,0,0", "--now"}, true, 11},
    };
    for (const Case& c : cases) {
        const Formats f = InEachFormat(c.args);
        ASSERT_EQ(f.tsv.size(), c.lines) << f.tsvText;
        std::vector<std::string> columns{"setting", "posterior", "log_likelihood", "next_games", "until_bb"};
        if (c.now) columns.push_back("until_bb_games");
        ASSERT_EQ(f.csv.size(), f.tsv.size() + 1);
        EXPECT_EQ(f.csv[0], columns);
        EXPECT_EQ(Slice(f.csv, 1, f.tsv.size()), f.tsv);
        ExpectTable(f.doc.at("settings"), columns, Slice(f.tsv, 0, 6));
        EXPECT_EQ(f.doc.size(), f.tsv.size() - 5) << f.doc.dump();
        for (std::size_t i = 6; i < f.tsv.size(); ++i) {
            const std::string& name = f.tsv[i][0];
            ASSERT_EQ(lineFields.count(name), 1u) << name;
            std::vector<std::string> fields = lineFields.at(name);
            if (name == "mixed" && !c.now) fields.pop_back();
            const json& v = f.doc.at(name);
            if (fields.empty()) {
                ASSERT_EQ(f.tsv[i].size(), 2u);
                EXPECT_TRUE(Same(v, f.tsv[i][1])) << name;
                continue;
            }
            ASSERT_EQ(f.tsv[i].size(), fields.size() + 1) << name;
            ASSERT_EQ(v.size(), fields.size()) << v.dump();
            for (std::size_t k = 0; k < fields.size(); ++k) EXPECT_TRUE(Same(v.at(fields[k]), f.tsv[i][k + 1])) << name;
        }
        if (c.now) {
            EXPECT_TRUE(f.doc.at("advice").at("precursor_look").is_boolean());
            EXPECT_TRUE(f.doc.at("best_rule").at("kind").is_string());
            EXPECT_EQ(f.doc.contains("rule_spread"), c.lines != 11) << f.doc.dump();
        }
    }
}

// value: the request and the counter from which the value stays positive
// in JSON, the table row for row the TSV's, which is to the byte the
// table's own text.
TEST(CliFormats, ValueReadsBackToTheTsvFigures) {
    const std::vector<std::string> args{"value", "--prior", "1,0,0,0,0,3", "--exchange",       "56",  "--lend",
                                        "46.5",  "--held",  "0",           "--games-per-hour", "650", "--threads",
                                        "2"};
    const Formats f = InEachFormat(args);
    CountValueRequest request{SettingPrior({1, 0, 0, 0, 0, 3}), HallMoney{Exchange{56}, 46.5, 0}};
    request.gamesPerHour = 650;
    const CountValue mixed = ValueByGameCount(request);
    EXPECT_EQ(f.tsvText, ValueTableText(mixed.mixed));
    ASSERT_EQ(f.tsv.size(), 1533u);
    EXPECT_EQ(f.csv, f.tsv);
    EXPECT_EQ(f.doc.size(), 7u) << f.doc.dump().substr(0, 400);
    EXPECT_EQ(f.doc.at("prior"), json::parse(R"({"w1": 0.25, "w2": 0, "w3": 0, "w4": 0, "w5": 0, "w6": 0.75})"));
    EXPECT_EQ(f.doc.at("exchange").dump(), "56");
    EXPECT_EQ(f.doc.at("lend").dump(), "46.5");
    EXPECT_EQ(f.doc.at("held"), 0);
    EXPECT_EQ(f.doc.at("games_per_hour"), 650);
    // The same columns in the same order in every format.
    const std::vector<std::string> columns{"games_since",   "ev_medals",    "ev_games",      "p_ceiling",
                                           "median_medals", "p_ahead",      "p10",           "p25",
                                           "p75",           "p90",          "ev_yen",        "median_yen",
                                           "p_ahead_yen",   "yen_per_hour", "median_yen_se", "p_ahead_yen_se"};
    EXPECT_EQ(f.tsv[0], columns);
    EXPECT_EQ(f.csv[0], columns);
    // JSON objects read back in any order: the text's first row says it.
    std::vector<std::string> jsonArgs = args;
    jsonArgs.insert(jsonArgs.end(), {"--format", "json"});
    const std::string text = Cli(jsonArgs).out;
    const std::size_t row = text.find("{\"games_since\"");
    ASSERT_NE(row, std::string::npos);
    const std::string first = text.substr(row, text.find('}', row) - row);
    std::size_t at = 0;
    for (const std::string& c : columns) {
        const std::size_t next = first.find("\"" + c + "\":");
        ASSERT_NE(next, std::string::npos) << c;
        EXPECT_GE(next, at) << c;
        at = next;
    }
    ASSERT_TRUE(mixed.mixed.positiveFrom);
    EXPECT_EQ(f.doc.at("positive_from"), *mixed.mixed.positiveFrom);
    ExpectTable(f.doc.at("by_count"), f.tsv[0], Slice(f.tsv, 1, 1532));

    const Formats one = InEachFormat({"value", "--setting", "1"});
    EXPECT_EQ(one.csv, one.tsv);
    EXPECT_EQ(one.doc.size(), 7u);
    EXPECT_EQ(one.doc.at("setting"), 1);
    EXPECT_EQ(one.doc.at("exchange"), 50);
    EXPECT_EQ(one.doc.at("lend"), 50);
    EXPECT_EQ(one.doc.at("held"), "all");
    EXPECT_EQ(one.doc.at("games_per_hour"), kDefaultGamesPerHour);
    // The README's worked example: worth sitting down from 889 games on.
    EXPECT_EQ(one.doc.at("positive_from"), 889);
    ExpectTable(one.doc.at("by_count"), one.tsv[0], Slice(one.tsv, 1, 1532));
}

// A spread and its merge from shards: the same document.
class CliFormatsOfSpread : public test::TempFolderTest {};

TEST_F(CliFormatsOfSpread, SpreadAndMergeReadBackToTheTsvFigures) {
    const std::vector<std::string> spread{"spread",     "--setting", "3",      "--games", "2000",
                                          "--sessions", "150",       "--seed", "9"};
    const Formats f = InEachFormat(spread);
    ASSERT_EQ(f.tsv.size(), 14u) << f.tsvText;
    EXPECT_EQ(f.csv, f.tsv);
    const json& d = f.doc;
    EXPECT_EQ(d.size(), 8u) << d.dump();
    for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(Same(d.at(f.tsv[i][0]), f.tsv[i][1])) << f.tsv[i][0];
    ExpectTable(d.at("quantities"), f.tsv[4], Slice(f.tsv, 5, 6));
    const std::vector<std::pair<std::size_t, std::vector<std::string>>> lines = {
        {11, {"sessions", "share", "se"}},
        {12, {"session", "seed", "balance_medals"}},
        {13, {"session", "seed", "balance_medals"}}};
    for (const auto& [at, fields] : lines) {
        const json& o = d.at(f.tsv[at][0]);
        ASSERT_EQ(o.size(), fields.size()) << o.dump();
        for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_TRUE(Same(o.at(fields[i]), f.tsv[at][i + 1]));
    }

    std::vector<std::string> merge{"merge"};
    for (int i = 0; i < 2; ++i) {
        std::vector<std::string> shard = spread;
        for (const std::string& a : {std::string("--shard"), std::to_string(i) + "/2", std::string("--out"),
                                     Path("s" + std::to_string(i) + ".txt")})
            shard.push_back(a);
        ASSERT_EQ(Cli(shard).code, kExitOk);
        merge.push_back(Path("s" + std::to_string(i) + ".txt"));
    }
    const Formats m = InEachFormat(merge);
    EXPECT_EQ(m.tsvText, f.tsvText);
    EXPECT_EQ(m.csv, f.csv);
    EXPECT_EQ(m.doc, f.doc);
}

// show: the four summary lines and "# caption" pages in TSV; CSV and JSON
// carry the same figures as named lines and tables with English names.
class CliFormatsOfShow : public test::TempFolderTest {};

struct ShowPage {
    std::string caption, table;
    std::vector<std::string> columns;
};

const std::vector<ShowPage> kShowPages = {
    {"PLAY情報", "plays", {"game", "games_since_bb", "pattern", "mode", "balance_medals"}},
    {"BB情報", "bb_list", {"game", "games_since_bb", "pattern", "continuation_mode", "mode_after", "medals"}},
    {"モード移行契機", "mode_changes", {"game", "games_since_bb", "pattern", "mode"}},
    {"小役出現率", "small_wins", {"small_win", "count", "rate", "one_in"}},
    {"モード別滞在率", "mode_stays", {"mode", "games", "rate", "one_in"}},
    {"継続モード抽選率", "continuation_modes", {"continuation_mode", "count", "rate", "one_in"}},
};

// The summary's figures as the TSV's four lines print them: the text
// between each mark and the next. (No std::regex: g++ 12 warns falsely in
// it under the sanitizers.)
std::map<std::string, std::string> SummaryFigures(const Rows& tsv) {
    std::string label;
    for (std::size_t i = 0; i < 4 && i < tsv.size(); ++i) label += tsv[i][0] + "\n";
    const std::vector<std::pair<std::string, std::string>> marks = {
        {"bb_games", "BB初当り数:"},       {"bbs", "\u3000BB数:"},
        {"games_per_bb", "\nBB確率:1/"},   {"payout_percent", "  機械割:"},
        {"sets_per_bb", "%\n継続数平均:"}, {"balance_yen", "\n収支:"}};
    std::map<std::string, std::string> figures;
    std::size_t at = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (label.compare(at, marks[i].second.size(), marks[i].second) != 0) return {};
        at += marks[i].second.size();
        const std::string next = i + 1 < marks.size() ? marks[i + 1].second : std::string("円\n");
        const std::size_t end = label.find(next, at);
        if (end == std::string::npos || end == at) return {};
        figures[marks[i].first] = label.substr(at, end - at);
        at = end;
    }
    if (label.compare(at, std::string::npos, "円\n") != 0) return {};
    for (const auto& [name, text] : figures)
        if (text.find_first_not_of("-0123456789.E") != std::string::npos) return {};
    return figures;
}

// The TSV's pages by caption, rows only; a "1/X" cell becomes X and a "0"
// there (never seen) the empty text CSV prints.
std::map<std::string, Rows> TsvPages(const Rows& tsv) {
    std::map<std::string, Rows> pages;
    Rows* page = nullptr;
    bool header = false;
    for (const auto& row : tsv) {
        if (row[0].rfind("# ", 0) == 0) {
            page = &pages[row[0].substr(2)];
            header = true;
        } else if (page && header) {
            header = false;
        } else if (page) {
            page->push_back(row);
            if (row.size() == 4 && (row[3] == "0" || row[3].rfind("1/", 0) == 0))
                page->back()[3] = row[3] == "0" ? "" : row[3].substr(2);
        }
    }
    return pages;
}

void ExpectShow(const Formats& f, bool withPlays) {
    const std::map<std::string, Rows> pages = TsvPages(f.tsv);
    ASSERT_EQ(pages.size(), withPlays ? 6u : 5u) << f.tsvText.substr(0, 400);
    const std::map<std::string, std::string> figures = SummaryFigures(f.tsv);
    const bool played = !figures.empty();
    const std::string games = f.doc.at("games").dump();
    EXPECT_EQ(played, games != "0") << f.tsvText.substr(0, 400);

    // CSV: the summary's lines, then sections after a blank line, each its
    // name, its columns and its rows.
    std::vector<Rows> sections(1);
    for (const auto& record : f.csv) {
        if (record == std::vector<std::string>{""})
            sections.emplace_back();
        else
            sections.back().push_back(record);
    }
    ASSERT_EQ(sections.size(), pages.size() + 1);
    ASSERT_EQ(sections[0].size(), 7u);
    EXPECT_EQ(sections[0][0], (std::vector<std::string>{"games", games}));
    for (std::size_t i = 1; i < 7; ++i) {
        const std::string& name = sections[0][i][0];
        EXPECT_EQ(sections[0][i], (std::vector<std::string>{name, played ? figures.at(name) : ""}));
        if (played)
            EXPECT_TRUE(Same(f.doc.at(name), figures.at(name))) << name;
        else
            EXPECT_TRUE(f.doc.at(name).is_null()) << name;
    }
    std::size_t s = 1;
    for (const ShowPage& page : kShowPages) {
        if (!pages.count(page.caption)) continue;
        const Rows& rows = pages.at(page.caption);
        const Rows& section = sections.at(s++);
        ASSERT_GE(section.size(), 2u);
        EXPECT_EQ(section[0], std::vector<std::string>{page.table});
        EXPECT_EQ(section[1], page.columns);
        EXPECT_EQ(Slice(section, 2, section.size() - 2), rows) << page.caption;

        const json& table = f.doc.at(page.table);
        Rows inJson = rows;
        for (auto& row : inJson)
            if (row.back().empty() && page.columns.back() == "one_in") row.back() = "-inf";  // null in JSON
        ExpectTable(table, page.columns, inJson);
    }
    EXPECT_EQ(f.doc.size(), 7 + pages.size()) << f.doc.dump().substr(0, 400);
}

TEST_F(CliFormatsOfShow, SummaryAndPagesReadBackToTheTsvFigures) {
    Slot slot(5);
    PlayHistory h;
    SimulateRun(slot, h, {false, 6}, 20'000);
    const std::string path = Path("run.sim");
    SaveSimFile(path, {6, 20'000}, h);
    ExpectShow(InEachFormat({"show", path}), false);
    // Twenty thousand plays are megabytes of text, written piece by piece.
    const Formats plays = InEachFormat({"show", path, "--plays"});
    ExpectShow(plays, true);
    ASSERT_EQ(plays.doc.at("plays").size(), 20'000u);
    EXPECT_EQ(plays.doc.at("plays").back().at("game"), 20'000);

    // A run without a BB has unseen small wins and an empty BB list.
    Slot few(1);
    PlayHistory short_;
    SimulateRun(few, short_, {false, 1}, 30);
    SaveSimFile(Path("short.sim"), {1, 30}, short_);
    const Formats f = InEachFormat({"show", Path("short.sim")});
    ExpectShow(f, false);
    EXPECT_EQ(f.doc.at("bb_list"), json::array());
    EXPECT_EQ(f.doc.at("bb_games"), 0);

    // A file saved before any run: no figures, empty pages.
    SaveSimFile(Path("zero.sim"), {1, 0}, PlayHistory{});
    ExpectShow(InEachFormat({"show", Path("zero.sim")}), false);
}

}  // namespace
}  // namespace morvane
