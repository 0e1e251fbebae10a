#include "app/hall_input.h"

#include <array>

#include "app/input.h"
#include "machine/vocabulary.h"

namespace morvane {
namespace {

std::string_view Trimmed(std::string_view t) {
    const auto first = t.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return t.substr(first, t.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

HallBBReading ReadHallBBEntries(std::string_view games, std::string_view colour, std::string_view sets) {
    games = Trimmed(games);
    colour = Trimmed(colour);
    sets = Trimmed(sets);
    HallBB bb;
    const auto g = ParseInt32(games);
    if (!g || games.front() == '-') return {std::nullopt, HallBBPart::Games, std::string(games)};
    bb.games = *g;
    // The rule on the games is the model's; the part it fails names the message.
    if (!IsHallBB(bb)) return {std::nullopt, HallBBPart::Games, std::string(games)};
    if (colour == "b" || colour == "B" || colour == "青" || colour == "1")
        bb.kind = BlueBB;
    else if (colour == "r" || colour == "R" || colour == "赤" || colour == "2")
        bb.kind = RedBB;
    else if (!colour.empty() && colour != "?")
        return {std::nullopt, HallBBPart::Colour, std::string(colour)};
    if (!sets.empty()) {
        const auto s = ParseInt32(sets);
        // Written sets are at least 1: no sets written is "not known".
        if (!s || *s < 1) return {std::nullopt, HallBBPart::Sets, std::string(sets)};
        bb.sets = *s;
    }
    return {bb, HallBBPart::None, {}};
}

std::optional<HallBB> ReadHallBB(std::string_view games, std::string_view colour, std::string_view sets) {
    return ReadHallBBEntries(games, colour, sets).bb;
}

HallBBReading ParseHallBBEntries(std::string_view text) {
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0) return {std::nullopt, HallBBPart::Games, std::string(text)};
    std::string_view colour, sets;
    if (digits < text.size()) {
        const char c = text[digits];
        if (c != 'b' && c != 'r' && c != '?') {
            // The whole character, when it is more than one byte of UTF-8.
            std::size_t end = digits + 1;
            if (static_cast<unsigned char>(c) >= 0xC0)
                while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
            return {std::nullopt, HallBBPart::Colour, std::string(text.substr(digits, end - digits))};
        }
        colour = text.substr(digits, 1);
        sets = text.substr(digits + 1);
        // Sets are digits only; the window's freer forms do not belong here.
        for (char d : sets)
            if (d < '0' || d > '9') return {std::nullopt, HallBBPart::Sets, std::string(sets)};
    }
    return ReadHallBBEntries(text.substr(0, digits), colour, sets);
}

std::optional<HallBB> ParseHallBB(std::string_view text) { return ParseHallBBEntries(text).bb; }

std::optional<std::uint32_t> CountedWinKinds(std::string_view name) {
    struct Name {
        std::string_view name;
        std::uint32_t kinds;
    };
    static constexpr std::array<Name, 11> kNames = {{
        {"cherry2", 1u << Cherry2},
        {"cherry4", 1u << Cherry4},
        {"cherry", (1u << Cherry2) | (1u << Cherry4)},
        {"suika_a", 1u << Suika_A},
        {"suika_b", 1u << Suika_B},
        {"suika", (1u << Suika_A) | (1u << Suika_B)},
        {"replay_a", 1u << ReplayA},
        {"replay_b", 1u << ReplayB},
        {"replay", (1u << ReplayA) | (1u << ReplayB)},
        {"bell", 1u << Bell},
        {"chance", 1u << Chance},
    }};
    for (const Name& n : kNames)
        if (n.name == name) return n.kinds;
    return std::nullopt;
}

}  // namespace morvane
