#pragma once
// One run: set the machine up at a chosen or hidden setting and record N games.
#include <cstdint>
#include <functional>

#include "machine/slot.h"
#include "run/history.h"
#include "run/input.h"

namespace morvane {

// Empties the history, draws the hidden setting (Rand31 % 6 + 1) or takes the
// chosen one, SetFlevel, calls beforeGames (the window lets its events run
// there), Reset, then plays and records `games` games (>= 1).
// Returns the setting played.
int SimulateRun(Slot& slot, PlayHistory& history, SettingChoice setting, std::int32_t games,
                const std::function<void()>& beforeGames = {});

// Plays n games on an already set-up machine, appending each to the history.
void RecordGames(Slot& slot, PlayHistory& history, std::int32_t games);

}  // namespace morvane
