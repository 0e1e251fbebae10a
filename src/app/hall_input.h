#pragma once
// Hall data as a player enters it, read the same way by the window's table
// and the command line's --bb and --count.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/likelihood.h"

namespace morvane {

// One BB from its three entries: the games since the previous BB (this BB
// game included, at least 1); the colour, "b", "青" or "1" for blue, "r",
// "赤" or "2" for red, empty or "?" when not known; the continued sets, empty
// when not known, else at least 1. Blanks around each entry are ignored.
std::optional<HallBB> ReadHallBB(std::string_view games, std::string_view colour, std::string_view sets);

// One BB of the command line's --bb: GAMES, then b, r or ? and the sets if
// known: 312b5, 45r, 1200?3, 88.
std::optional<HallBB> ParseHallBB(std::string_view text);

// The same, saying which entry is wrong and what it held, for a message the
// player can act on: the first wrong one of games, colour, sets.
enum class HallBBPart { None, Games, Colour, Sets };
struct HallBBReading {
    std::optional<HallBB> bb;
    HallBBPart wrong = HallBBPart::None;  // set when there is no bb
    std::string text;                     // that entry as given (blanks around it dropped)
};
HallBBReading ReadHallBBEntries(std::string_view games, std::string_view colour, std::string_view sets);
HallBBReading ParseHallBBEntries(std::string_view text);

// The small wins a count may name, as the command line and the window call
// them: cherry2 cherry4 cherry suika_a suika_b suika replay_a replay_b
// replay bell chance. The value has bit k set for each small win k.
std::optional<std::uint32_t> CountedWinKinds(std::string_view name);
inline constexpr const char* kCountedWinNames =
    "cherry2 cherry4 cherry suika_a suika_b suika replay_a replay_b replay bell chance";

}  // namespace morvane
