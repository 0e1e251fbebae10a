#pragma once
// Parsing of the run inputs, shared by the window and the command line.
#include <cstdint>
#include <optional>
#include <string_view>

#include "run/setting_choice.h"

namespace morvane {

// Decimal digits with an optional leading minus, within 32 bits; nothing else.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// Why a setting's text was refused: the window reports the two differently.
enum class SettingProblem { None, NotInteger, OutOfRange };
struct SettingParse {
    std::optional<SettingChoice> choice;
    SettingProblem problem = SettingProblem::None;
};
// "?" or an integer 1..6.
SettingParse ReadSetting(std::string_view text);
inline std::optional<SettingChoice> ParseSetting(std::string_view text) { return ReadSetting(text).choice; }

}  // namespace morvane
