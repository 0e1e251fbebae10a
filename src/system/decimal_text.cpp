#include "system/decimal_text.h"

#include <charconv>

namespace morvane {

std::string FixedDecimal(double v, int decimals) {
    char buf[400];  // the largest double in full, with its decimals
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string text(buf, r.ptr);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

}  // namespace morvane
