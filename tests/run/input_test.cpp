#include <gtest/gtest.h>

#include <string>

#include "run/input.h"
#include "run/printable.h"

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
}

struct PrintableCase {
    std::string text;
    std::size_t limit;
    std::string shown;
};

class PrintableText : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableText, StaysOnOneLineAndShort) {
    EXPECT_EQ(Printable(GetParam().text, GetParam().limit), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintableText,
    ::testing::Values(PrintableCase{"/data/sim/test.sim", 200, "/data/sim/test.sim"},
                      PrintableCase{"a\nb\tc\rd", 200, "a\\nb\\tc\\rd"},
                      PrintableCase{std::string("\x1b[2J\x7f\0z", 7), 200, "\\x1b[2J\\x7f\\x00z"},
                      PrintableCase{"設定.sim", 200, "設定.sim"},
                      PrintableCase{"abcdefgh", 8, "abcdefgh"},
                      PrintableCase{"abcdefghi", 8, "abcdefgh... (9 bytes)"},
                      // A character is never cut in half: 設 is three bytes.
                      PrintableCase{"ab設定", 4, "ab... (8 bytes)"},
                      PrintableCase{"ab設定", 5, "ab設... (8 bytes)"}));

TEST(PrintableText, ControlCharactersAreFound) {
    EXPECT_TRUE(HasControlCharacter("a\nb"));
    EXPECT_TRUE(HasControlCharacter(std::string("\x7f")));
    EXPECT_FALSE(HasControlCharacter("/data/設定 1.sim"));
}

}  // namespace
}  // namespace morvane
