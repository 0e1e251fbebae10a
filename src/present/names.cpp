#include "present/names.h"

#include <array>

#include "present/number_format.h"

namespace morvane {
namespace {

template <std::size_t N>
std::string_view Pick(const std::array<std::string_view, N>& names, std::int32_t v) {
    return v >= 0 && static_cast<std::size_t>(v) < N ? names[static_cast<std::size_t>(v)] : std::string_view{};
}

constexpr std::array<std::string_view, 6> kModeNames = {"ハマリ", "低確", "高確", "前兆", "青7揃い", "赤7揃い"};
constexpr std::array<std::string_view, 4> kKModeNames = {"継続A(75%)", "継続B(79%)", "継続C(84%)", "継続D(88%)"};
constexpr std::array<std::string_view, 8> kPlayNames = {"2枚チェリー", "4枚チェリー", "スイカA", "スイカB",
                                                        "ReplayA",     "ReplayB",     "ベル",    "チャンス目"};
constexpr std::array<std::string_view, 8> kRateNames = {"2枚チェリー", "4チェリー", "スイカA", "スイカB",
                                                        "リプレイA",   "リプレイB", "ベル",    "チャンス目"};
constexpr std::array<std::string_view, 8> kPieNames = {"2枚チェリー", "4枚チェリー", "スイカA", "スイカB",
                                                       "リプレイA",   "リプレイB",   "ベル",    "チャンス目"};

}  // namespace

std::string_view ModeName(std::int32_t mode) { return Pick(kModeNames, mode); }
std::string_view KModeName(std::int32_t kmode) { return Pick(kKModeNames, kmode); }
std::string_view KoyakuPlayName(std::int32_t koyaku) { return Pick(kPlayNames, koyaku); }
std::string_view KoyakuRateName(std::int32_t koyaku) { return Pick(kRateNames, koyaku); }
std::string_view KoyakuPieName(std::int32_t koyaku) { return Pick(kPieNames, koyaku); }

std::string PatternText(std::int32_t bbKind, std::int32_t sets, std::int32_t koyaku) {
    if (bbKind == 0) return std::string(KoyakuPlayName(koyaku));
    if (bbKind == 1) return "青777×" + IntText(sets);
    if (bbKind == 2) return "赤777×" + IntText(sets);
    return {};
}

}  // namespace morvane
