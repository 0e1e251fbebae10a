#pragma once
// Display names of the machine's codes. A value outside a table has the
// empty name; loaded files may hold anything.
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

std::string_view ModeName(std::int32_t mode);          // "ハマリ" .. "赤7揃い"
std::string_view KModeName(std::int32_t kmode);        // "継続A(75%)" .. "継続D(88%)"
std::string_view KoyakuPlayName(std::int32_t koyaku);  // play lists: "ReplayA", "4枚チェリー"
std::string_view KoyakuRateName(std::int32_t koyaku);  // small-win rate list: "リプレイA", "4チェリー"
std::string_view KoyakuPieName(std::int32_t koyaku);   // small-win pie: "リプレイA", "4枚チェリー"

// The "絵柄" cell of a play: "青777×3" for a blue BB of 3 sets, "赤777×N" for
// a red one, else the play-list name of the small win.
std::string PatternText(std::int32_t bbKind, std::int32_t sets, std::int32_t koyaku);

}  // namespace morvane
