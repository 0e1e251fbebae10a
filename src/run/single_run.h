#pragma once
// One run: set the machine up at a chosen or hidden setting and record N games.
#include <cstdint>
#include <functional>

#include "machine/slot.h"
#include "run/history.h"
#include "run/setting_choice.h"

namespace morvane {

// Called after every slice of a long run with the games played so far; a
// false return stops the run there.
using SliceHook = std::function<bool(std::int64_t played)>;
inline constexpr std::int32_t kSliceGames = 1 << 20;

// Empties the history, draws the hidden setting (Rand31 % 6 + 1) or takes the
// chosen one, SetFlevel, calls beforeGames (the window lets its events run
// there), Reset, then plays and records `games` games (>= 1), asking
// afterSlice every kSliceGames games. Returns the setting played; a stopped
// run leaves the games played so far in the history.
int SimulateRun(Slot& slot, PlayHistory& history, SettingChoice setting, std::int32_t games,
                const std::function<void()>& beforeGames = {}, const SliceHook& afterSlice = {});

// Plays n games on an already set-up machine, appending each to the history.
// Returns false when afterSlice stopped it.
bool RecordGames(Slot& slot, PlayHistory& history, std::int32_t games, const SliceHook& afterSlice = {});

}  // namespace morvane
