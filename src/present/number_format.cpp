#include "present/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace morvane {
namespace {

// A magnitude as 0.d1d2...dk x 10^exp: d1 != '0', no trailing zeros.
// Zero has no digits and exp 0.
struct Decimal {
    std::string digits;
    int exp = 0;
};

void DropTrailingZeros(Decimal& d) {
    const auto last = d.digits.find_last_not_of('0');
    d.digits.erase(last == std::string::npos ? 0 : last + 1);
    if (d.digits.empty()) d.exp = 0;
}

// The correctly rounded 18-significant-digit expansion of a finite magnitude.
// to_chars rather than printf: the text must not follow the C locale.
Decimal Expand18(double magnitude) {
    Decimal d;
    if (magnitude == 0) return d;
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, 17);
    // "d.ddddddddddddddddde[+-]xx"
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    const std::size_t ePos = text.find('e');
    d.digits.assign(1, text[0]);
    d.digits.append(text.data() + 2, ePos - 2);
    std::string_view expText = text.substr(ePos + 1);
    if (expText.front() == '+') expText.remove_prefix(1);
    int sciExp = 0;
    std::from_chars(expText.data(), expText.data() + expText.size(), sciExp);
    d.exp = sciExp + 1;
    DropTrailingZeros(d);
    return d;
}

// Keeps n >= 1 significant digits; the first dropped digit alone decides
// (5 or more rounds up), as the 18-digit text is what gets cut.
void CutHalfUp(Decimal& d, std::size_t n) {
    if (d.digits.size() <= n) return;
    const bool up = d.digits[n] >= '5';
    d.digits.resize(n);
    if (up) {
        std::size_t i = n;
        while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
        if (i == 0) {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exp;
        } else {
            ++d.digits[i - 1];
        }
    }
    DropTrailingZeros(d);
}

// d1[.d2...dk]E[-]x with x = exp - 1, no plus sign or leading zeros.
std::string Scientific(const Decimal& d) {
    std::string s(1, d.digits[0]);
    if (d.digits.size() > 1) {
        s += '.';
        s.append(d.digits, 1);
    }
    s += 'E';
    s += IntText(d.exp - 1);
    return s;
}

// The first `count` digits of d, filled up with zeros.
std::string LeadingDigits(const Decimal& d, int count) {
    std::string s = d.digits.substr(0, static_cast<std::size_t>(count));
    s.resize(static_cast<std::size_t>(count), '0');
    return s;
}

// Figures never produce these, but a stray one must still print something.
const char* NonFinite(double v) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    return nullptr;
}

}  // namespace

std::string IntText(std::int64_t v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string FormatGeneral(double v) {
    if (const char* s = NonFinite(v)) return s;
    Decimal d = Expand18(std::fabs(v));
    CutHalfUp(d, 15);
    if (d.digits.empty()) return "0";

    std::string out = std::signbit(v) ? "-" : "";
    const int e = d.exp;
    const int k = static_cast<int>(d.digits.size());
    if (e > 15 || e < -3) {
        out += Scientific(d);
    } else if (e <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-e), '0');
        out += d.digits;
    } else {
        out += LeadingDigits(d, e);
        if (k > e) {
            out += '.';
            out.append(d.digits, static_cast<std::size_t>(e));
        }
    }
    return out;
}

std::string FormatFixed(float f) {
    const double v = f;  // exact widening
    if (const char* s = NonFinite(v)) return s;
    Decimal d = Expand18(std::fabs(v));

    // At most 5 significant digits and never past the hundredths.
    if (!d.digits.empty()) {
        const int keep = std::min(5, d.exp + 2);
        if (keep < 0) {
            d = Decimal{};
        } else if (keep == 0) {
            // Only the hundredth itself can round up out of nothing.
            d = d.digits[0] >= '5' ? Decimal{"1", -1} : Decimal{};
        } else {
            CutHalfUp(d, static_cast<std::size_t>(keep));
        }
    }
    if (d.digits.empty()) return "0.00";  // no "-0.00"

    std::string out = std::signbit(v) ? "-" : "";
    const int e = d.exp;
    if (e > 5) return out + Scientific(d);

    out += e <= 0 ? std::string("0") : LeadingDigits(d, e);
    out += '.';
    for (int i = e; i < e + 2; ++i) {
        const bool present = i >= 0 && i < static_cast<int>(d.digits.size());
        out += present ? d.digits[static_cast<std::size_t>(i)] : '0';
    }
    return out;
}

std::string RateText(std::int64_t c, std::int64_t b) {
    if (b == 0) return "0";
    return FormatGeneral(static_cast<double>(c) / static_cast<double>(b));
}

std::string OneInText(std::int64_t c, std::int64_t b) {
    if (c == 0) return "0";
    std::string s = "1/";
    s += FormatGeneral(static_cast<double>(b) / static_cast<double>(c));
    return s;
}

}  // namespace morvane
