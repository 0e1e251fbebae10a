#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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
    EXPECT_EQ(out_.str(),
              "BB初当り数:312\u3000BB数:1583\nBB確率:1/320.51  機械割:97.31%\n継続数平均:5.07\n収支:-161320円\n");
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

// Records no machine writes are refused with the first such game named;
// everything the machine writes, long runs at every setting, opens.
TEST_F(ShowCommand, RefusesGamesNoMachineWritesAndOpensEveryRealRun) {
    const std::string real = Path("real.sim");
    ASSERT_EQ(Run({"run", "--seed", "4", "--setting", "2", "--games", "300", "--out", real}), 0);
    std::string bytes;
    {
        std::ifstream in(real, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_EQ(bytes.size(), 12u + 32 * 300);
    // The header of a real file and 100 bytes of noise.
    std::string noise = bytes.substr(0, 12);
    std::mt19937 rng(7);
    for (int i = 0; i < 100; ++i) noise += static_cast<char>(rng() & 0xFF);
    // A real file whose game 37 has a small win no table holds, and one whose
    // game 300, the last, a BB kind no machine has.
    std::string late = bytes;
    late[12 + 32 * 36 + 28] = 12;
    std::string last = bytes;
    last[12 + 32 * 299 + 16] = 7;
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"noise.sim", noise}, {"late.sim", late}, {"last.sim", last}};
    const char* games[] = {"1", "37", "300"};
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const std::string file = Path(bad[i].first);
        std::ofstream(file, std::ios::binary) << bad[i].second;
        EXPECT_EQ(Run({"show", file}), 2) << file;
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(err_.str(),
                  "morvane-sim: " + file + ": game " + games[i] + " holds a value this machine never records\n");
    }
    for (const char* setting : {"1", "2", "3", "4", "5", "6", "?"}) {
        ASSERT_EQ(Run({"run", "--seed", "9", "--setting", setting, "--games", "300000", "--out", real}), 0);
        EXPECT_EQ(Run({"show", real}), 0) << setting << ": " << err_.str();
        EXPECT_EQ(err_.str(), "");
    }
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
