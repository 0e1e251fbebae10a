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
    // Refused: the entry that is wrong and what it held, read from the table
    // and, where it differs, from the compact form.
    HallBBPart wrong;
    const char* text;
    const char* cliText;
};

class HallBBInput : public ::testing::TestWithParam<HallBBCase> {};

TEST_P(HallBBInput, ReadsAlikeFromTheTableAndTheCommandLine) {
    const HallBBCase& c = GetParam();
    EXPECT_EQ(ReadHallBB(c.games, c.colour, c.sets), c.bb);
    const HallBBReading table = ReadHallBBEntries(c.games, c.colour, c.sets);
    EXPECT_EQ(table.bb, c.bb);
    EXPECT_EQ(table.wrong, c.wrong);
    EXPECT_EQ(table.text, c.text);
    if (c.cli) {
        EXPECT_EQ(ParseHallBB(c.cli), c.bb) << c.cli;
        const HallBBReading cli = ParseHallBBEntries(c.cli);
        EXPECT_EQ(cli.wrong, c.wrong) << c.cli;
        EXPECT_EQ(cli.text, c.cliText ? c.cliText : c.text) << c.cli;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HallBBInput,
    ::testing::Values(HallBBCase{"312b5", "312", "b", "5", HallBB{312, BlueBB, 5}, HallBBPart::None, "", nullptr},
                      HallBBCase{"45r", "45", "r", "", HallBB{45, RedBB, 0}, HallBBPart::None, "", nullptr},
                      HallBBCase{"1200?3", "1200", "?", "3", HallBB{1200, 0, 3}, HallBBPart::None, "", nullptr},
                      HallBBCase{"88", "88", "", "", HallBB{88, 0, 0}, HallBBPart::None, "", nullptr},
                      HallBBCase{nullptr, " 312 ", "青", " 5", HallBB{312, BlueBB, 5}, HallBBPart::None, "", nullptr},
                      HallBBCase{nullptr, "45", "赤", "", HallBB{45, RedBB, 0}, HallBBPart::None, "", nullptr},
                      HallBBCase{nullptr, "45", "2", "", HallBB{45, RedBB, 0}, HallBBPart::None, "", nullptr},
                      HallBBCase{nullptr, "45", "B", "", HallBB{45, BlueBB, 0}, HallBBPart::None, "", nullptr},
                      // Sets 0 is no "not noted": the window refuses it as the command line does.
                      HallBBCase{"1b0", "1", "b", "0", std::nullopt, HallBBPart::Sets, "0", nullptr},
                      HallBBCase{"0b5", "0", "b", "5", std::nullopt, HallBBPart::Games, "0", nullptr},
                      HallBBCase{"-5", "-5", "", "", std::nullopt, HallBBPart::Games, "-5", nullptr},
                      HallBBCase{"312x5", "312", "x", "5", std::nullopt, HallBBPart::Colour, "x", nullptr},
                      HallBBCase{"312b5x", "312", "b", "5x", std::nullopt, HallBBPart::Sets, "5x", nullptr},
                      HallBBCase{"312b-1", "312", "b", "-1", std::nullopt, HallBBPart::Sets, "-1", nullptr},
                      HallBBCase{"b5", "", "b", "5", std::nullopt, HallBBPart::Games, "", "b5"},
                      HallBBCase{"45緑", "45", "緑", "", std::nullopt, HallBBPart::Colour, "緑", nullptr},
                      HallBBCase{"99999999999", "99999999999", "", "", std::nullopt, HallBBPart::Games, "99999999999",
                                 nullptr}));

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
