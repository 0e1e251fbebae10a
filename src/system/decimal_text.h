#pragma once
// Numbers as text the same way everywhere, whatever the locale: reports,
// tables and shard files must agree to the last digit.
#include <string>

namespace morvane {

// Fixed-point with `decimals` digits after the point; a value that rounds
// to zero never shows a minus sign.
std::string FixedDecimal(double v, int decimals);

}  // namespace morvane
