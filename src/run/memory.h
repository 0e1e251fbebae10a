#pragma once
// Whether a run's history fits in memory, decided before any game is played.
#include <cstdint>
#include <string>

namespace morvane {

// Memory the system can still hand out without swapping (MemAvailable), or 0
// when it cannot tell.
std::uint64_t AvailableMemoryBytes();

// History bytes a run of `games` needs beyond what `reservedGames` already hold.
std::uint64_t ExtraHistoryBytes(std::int64_t games, std::uint64_t reservedGames);

// True when the extra bytes fit into `available` (0 means unknown: allowed).
bool HistoryFits(std::int64_t games, std::uint64_t reservedGames, std::uint64_t available);

}  // namespace morvane
