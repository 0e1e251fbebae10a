// --format csv and json: each reads back, with a CSV reader and a JSON
// parser, to the very figures the TAB-separated text prints.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

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
// -inf, or the same words.
::testing::AssertionResult Same(const json& v, const std::string& tsv) {
    if (v.is_number()) {
        if (v.get<double>() == std::stod(tsv)) return ::testing::AssertionSuccess();
    } else if (v.is_null()) {
        if (tsv == "-inf") return ::testing::AssertionSuccess();
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

// A spread and its merge from shards: the same document.
class CliFormatsOfSpread : public test::TempFolderTest {};

TEST_F(CliFormatsOfSpread, SpreadAndMergeReadBackToTheTsvFigures) {
    const std::vector<std::string> spread{"spread", "--setting", "3", "--games", "2000", "--sessions", "150",
                                          "--seed", "9"};
    const Formats f = InEachFormat(spread);
    ASSERT_EQ(f.tsv.size(), 14u) << f.tsvText;
    EXPECT_EQ(f.csv, f.tsv);
    const json& d = f.doc;
    EXPECT_EQ(d.size(), 8u) << d.dump();
    for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(Same(d.at(f.tsv[i][0]), f.tsv[i][1])) << f.tsv[i][0];
    ExpectTable(d.at("quantities"), f.tsv[4], Slice(f.tsv, 5, 6));
    const std::vector<std::pair<std::size_t, std::vector<std::string>>> lines = {
        {11, {"sessions", "share", "se"}}, {12, {"session", "seed", "balance_medals"}},
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

}  // namespace
}  // namespace morvane
