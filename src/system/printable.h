#pragma once
// Values the user typed or named, made fit for a one-line message.
#include <cstddef>
#include <string>
#include <string_view>

namespace morvane {

inline constexpr std::size_t kPrintableLimit = 200;

// Control characters become escapes (\n, \t, \r, \xNN) so a message stays on
// one line; text beyond `limit` bytes is cut at a character boundary and
// the cut is marked with the whole length.
std::string Printable(std::string_view text, std::size_t limit = kPrintableLimit);

// True when the text holds a control character.
bool HasControlCharacter(std::string_view text);

}  // namespace morvane
