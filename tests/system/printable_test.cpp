#include <gtest/gtest.h>

#include <string>

#include "system/printable.h"

namespace morvane {
namespace {

struct PrintableCase {
    std::string text;
    std::size_t limit;
    std::string shown;
};

class PrintableText : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableText, StaysOnOneLineAndShort) {
    EXPECT_EQ(Printable(GetParam().text, GetParam().limit), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, PrintableText,
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
