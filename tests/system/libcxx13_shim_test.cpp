// The web build's floating-point to_chars and from_chars, held to the
// native library's: every text the core prints or reads must be the same
// in the page as in morvane-sim.
#include "web/libcxx13_shim.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace morvane {
namespace {

std::string Native(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}
std::string Shim(double v) {
    char buf[64];
    return std::string(buf, shim::ToChars(buf, buf + sizeof buf, v).ptr);
}
std::string Native(double v, std::chars_format f, int precision) {
    char buf[400];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v, f, precision).ptr);
}
std::string Shim(double v, std::chars_format f, int precision) {
    char buf[400];
    return std::string(buf, shim::ToChars(buf, buf + sizeof buf, v, f, precision).ptr);
}

// The values the reports print (rates, medals, chances) and the awkward
// ones: powers of ten at the fixed/scientific turn, the extremes, signs.
std::vector<double> Values() {
    std::vector<double> v = {0.0,
                             -0.0,
                             50,
                             56,
                             5.6,
                             0.1,
                             1.0 / 3,
                             2.0 / 3,
                             0.5,
                             0.125,
                             1e15,
                             1e16,
                             1e17,
                             1e21,
                             1e22,
                             123456.0,
                             1e-5,
                             1e-7,
                             1.5e-7,
                             -13692.328978494,
                             98.386045,
                             0.0015545,
                             1234567890123.0,
                             1.5e300,
                             5e-324,
                             2.2250738585072014e-308,
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             9007199254740993.0,
                             0.30000000000000004,
                             100,
                             1000,
                             12345678901234567890.0};
    // Doubles from bit patterns spread over the whole range, both signs.
    std::uint64_t x = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 4000; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        double d;
        std::memcpy(&d, &x, sizeof d);
        if (std::isfinite(d)) v.push_back(d);
        // and short decimals, the reports' own kind
        v.push_back(static_cast<double>(static_cast<std::int64_t>(x % 200000000) - 100000000) / 1000000);
    }
    return v;
}

TEST(Libcxx13Shim, ShortestTextIsTheNativeOne) {
    for (const double v : Values()) EXPECT_EQ(Shim(v), Native(v)) << std::hexfloat << v;
    EXPECT_EQ(Shim(std::nan("")), Native(std::nan("")));
    float f = 5.6f;
    char a[32], b[32];
    EXPECT_EQ(std::string(a, shim::ToChars(a, a + 32, f).ptr), std::string(b, std::to_chars(b, b + 32, f).ptr));
}

TEST(Libcxx13Shim, FixedAndScientificAtAPrecisionAreTheNativeOnes) {
    struct Form {
        std::chars_format format;
        int precision;
    };
    const Form forms[] = {{std::chars_format::fixed, 0},       {std::chars_format::fixed, 2},
                          {std::chars_format::fixed, 6},       {std::chars_format::fixed, 9},
                          {std::chars_format::scientific, 17}, {std::chars_format::scientific, 3},
                          {std::chars_format::general, 6}};
    for (const Form& f : forms)
        for (const double v : Values())
            EXPECT_EQ(Shim(v, f.format, f.precision), Native(v, f.format, f.precision))
                << std::hexfloat << v << " at " << f.precision;
}

TEST(Libcxx13Shim, TooSmallABufferIsRefused) {
    char buf[4];
    const auto r = shim::ToChars(buf, buf + sizeof buf, 123456.5, std::chars_format::fixed, 2);
    EXPECT_EQ(r.ec, std::errc::value_too_large);
    EXPECT_EQ(r.ptr, buf + sizeof buf);
}

TEST(Libcxx13Shim, ReadingStopsWhereTheNativeReaderStops) {
    struct Case {
        const char* text;
        std::chars_format format;
    };
    const auto general = std::chars_format::general, fixed = std::chars_format::fixed,
               scientific = std::chars_format::scientific;
    const Case cases[] = {
        {"50", general},
        {"5.6", fixed},
        {"-3.25", general},
        {".5", general},
        {"5.", general},
        {"1e5", general},
        {"1e5", fixed},
        {"1e5", scientific},
        {"15", scientific},
        {"1e", general},
        {"1e+", general},
        {"1E-3x", general},
        {"abc", general},
        {"", general},
        {"+1", general},
        {"-", general},
        {".", general},
        {"inf", general},
        {"-Infinity", general},
        {"nan", general},
        {"NaN(abc)x", general},
        {"0x1p3", general},
        {"1e400", general},
        {"0.000001", fixed},
        {"56 ", fixed},
        {" 56", fixed},
        {"1,2", general},
        {"123456789012345678901234567890", general},
        {"0.30000000000000004", general},
    };
    for (const Case& c : cases) {
        const char* end = c.text + std::strlen(c.text);
        double a = -7, b = -7;
        const auto ra = shim::Read(c.text, end, a, c.format);
        const auto rb = std::from_chars(c.text, end, b, c.format);
        EXPECT_EQ(ra.ptr - c.text, rb.ptr - c.text) << c.text;
        EXPECT_EQ(ra.ec, rb.ec) << c.text;
        if (rb.ec == std::errc{} && !std::isnan(b)) {
            EXPECT_EQ(a, b) << c.text;
        }
    }
    // Every shortest text reads back to its value.
    for (const double v : Values()) {
        const std::string t = Native(v);
        double back = 0;
        shim::Read(t.data(), t.data() + t.size(), back, general);
        EXPECT_EQ(back, v) << t;
    }
}

}  // namespace
}  // namespace morvane
