#pragma once
// The setting a run is asked for: one of 1..6, or hidden and drawn when the
// run starts.
#include <string_view>

namespace morvane {

struct SettingChoice {
    bool hidden = false;
    int setting = 1;  // meaningful when !hidden
};
inline constexpr std::string_view kHiddenSetting = "?";

}  // namespace morvane
