#pragma once
// Whether a run's history fits in memory, decided before any game is played.
#include <cstdint>

namespace morvane {

// History bytes a run of `games` needs beyond what `reservedGames` already hold.
std::uint64_t ExtraHistoryBytes(std::int64_t games, std::uint64_t reservedGames);

// True when the extra bytes fit into the usable part of `available` (0 means
// unknown: allowed).
bool HistoryFits(std::int64_t games, std::uint64_t reservedGames, std::uint64_t available);

}  // namespace morvane
