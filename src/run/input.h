#pragma once
// Parsing of the three run inputs, shared by the window and the command line.
#include <cstdint>
#include <optional>
#include <string_view>

namespace morvane {

// Decimal digits with an optional leading minus, within 32 bits; nothing else.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// A setting input: "?" hides a setting drawn at run time, else 1..6.
struct SettingChoice {
    bool hidden = false;
    int setting = 1;  // meaningful when !hidden
};
inline constexpr std::string_view kHiddenSetting = "?";
// "?" or an integer 1..6.
std::optional<SettingChoice> ParseSetting(std::string_view text);

}  // namespace morvane
