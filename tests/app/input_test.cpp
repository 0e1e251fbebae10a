#include <gtest/gtest.h>

#include <string>

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
}

}  // namespace
}  // namespace morvane
