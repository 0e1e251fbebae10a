#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "present/number_format.h"

namespace morvane {
namespace {

// An independent model of the number rules. The exact decimal value of a
// double comes from big-integer arithmetic (no printf, no to_chars); it is
// rounded to 18 significant digits, then cut and laid out with plain integer
// arithmetic on the 18-digit significand.
namespace ref {

using Big = std::vector<std::uint32_t>;  // base 10^9, least significant limb first
constexpr std::uint32_t kBase = 1000000000;

void MulSmall(Big& b, std::uint32_t f) {
    std::uint64_t carry = 0;
    for (auto& limb : b) {
        const std::uint64_t t = std::uint64_t{limb} * f + carry;
        limb = static_cast<std::uint32_t>(t % kBase);
        carry = t / kBase;
    }
    for (; carry != 0; carry /= kBase) b.push_back(static_cast<std::uint32_t>(carry % kBase));
}

std::string ToDecimal(const Big& b) {
    std::string s = std::to_string(b.back());
    for (std::size_t i = b.size() - 1; i-- > 0;) {
        char part[9];
        std::uint32_t x = b[i];
        for (int j = 8; j >= 0; --j, x /= 10) part[j] = static_cast<char>('0' + x % 10);
        s.append(part, 9);
    }
    return s;
}

std::uint64_t Pow10(int n) {
    std::uint64_t p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

std::string StripTrailingZeros(std::string s) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    return s;
}

// Every significant digit of a finite nonzero magnitude:
// value = 0.digits x 10^exp, no trailing zeros.
struct Exact {
    std::string digits;
    int exp;
};

Exact ExactDigits(double magnitude) {
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int field = static_cast<int>(bits >> 52 & 0x7ff);
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    int k = -1074;
    if (field != 0) {
        m |= std::uint64_t{1} << 52;
        k = field - 1075;
    }
    Big b;
    for (; m != 0; m /= kBase) b.push_back(static_cast<std::uint32_t>(m % kBase));
    int shift = 0;
    if (k >= 0) {
        for (int left = k; left > 0; left -= 29) MulSmall(b, std::uint32_t{1} << std::min(left, 29));
    } else {
        // m x 2^k = m x 5^-k / 10^-k
        for (int left = -k; left > 0; left -= 13) {
            std::uint32_t f = 1;
            for (int i = 0; i < std::min(left, 13); ++i) f *= 5;
            MulSmall(b, f);
        }
        shift = k;
    }
    const std::string all = ToDecimal(b);
    return {StripTrailingZeros(all), static_cast<int>(all.size()) + shift};
}

// 18 significant digits as an integer: value ~ m x 10^(exp - 18),
// 10^17 <= m < 10^18. An exact tie (19 digits ending in 5) goes to even
// unless tiesAway; which one never shows in the output (see the tie test).
struct Rounded18 {
    std::uint64_t m;
    int exp;
};

Rounded18 Round18(const Exact& x, bool tiesAway = false) {
    std::uint64_t m = 0;
    for (std::size_t i = 0; i < 18; ++i) m = m * 10 + (i < x.digits.size() ? x.digits[i] - '0' : 0);
    bool up = false;
    if (x.digits.size() > 18) {
        const char next = x.digits[18];
        const bool moreAfter = x.digits.size() > 19;  // the last digit is never 0
        up = next > '5' || (next == '5' && (moreAfter || tiesAway || m % 2 == 1));
    }
    int exp = x.exp;
    if (up && ++m == Pow10(18)) {
        m = Pow10(17);
        ++exp;
    }
    return {m, exp};
}

std::string Sci(const std::string& digits, int exp) {
    std::string s = digits.substr(0, 1);
    if (digits.size() > 1) {
        s += '.';
        s += digits.substr(1);
    }
    s += 'E';
    s += std::to_string(exp - 1);
    return s;
}

// q holds exactly 15 significant digits: value = q x 10^(e - 15).
std::string LayOutGeneral(bool negative, std::uint64_t q, int e) {
    std::string s = negative ? "-" : "";
    const std::string digits = StripTrailingZeros(std::to_string(q));
    if (e > 15 || e < -3) return s + Sci(digits, e);
    if (e <= 0) {
        s += "0.";
        s.append(static_cast<std::size_t>(-e), '0');
        return s + digits;
    }
    const std::uint64_t unit = Pow10(15 - e);
    s += std::to_string(q / unit);
    if (q % unit != 0) {
        std::string frac = std::to_string(q % unit);
        frac.insert(0, static_cast<std::size_t>(15 - e) - frac.size(), '0');
        s += '.';
        s += StripTrailingZeros(frac);
    }
    return s;
}

std::string General(double v, bool tiesAway = false) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";
    const Rounded18 r = Round18(ExactDigits(std::fabs(v)), tiesAway);
    std::uint64_t q = r.m / 1000;
    int e = r.exp;
    if (r.m / 100 % 10 >= 5 && ++q == Pow10(15)) {
        q = Pow10(14);
        ++e;
    }
    return LayOutGeneral(v < 0, q, e);
}

std::string Fixed(float f, bool tiesAway = false) {
    const double v = f;
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0.00";
    const Rounded18 r = Round18(ExactDigits(std::fabs(v)), tiesAway);
    // p: the power of ten of the last kept digit, the hundredths or the
    // fifth significant digit, whichever is coarser.
    const int p = std::max(r.exp - 5, -2);
    const int kept = r.exp - p;  // at most 5; negative when the value is below 0.001
    std::uint64_t k = 0;
    int dropped = 0;
    if (kept >= 0) {
        k = r.m / Pow10(18 - kept);
        dropped = static_cast<int>(r.m / Pow10(17 - kept) % 10);
    }
    if (dropped >= 5) ++k;
    if (k == 0) return "0.00";
    // value = k x 10^p
    std::string s = v < 0 ? "-" : "";
    const std::string kText = std::to_string(k);
    const int lead = static_cast<int>(kText.size()) + p;  // exponent e of the rounded value
    if (lead > 5) return s + Sci(StripTrailingZeros(kText), lead);
    const std::uint64_t hundredths = k * Pow10(p + 2);
    const std::uint64_t cents = hundredths % 100;
    return s + std::to_string(hundredths / 100) + "." + static_cast<char>('0' + cents / 10) +
           static_cast<char>('0' + cents % 10);
}

}  // namespace ref

std::string Hex(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a", v);
    return buf;
}

// Runs `count` values from `next` through the production and reference
// formatters and reports the first few disagreements.
template <class Value, class Next, class Prod, class Ref>
void CrossCheck(int count, Next next, Prod prod, Ref reference) {
    int bad = 0;
    for (int i = 0; i < count; ++i) {
        const Value v = next();
        const std::string got = prod(v);
        const std::string want = reference(v);
        if (got != want && ++bad <= 10) {
            ADD_FAILURE() << "value " << Hex(v) << ": got " << got << ", reference " << want;
        }
    }
    EXPECT_EQ(bad, 0) << "of " << count;
}

double RandomFiniteDouble(std::mt19937_64& rng) {
    for (;;) {
        const double v = std::bit_cast<double>(rng());
        if (std::isfinite(v)) return v;
    }
}

float RandomFiniteFloat(std::mt19937_64& rng) {
    for (;;) {
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        if (std::isfinite(v)) return v;
    }
}

// Decimal text made of digits near rounding edges (0, 4, 5, 9), so the
// parsed value sits close to a half or to a carry.
std::string EdgyDecimal(std::mt19937_64& rng, int maxDigits, int minExp, int maxExp) {
    static constexpr char kDigits[] = {'0', '4', '5', '9', '9', '5'};
    const int n = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(maxDigits));
    std::string s = rng() % 2 ? "-" : "";
    s += static_cast<char>('1' + rng() % 9);
    s += '.';
    for (int i = 1; i < n; ++i) s += kDigits[rng() % sizeof kDigits];
    const int e = minExp + static_cast<int>(rng() % static_cast<std::uint64_t>(maxExp - minExp + 1));
    return s + "e" + std::to_string(e);
}

