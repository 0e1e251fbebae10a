#pragma once
// What the web build's C++ library (libc++ 13) lacks and the core uses:
// std::to_chars and std::from_chars for floating point. The web build
// includes this header before every file (-include); the native build never
// does, and its tests hold these functions to the real ones.
//
// Printing at a fixed precision is printf's, which is exact in both C
// libraries; the shortest form tries 1 to 17 digits until the text reads
// back to the same value, then takes the shorter of the fixed and the
// scientific text, fixed on a tie, as the standard says. Reading checks the
// form first and leaves the rounding to strtod, which is exact.
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

namespace morvane::shim {

inline std::to_chars_result Put(char* first, char* last, const std::string& text) {
    if (static_cast<std::size_t>(last - first) < text.size()) return {last, std::errc::value_too_large};
    std::memcpy(first, text.data(), text.size());
    return {first + text.size(), std::errc{}};
}

inline std::string Printed(const char* format, int precision, double v) {
    char buf[400];  // %.*f of the largest double at 17 decimals fits
    const int n = std::snprintf(buf, sizeof buf, format, precision, v);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
}

// The shortest text that reads back to v, of float (9 digits at most) or
// double (17).
template <class Float>
std::string Shortest(Float v) {
    if (v != v) return std::signbit(v) ? "-nan" : "nan";
    if (v == 0) return std::signbit(v) ? "-0" : "0";
    if (v - v != 0) return v < 0 ? "-inf" : "inf";
    constexpr int kMostDigits = sizeof(Float) == sizeof(float) ? 9 : 17;
    std::string sci;
    for (int digits = 1; digits <= kMostDigits; ++digits) {
        sci = Printed("%.*e", digits - 1, static_cast<double>(v));
        const bool same = sizeof(Float) == sizeof(float) ? std::strtof(sci.c_str(), nullptr) == v
                                                         : std::strtod(sci.c_str(), nullptr) == v;
        if (same) break;
    }
    // sci is [-]d[.ddd]e(+|-)XX: the digits and the decimal exponent.
    const bool negative = sci.front() == '-';
    const std::size_t e = sci.find('e');
    std::string mantissa = sci.substr(negative ? 1 : 0, e - (negative ? 1 : 0));
    const int exponent = std::atoi(sci.c_str() + e + 1);
    std::string digits;
    for (char c : mantissa)
        if (c != '.') digits += c;
    std::string fixed;
    if (exponent >= 0) {
        const auto whole = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= whole) {
            // A whole number in fixed form is written exactly, not padded
            // with zeros: the same length either way.
            fixed = Printed("%.*f", 0, std::fabs(static_cast<double>(v)));
        } else {
            fixed = digits.substr(0, whole) + "." + digits.substr(whole);
        }
    } else {
        fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    }
    const std::string exp = sci.substr(e);
    const std::string scientific = mantissa + exp;
    const std::string& best = fixed.size() <= scientific.size() ? fixed : scientific;
    return negative ? "-" + best : best;
}

// The length of the longest prefix of [first, last) that reads as a number
// in `format`, or 0.
inline std::size_t NumberLength(const char* first, const char* last, std::chars_format format) {
    const char* p = first;
    if (p != last && *p == '-') ++p;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto word = [&](const char* w) {
        const char* q = p;
        for (; *w; ++w, ++q)
            if (q == last || lower(*q) != *w) return static_cast<const char*>(nullptr);
        return q;
    };
    if (const char* q = word("infinity")) return static_cast<std::size_t>(q - first);
    if (const char* q = word("inf")) return static_cast<std::size_t>(q - first);
    if (const char* q = word("nan")) {
        // nan(chars) with letters, digits and underscores
        if (q != last && *q == '(') {
            const char* r = q + 1;
            while (r != last && (std::isalnum(static_cast<unsigned char>(*r)) || *r == '_')) ++r;
            if (r != last && *r == ')') q = r + 1;
        }
        return static_cast<std::size_t>(q - first);
    }
    std::size_t digits = 0;
    while (p != last && *p >= '0' && *p <= '9') ++p, ++digits;
    if (p != last && *p == '.') {
        ++p;
        while (p != last && *p >= '0' && *p <= '9') ++p, ++digits;
    }
    if (digits == 0) return 0;
    const bool exponentAllowed = format != std::chars_format::fixed;
    const bool exponentNeeded = format == std::chars_format::scientific;
    if (exponentAllowed && p != last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q != last && (*q == '+' || *q == '-')) ++q;
        const char* expDigits = q;
        while (q != last && *q >= '0' && *q <= '9') ++q;
        if (q != expDigits) return static_cast<std::size_t>(q - first);
    }
    if (exponentNeeded) return 0;
    return static_cast<std::size_t>(p - first);
}

template <class Float>
std::from_chars_result Read(const char* first, const char* last, Float& value, std::chars_format format) {
    const std::size_t n = NumberLength(first, last, format);
    if (n == 0) return {first, std::errc::invalid_argument};
    const std::string text(first, n);
    errno = 0;
    char* end = nullptr;
    const Float v = sizeof(Float) == sizeof(float) ? static_cast<Float>(std::strtof(text.c_str(), &end))
                                                   : static_cast<Float>(std::strtod(text.c_str(), &end));
    if (errno == ERANGE && (v - v != 0 || v == 0)) return {first + n, std::errc::result_out_of_range};
    value = v;
    return {first + n, std::errc{}};
}

inline std::to_chars_result ToChars(char* first, char* last, double v) { return Put(first, last, Shortest(v)); }
inline std::to_chars_result ToChars(char* first, char* last, float v) { return Put(first, last, Shortest(v)); }
inline std::to_chars_result ToChars(char* first, char* last, double v, std::chars_format format, int precision) {
    const char* spec = format == std::chars_format::fixed        ? "%.*f"
                       : format == std::chars_format::scientific ? "%.*e"
                                                                 : "%.*g";
    return Put(first, last, Printed(spec, precision, v));
}

}  // namespace morvane::shim

#if defined(__EMSCRIPTEN__) && defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000
namespace std {
inline to_chars_result to_chars(char* first, char* last, double v) { return morvane::shim::ToChars(first, last, v); }
inline to_chars_result to_chars(char* first, char* last, float v) { return morvane::shim::ToChars(first, last, v); }
inline to_chars_result to_chars(char* first, char* last, double v, chars_format format, int precision) {
    return morvane::shim::ToChars(first, last, v, format, precision);
}
inline from_chars_result from_chars(const char* first, const char* last, double& v,
                                    chars_format format = chars_format::general) {
    return morvane::shim::Read(first, last, v, format);
}
inline from_chars_result from_chars(const char* first, const char* last, float& v,
                                    chars_format format = chars_format::general) {
    return morvane::shim::Read(first, last, v, format);
}
}  // namespace std
#endif
