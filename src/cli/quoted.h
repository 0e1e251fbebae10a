#pragma once
// A value the user typed, as every command quotes it in a one-line message:
// control characters escaped, cut after 200 bytes.
#include <string>
#include <string_view>

#include "system/printable.h"

namespace morvane {

inline std::string Quoted(std::string_view value) { return "'" + Printable(value) + "'"; }

}  // namespace morvane
