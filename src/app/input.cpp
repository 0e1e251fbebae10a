#include "app/input.h"

#include "machine/vocabulary.h"

namespace morvane {

std::optional<std::int32_t> ParseInt32(std::string_view text) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > std::int64_t{INT32_MAX} + 1) return std::nullopt;
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

SettingParse ReadSetting(std::string_view text) {
    if (text == kHiddenSetting) return {SettingChoice{true, 0}};
    const auto v = ParseInt32(text);
    if (!v) return {std::nullopt, SettingProblem::NotInteger};
    if (!ValidSetting(*v)) return {std::nullopt, SettingProblem::OutOfRange};
    return {SettingChoice{false, *v}};
}

}  // namespace morvane