TEST(IntText, PlainDecimal) {
    EXPECT_EQ(IntText(0), "0");
    EXPECT_EQ(IntText(7), "7");
    EXPECT_EQ(IntText(-7), "-7");
    EXPECT_EQ(IntText(1000000), "1000000");
    EXPECT_EQ(IntText(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");
    EXPECT_EQ(IntText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(FormatGeneral, WorkedExamples) {
    EXPECT_EQ(FormatGeneral(0.0), "0");
    EXPECT_EQ(FormatGeneral(0.00005), "5E-5");
    EXPECT_EQ(FormatGeneral(0.0000015), "1.5E-6");
    EXPECT_EQ(FormatGeneral(0.0001), "0.0001");
    EXPECT_EQ(FormatGeneral(0.037), "0.037");
    EXPECT_EQ(FormatGeneral(1000.0), "1000");
    EXPECT_EQ(FormatGeneral(1000.0 / 37), "27.027027027027");
    EXPECT_EQ(FormatGeneral(2.0 / 3), "0.666666666666667");
}

TEST(FormatGeneral, LayoutSwitchesAtFifteenAndMinusThree) {
    // e = 15 keeps the integer form, e = 16 goes scientific.
    EXPECT_EQ(FormatGeneral(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatGeneral(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FormatGeneral(999999999999999.0), "999999999999999");
    EXPECT_EQ(FormatGeneral(1e14), "100000000000000");
    EXPECT_EQ(FormatGeneral(1e15), "1E15");
    EXPECT_EQ(FormatGeneral(1e16), "1E16");
    EXPECT_EQ(FormatGeneral(12345678901234.5), "12345678901234.5");
    // e = -3 keeps "0.", e = -4 goes scientific.
    EXPECT_EQ(FormatGeneral(0.001), "0.001");
    EXPECT_EQ(FormatGeneral(0.00012345), "0.00012345");
    EXPECT_EQ(FormatGeneral(0.00001), "1E-5");
    EXPECT_EQ(FormatGeneral(0.000012345), "1.2345E-5");
    // Integer part filled with zeros, fraction only when digits remain.
    EXPECT_EQ(FormatGeneral(1.0), "1");
    EXPECT_EQ(FormatGeneral(10.0), "10");
    EXPECT_EQ(FormatGeneral(123.456), "123.456");
    EXPECT_EQ(FormatGeneral(0.1), "0.1");
    EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
    // Exponents of several digits, both signs.
    EXPECT_EQ(FormatGeneral(1e100), "1E100");
    EXPECT_EQ(FormatGeneral(1.5e-300), "1.5E-300");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::max()), "1.79769313486232E308");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::denorm_min()), "4.94065645841247E-324");
}

TEST(FormatGeneral, CarryAddsADigitAndMayChangeTheLayout) {
    EXPECT_EQ(FormatGeneral(std::nextafter(1.0, 0.0)), "1");  // 0.999999999999999888...
    EXPECT_EQ(FormatGeneral(std::nextafter(10.0, 0.0)), "10");
    EXPECT_EQ(FormatGeneral(std::nextafter(0.001, 0.0)), "0.001");
    // 0.0000999... (e = -4) becomes 0.0001 (e = -3): not scientific.
    EXPECT_EQ(FormatGeneral(std::nextafter(0.0001, 0.0)), "0.0001");
    // 999999999999999.875 (e = 15) becomes 1E15 (e = 16).
    EXPECT_EQ(FormatGeneral(999999999999999.875), "1E15");
    EXPECT_EQ(FormatGeneral(std::nextafter(1e-5, 0.0)), "1E-5");
}

TEST(FormatGeneral, NegativesAndNonFinite) {
    EXPECT_EQ(FormatGeneral(-1000.0 / 37), "-27.027027027027");
    EXPECT_EQ(FormatGeneral(-2.0 / 3), "-0.666666666666667");
    EXPECT_EQ(FormatGeneral(-0.00005), "-5E-5");
    EXPECT_EQ(FormatGeneral(-1e16), "-1E16");
    EXPECT_EQ(FormatGeneral(-0.0), "0");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatGeneral(-std::numeric_limits<double>::quiet_NaN()), "NAN");
}

// A double whose 18-digit expansion is P500 (P: 15 digits) must print P + 1,
// also when its exact value is just below the half: the cut looks at the
// 18-digit text, not at the exact value.
TEST(FormatGeneral, FiveAtTheSixteenthDigitRoundsUpOnTheEighteenDigitText) {
    std::mt19937_64 rng(16);
    int below = 0, above = 0, exact = 0;
    for (int tries = 0; tries < 200000 && (below < 50 || above < 50); ++tries) {
        const std::uint64_t p = 100000000000000 + rng() % 900000000000000;
        const int x = -8 + static_cast<int>(rng() % 30);
        const std::string pText = std::to_string(p);
        const std::string text = pText.substr(0, 1) + "." + pText.substr(1) + "5e" + std::to_string(x);
        const double v = std::strtod(text.c_str(), nullptr);
        const ref::Exact ex = ref::ExactDigits(v);
        const ref::Rounded18 r = ref::Round18(ex);
        if (r.m != p * 1000 + 500) continue;

        const std::string half = pText + "5";
        const std::string head = ex.digits.substr(0, 16);
        if (ex.digits == half) {
            ++exact;
        } else if (head < half) {
            ++below;
        } else {
            ++above;
        }
        std::uint64_t q = p + 1;
        int e = r.exp;
        if (q == ref::Pow10(15)) {
            q = ref::Pow10(14);
            ++e;
        }
        ASSERT_EQ(FormatGeneral(v), ref::LayOutGeneral(false, q, e)) << text << " exact 0." << ex.digits;
        ASSERT_EQ(FormatGeneral(-v), ref::LayOutGeneral(true, q, e)) << text;
    }
    EXPECT_GE(below, 50) << "too few doubles just below the half were found";
    EXPECT_GE(above, 50);
    RecordProperty("exact_halves", exact);
}

TEST(FormatFixed, WorkedExamples) {
    EXPECT_EQ(FormatFixed(296.2963f), "296.30");
    EXPECT_EQ(FormatFixed(1234.567f), "1234.60");
    EXPECT_EQ(FormatFixed(12345.68f), "12346.00");
    EXPECT_EQ(FormatFixed(0.004f), "0.00");
    EXPECT_EQ(FormatFixed(0.0f), "0.00");
    EXPECT_EQ(FormatFixed(100.0f), "100.00");
    EXPECT_EQ(FormatFixed(123456.7f), "1.2346E5");
    EXPECT_EQ(FormatFixed(100000.0f), "1E5");
}

TEST(FormatFixed, ScientificFromOneHundredThousandAfterRounding) {
    EXPECT_EQ(FormatFixed(99999.49f), "99999.00");  // 99999.4921875
    EXPECT_EQ(FormatFixed(std::nextafter(99999.5f, 0.0f)), "99999.00");
    EXPECT_EQ(FormatFixed(99999.5f), "1E5");
    EXPECT_EQ(FormatFixed(99999.99f), "1E5");
    EXPECT_EQ(FormatFixed(100001.0f), "1E5");
    EXPECT_EQ(FormatFixed(100005.0f), "1.0001E5");
    EXPECT_EQ(FormatFixed(1e10f), "1E10");
    EXPECT_EQ(FormatFixed(std::numeric_limits<float>::max()), "3.4028E38");
    EXPECT_EQ(FormatFixed(10000.5f), "10001.00");
}

TEST(FormatFixed, CarryAddsADigit) {
    EXPECT_EQ(FormatFixed(9.999f), "10.00");
    EXPECT_EQ(FormatFixed(0.999f), "1.00");
    EXPECT_EQ(FormatFixed(99.999f), "100.00");
    EXPECT_EQ(FormatFixed(0.0999f), "0.10");
    EXPECT_EQ(FormatFixed(9999.995f), "10000.00");  // 9999.9951171875
}

TEST(FormatFixed, HalfUpOnTheFirstDroppedDigit) {
    // Exact binary halves: half-up, not half-even.
    EXPECT_EQ(FormatFixed(2.125f), "2.13");
    EXPECT_EQ(FormatFixed(0.125f), "0.13");
    EXPECT_EQ(FormatFixed(0.375f), "0.38");
    EXPECT_EQ(FormatFixed(0.625f), "0.63");
    EXPECT_EQ(FormatFixed(0.015625f), "0.02");
    // 1.005f is 1.00499999523..., below the half.
    EXPECT_EQ(FormatFixed(1.005f), "1.00");
    EXPECT_EQ(FormatFixed(0.095f), "0.09");  // 0.0949999988...
    EXPECT_EQ(FormatFixed(0.096f), "0.10");
}

TEST(FormatFixed, HundredthsOutOfNothing) {
    // e + 2 == 0: only the first digit decides between 0.00 and 0.01.
    EXPECT_EQ(FormatFixed(0.005f), "0.00");  // the float is 0.00499999988...
    EXPECT_EQ(FormatFixed(std::nextafter(0.005f, 1.0f)), "0.01");
    EXPECT_EQ(FormatFixed(0.006f), "0.01");
    EXPECT_EQ(FormatFixed(0.0049f), "0.00");
    EXPECT_EQ(FormatFixed(0.0099f), "0.01");
    EXPECT_EQ(FormatFixed(0.001f), "0.00");
    // e + 2 < 0: always zero.
    EXPECT_EQ(FormatFixed(0.0009f), "0.00");
    EXPECT_EQ(FormatFixed(std::numeric_limits<float>::denorm_min()), "0.00");
}

TEST(FormatFixed, NegativesAndNonFinite) {
    EXPECT_EQ(FormatFixed(-296.2963f), "-296.30");
    EXPECT_EQ(FormatFixed(-123456.7f), "-1.2346E5");
    EXPECT_EQ(FormatFixed(-99999.5f), "-1E5");
    EXPECT_EQ(FormatFixed(-2.125f), "-2.13");
    EXPECT_EQ(FormatFixed(-0.006f), "-0.01");
    // Rounded away to zero: no minus sign.
    EXPECT_EQ(FormatFixed(-0.004f), "0.00");
    EXPECT_EQ(FormatFixed(-0.0f), "0.00");
    EXPECT_EQ(FormatFixed(std::numeric_limits<float>::infinity()), "INF");
    EXPECT_EQ(FormatFixed(-std::numeric_limits<float>::infinity()), "-INF");
    EXPECT_EQ(FormatFixed(std::numeric_limits<float>::quiet_NaN()), "NAN");
}

TEST(RateAndOneIn, WorkedExamples) {
    EXPECT_EQ(RateText(37, 1000), "0.037");
    EXPECT_EQ(OneInText(37, 1000), "1/27.027027027027");
    EXPECT_EQ(RateText(0, 1000), "0");
    EXPECT_EQ(OneInText(0, 1000), "0");
    EXPECT_EQ(RateText(2, 3), "0.666666666666667");
    EXPECT_EQ(OneInText(3, 2), "1/0.666666666666667");
    EXPECT_EQ(OneInText(1, 1), "1/1");
    EXPECT_EQ(RateText(1, 100000), "1E-5");
}

TEST(RateAndOneIn, ZeroDivisorGivesZero) {
    EXPECT_EQ(RateText(5, 0), "0");
    EXPECT_EQ(RateText(0, 0), "0");
    EXPECT_EQ(OneInText(0, 0), "0");
    EXPECT_EQ(OneInText(0, 7), "0");
    // Only a zero count short-cuts to "0"; a zero b still goes through the division.
    EXPECT_EQ(OneInText(3, 0), "1/0");
}

TEST(NumberFormatReference, ExactExpansion) {
    // The cross-checks below are only as good as this.
    const ref::Exact tenth = ref::ExactDigits(0.1);
    EXPECT_EQ(tenth.digits, "1000000000000000055511151231257827021181583404541015625");
    EXPECT_EQ(tenth.exp, 0);
    const ref::Exact big = ref::ExactDigits(0x1p60);
    EXPECT_EQ(big.digits, "1152921504606846976");
    EXPECT_EQ(big.exp, 19);
    const ref::Exact tiny = ref::ExactDigits(std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(tiny.digits.size(), 751u);
    EXPECT_EQ(tiny.digits.substr(0, 10), "4940656458");
    EXPECT_EQ(tiny.exp, -323);
    EXPECT_EQ(ref::ExactDigits(1000.0).digits, "1");
    EXPECT_EQ(ref::ExactDigits(1000.0).exp, 4);
}

TEST(NumberFormatCrossCheck, GeneralOverAllFiniteDoubles) {
    std::mt19937_64 rng(1);
    CrossCheck<double>(
        200000, [&] { return RandomFiniteDouble(rng); }, FormatGeneral, [](double v) { return ref::General(v); });
}

TEST(NumberFormatCrossCheck, GeneralOverItsLayoutRange) {
    std::mt19937_64 rng(2);
    std::uniform_real_distribution<double> logScale(-7.0, 19.0);
    CrossCheck<double>(
        150000, [&] { return (rng() % 2 ? -1 : 1) * std::pow(10.0, logScale(rng)); }, FormatGeneral,
        [](double v) { return ref::General(v); });
}

TEST(NumberFormatCrossCheck, GeneralNearRoundingEdges) {
    std::mt19937_64 rng(3);
    CrossCheck<double>(
        150000,
        [&] {
            const std::string text = EdgyDecimal(rng, 20, -8, 20);
            double v = std::strtod(text.c_str(), nullptr);
            // Step a few doubles either way to land beside the decimal value too.
            for (int step = static_cast<int>(rng() % 5) - 2; step != 0; step += step > 0 ? -1 : 1)
                v = std::nextafter(v, step > 0 ? HUGE_VAL : -HUGE_VAL);
            return v;
        },
        FormatGeneral, [](double v) { return ref::General(v); });
}

TEST(NumberFormatCrossCheck, RateAndOneInOverCounts) {
    std::mt19937_64 rng(4);
    int bad = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::int64_t b = static_cast<std::int64_t>(rng() % 100000000);
        const std::int64_t c = static_cast<std::int64_t>(rng() % (static_cast<std::uint64_t>(b) + 1));
        const std::string rate = b == 0 ? "0" : ref::General(static_cast<double>(c) / static_cast<double>(b));
        const std::string oneIn = c == 0 ? "0" : "1/" + ref::General(static_cast<double>(b) / static_cast<double>(c));
        if ((RateText(c, b) != rate || OneInText(c, b) != oneIn) && ++bad <= 10) {
            ADD_FAILURE() << c << " / " << b << ": " << RateText(c, b) << " vs " << rate << ", " << OneInText(c, b)
                          << " vs " << oneIn;
        }
    }
    EXPECT_EQ(bad, 0);
}

TEST(NumberFormatCrossCheck, FixedOverAllFiniteFloats) {
    std::mt19937_64 rng(5);
    CrossCheck<float>(
        200000, [&] { return RandomFiniteFloat(rng); }, FormatFixed, [](float v) { return ref::Fixed(v); });
}

TEST(NumberFormatCrossCheck, FixedOverItsDisplayRange) {
    std::mt19937_64 rng(6);
    std::uniform_real_distribution<double> logScale(-4.0, 6.5);
    CrossCheck<float>(
        200000, [&] { return static_cast<float>((rng() % 2 ? -1 : 1) * std::pow(10.0, logScale(rng))); }, FormatFixed,
        [](float v) { return ref::Fixed(v); });
}

TEST(NumberFormatCrossCheck, FixedNearRoundingEdges) {
    std::mt19937_64 rng(7);
    CrossCheck<float>(
        150000,
        [&] {
            const std::string text = EdgyDecimal(rng, 9, -4, 6);
            float v = std::strtof(text.c_str(), nullptr);
            for (int step = static_cast<int>(rng() % 5) - 2; step != 0; step += step > 0 ? -1 : 1)
                v = std::nextafter(v, step > 0 ? HUGE_VALF : -HUGE_VALF);
            return v;
        },
        FormatFixed, [](float v) { return ref::Fixed(v); });
}

// The payout rate as the summary computes it: balance / (3 N) x 100 + 100,
// rounded to float.
TEST(NumberFormatCrossCheck, FixedOverPayoutRates) {
    std::mt19937_64 rng(8);
    CrossCheck<float>(
        200000,
        [&] {
            const std::int64_t n = 1 + static_cast<std::int64_t>(rng() % (rng() % 2 ? 10000 : 100000000));
            const std::int64_t balance =
                -3 * n + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(8 * n + 1));
            return static_cast<float>(static_cast<double>(balance) / (3.0 * static_cast<double>(n)) * 100 + 100);
        },
        FormatFixed, [](float v) { return ref::Fixed(v); });
}

