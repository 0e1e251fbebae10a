#pragma once
// The number-to-text rules of the result pages.
#include <cstdint>
#include <string>

namespace morvane {

// Decimal, "-" before a negative value, no grouping, no leading zeros.
std::string IntText(std::int64_t v);

// General form with 15 significant digits: 1000/37 -> "27.027027027027",
// 0.00005 -> "5E-5", 0 -> "0".
std::string FormatGeneral(double v);

// Fixed form of a 32-bit float: at most 5 significant digits and 2 decimals;
// 296.2963 -> "296.30", 123456.7 -> "1.2346E5", 0 -> "0.00".
std::string FormatFixed(float v);

// c / b in the general form; "0" when b is 0.
std::string RateText(std::int64_t c, std::int64_t b);
// "1/" and b / c in the general form; "0" when c is 0.
std::string OneInText(std::int64_t c, std::int64_t b);

}  // namespace morvane
