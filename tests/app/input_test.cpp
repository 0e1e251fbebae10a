#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "app/hall_input.h"
#include "app/input.h"

namespace morvane {
namespace {

TEST(ParseInt32, AcceptsDecimalWithOptionalMinus) {
    EXPECT_EQ(ParseInt32("0"), 0);
    EXPECT_EQ(ParseInt32("8000"), 8000);
    EXPECT_EQ(ParseInt32("-5"), -5);
    EXPECT_EQ(ParseInt32("007"), 7);
    EXPECT_EQ(ParseInt32("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt32("000000000000001"), 1);
    EXPECT_EQ(ParseInt32("-0"), 0);
}

TEST(ParseInt32, RejectsEverythingElse) {
    for (const char* bad : {"", "-", "+1", " 1", "1 ", "abc", "12a", "1.5", "--1", "2147483648", "-2147483649",
                            "99999999999", "0x10", "１２"})
        EXPECT_EQ(ParseInt32(bad), std::nullopt) << bad;
}

TEST(ParseSetting, HiddenOrOneToSix) {
    const auto hidden = ParseSetting("?");
    ASSERT_TRUE(hidden);
    EXPECT_TRUE(hidden->hidden);
    for (int s = 1; s <= 6; ++s) {
        const auto v = ParseSetting(std::to_string(s));
        ASSERT_TRUE(v);
        EXPECT_FALSE(v->hidden);
        EXPECT_EQ(v->setting, s);
    }
    for (const char* bad : {"0", "7", "-1", "??", "", " ?", "x", "1?"}) EXPECT_FALSE(ParseSetting(bad)) << bad;
    // The window says "not an integer" and "out of range" apart.
    EXPECT_EQ(ReadSetting("x").problem, SettingProblem::NotInteger);
    EXPECT_EQ(ReadSetting("").problem, SettingProblem::NotInteger);
    EXPECT_EQ(ReadSetting("7").problem, SettingProblem::OutOfRange);
    EXPECT_EQ(ReadSetting("0").problem, SettingProblem::OutOfRange);
}

// The window's table cells and the command line's compact form read one BB
// the same way.
struct HallBBCase {
    const char* cli;  // nullptr: the compact form has no spelling for it
    const char* games;
    const char* colour;
    const char* sets;
    std::optional<HallBB> bb;
};

class HallBBInput : public ::testing::TestWithParam<HallBBCase> {};

TEST_P(HallBBInput, ReadsAlikeFromTheTableAndTheCommandLine) {
    const HallBBCase& c = GetParam();
    EXPECT_EQ(ReadHallBB(c.games, c.colour, c.sets), c.bb);
    if (c.cli) {
        EXPECT_EQ(ParseHallBB(c.cli), c.bb) << c.cli;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HallBBInput,
    ::testing::Values(HallBBCase{"312b5", "312", "b", "5", HallBB{312, BlueBB, 5}},
                      HallBBCase{"45r", "45", "r", "", HallBB{45, RedBB, 0}},
                      HallBBCase{"1200?3", "1200", "?", "3", HallBB{1200, 0, 3}},
                      HallBBCase{"88", "88", "", "", HallBB{88, 0, 0}},
                      HallBBCase{nullptr, " 312 ", "青", " 5", HallBB{312, BlueBB, 5}},
                      HallBBCase{nullptr, "45", "赤", "", HallBB{45, RedBB, 0}},
                      HallBBCase{nullptr, "45", "2", "", HallBB{45, RedBB, 0}},
                      HallBBCase{nullptr, "45", "B", "", HallBB{45, BlueBB, 0}},
                      // Sets 0 is no "not noted": the window refuses it as the command line does.
                      HallBBCase{"1b0", "1", "b", "0", std::nullopt},
                      HallBBCase{"0b5", "0", "b", "5", std::nullopt},
                      HallBBCase{"-5", "-5", "", "", std::nullopt},
                      HallBBCase{"312x5", "312", "x", "5", std::nullopt},
                      HallBBCase{"312b5x", "312", "b", "5x", std::nullopt},
                      HallBBCase{"312b-1", "312", "b", "-1", std::nullopt},
                      HallBBCase{"b5", "", "b", "5", std::nullopt},
                      HallBBCase{"99999999999", "99999999999", "", "", std::nullopt}));

TEST(CountedWinKinds, NamesEverySmallWinOrAPair) {
    std::uint32_t all = 0;
    std::size_t start = 0;
    const std::string names = kCountedWinNames;
    while (start < names.size()) {
        const std::size_t space = std::min(names.find(' ', start), names.size());
        const auto kinds = CountedWinKinds(names.substr(start, space - start));
        ASSERT_TRUE(kinds) << names.substr(start, space - start);
        all |= *kinds;
        start = space + 1;
    }
    // Miss and Blank cannot be counted at a machine.
    EXPECT_EQ(all, (1u << Cherry2) | (1u << Cherry4) | (1u << Suika_A) | (1u << Suika_B) | (1u << ReplayA) |
                       (1u << ReplayB) | (1u << Bell) | (1u << Chance));
}

}  // namespace
}  // namespace morvane