// Values m x 2^-k whose exact expansion has 19 digits ending in 5: the
// 18-digit rounding is an exact tie. Ties-to-even and ties-away differ only
// when the 18th digit is even, and then no carry reaches the cut digit, so
// the output must be the same either way.
TEST(NumberFormatCrossCheck, ExactTiesAtTheEighteenthDigit) {
    std::mt19937_64 rng(9);
    int doubles = 0, floats = 0;
    for (const int mantissaBits : {53, 24}) {
        for (int k = 3; k <= 26; ++k) {
            std::uint64_t pow5 = 1;
            for (int i = 0; i < k; ++i) pow5 *= 5;
            const std::uint64_t lo = (ref::Pow10(18) + pow5 - 1) / pow5;
            const std::uint64_t hi =
                std::min<std::uint64_t>((ref::Pow10(19) - 1) / pow5, (std::uint64_t{1} << mantissaBits) - 1);
            if (lo > hi) continue;
            for (int i = 0; i < 1000; ++i) {
                const std::uint64_t m = (lo + rng() % (hi - lo + 1)) | 1;
                if (m > hi) continue;
                const double v = std::ldexp(static_cast<double>(m), -k);
                const ref::Exact ex = ref::ExactDigits(v);
                ASSERT_EQ(ex.digits.size(), 19u) << Hex(v);
                ASSERT_EQ(ex.digits.back(), '5') << Hex(v);
                if (mantissaBits == 53) {
                    const std::string even = ref::General(v, false);
                    ASSERT_EQ(ref::General(v, true), even) << Hex(v);
                    ASSERT_EQ(FormatGeneral(v), even) << Hex(v);
                    ++doubles;
                } else {
                    const auto f = static_cast<float>(v);
                    ASSERT_EQ(static_cast<double>(f), v);
                    const std::string even = ref::Fixed(f, false);
                    ASSERT_EQ(ref::Fixed(f, true), even) << Hex(v);
                    ASSERT_EQ(FormatFixed(f), even) << Hex(v);
                    ++floats;
                }
            }
        }
    }
    EXPECT_GT(doubles, 10000);
    EXPECT_GT(floats, 1000);
}

}  // namespace
}  // namespace morvane
