#include "system/printable.h"

namespace morvane {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// The last boundary at or before `at` that does not split a UTF-8 sequence.
std::size_t CharacterStart(std::string_view text, std::size_t at) {
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

}  // namespace

bool HasControlCharacter(std::string_view text) {
    for (char c : text)
        if (IsControl(static_cast<unsigned char>(c))) return true;
    return false;
}

std::string Printable(std::string_view text, std::size_t limit) {
    const bool cut = text.size() > limit;
    const std::string_view kept = cut ? text.substr(0, CharacterStart(text, limit)) : text;
    std::string s;
    s.reserve(kept.size() + 16);
    for (char ch : kept) {
        const auto c = static_cast<unsigned char>(ch);
        if (!IsControl(c)) {
            s += ch;
            continue;
        }
        switch (c) {
        case '\n': s += "\\n"; break;
        case '\t': s += "\\t"; break;
        case '\r': s += "\\r"; break;
        default: {
            static constexpr char kHex[] = "0123456789abcdef";
            s += "\\x";
            s += kHex[c >> 4];
            s += kHex[c & 0xF];
        }
        }
    }
    if (cut) s += "... (" + std::to_string(text.size()) + " bytes)";
    return s;
}

}  // namespace morvane
