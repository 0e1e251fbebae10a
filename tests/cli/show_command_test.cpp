#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "run/single_run.h"
#include "simfile/simfile.h"
#include "support/cli_run.h"

namespace morvane {
namespace {

using test::Lines;

class ShowCommand : public test::TempFolderTest {
protected:
    int Run(const std::vector<std::string>& args) {
        const test::CliResult r = test::RunCli(args);
        out_.str(r.out);
        err_.str(r.err);
        return r.code;
    }
    std::ostringstream out_, err_;
};

TEST_F(ShowCommand, PrintsTheLabelThenEachPage) {
    const std::string file = Path("r.sim");
    ASSERT_EQ(Run({"run", "--seed", "1", "--setting", "1", "--games", "100000", "--out", file}), 0);
    EXPECT_EQ(out_.str(), "BB初当り数:312\u3000BB数:1583\nBB確率:1/320.51  機械割:97.31%\n継続数平均:5.07\n収支:-161320円\n");
    ASSERT_EQ(Run({"show", file}), 0) << err_.str();
    const auto lines = Lines(out_.str());
    ASSERT_GT(lines.size(), 4u + 312 + 6);
    EXPECT_EQ(lines[0], "BB初当り数:312\u3000BB数:1583");
    EXPECT_EQ(lines[3], "収支:-161320円");
    EXPECT_EQ(lines[4], "# BB情報");
    EXPECT_EQ(lines[5], "PLAY数\tPLAY数2\t絵柄\tモード\t終了移行\t獲得メダル");
    EXPECT_EQ(lines[6 + 312], "# モード移行契機");
    // Each page's rows have as many cells as it has columns.
    const auto rate = std::find(lines.begin(), lines.end(), "# 小役出現率");
    ASSERT_NE(rate, lines.end());
    EXPECT_EQ(rate[1], "絵柄\t出現回数\t出現率\t出現率(1/X)");
    EXPECT_EQ(std::count(rate[2].begin(), rate[2].end(), '\t'), 3);
    EXPECT_EQ(rate[2].rfind("2枚チェリー\t", 0), 0u);
    EXPECT_EQ(lines.back().rfind("継続D(88%)\t", 0), 0u);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "# PLAY情報"), lines.end());

    ASSERT_EQ(Run({"show", "--plays", file}), 0);
    const auto all = Lines(out_.str());
    EXPECT_EQ(all[4], "# PLAY情報");
    EXPECT_EQ(all[5], "PLAY数\tPLAY数2\t絵柄\tモード\tメダル数");
    EXPECT_EQ(all[6].rfind("1\t1\t", 0), 0u);
    EXPECT_EQ(all[6 + 99999].rfind("100000\t", 0), 0u);
    EXPECT_EQ(all[6 + 100000], "# BB情報");
}

TEST_F(ShowCommand, RefusesWhatIsNotASimulationFile) {
    const std::string text = Path("notes.txt");
    std::ofstream(text) << "hello";
    EXPECT_EQ(Run({"show", text}), 2);
    EXPECT_EQ(err_.str(), "morvane-sim: " + text + ": not a Morvane simulation file\n");
    EXPECT_EQ(out_.str(), "");
    const std::string empty = Path("empty.sim");
    std::ofstream{empty};
    EXPECT_EQ(Run({"show", empty}), 2);
    EXPECT_EQ(Run({"show", Path("missing.sim")}), 2);
    EXPECT_NE(err_.str().find("missing.sim"), std::string::npos);
    EXPECT_EQ(Run({"show"}), 2);
}

TEST_F(ShowCommand, FileSavedBeforeAnyRunShowsEmptyPages) {
    const std::string file = Path("zero.sim");
    SaveSimFile(file, {1, 0}, PlayHistory{});
    ASSERT_EQ(Run({"show", file}), 0);
    EXPECT_EQ(out_.str().rfind("# BB情報\n", 0), 0u);
    EXPECT_EQ(out_.str().find("2枚チェリー"), std::string::npos);
}

}  // namespace
}  // namespace morvane
