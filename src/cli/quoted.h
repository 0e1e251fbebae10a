#pragma once
// A value the user typed, as every command quotes it in a one-line message:
// control characters escaped, cut after 200 bytes.
#include <string>
#include <string_view>

#include "system/printable.h"

namespace morvane {

// Appended piece by piece: g++ 12 at -O3 misreads the inlined concatenation
// (-Wrestrict) in files that inline it.
inline std::string Quoted(std::string_view value) {
    std::string quoted = "'";
    quoted += Printable(value);
    quoted += '\'';
    return quoted;
}

}  // namespace morvane
