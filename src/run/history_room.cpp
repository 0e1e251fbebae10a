#include "run/history_room.h"

#include "machine/game_record.h"
#include "system/memory_room.h"

namespace morvane {

std::uint64_t ExtraHistoryBytes(std::int64_t games, std::uint64_t reservedGames) {
    const std::uint64_t g = games > 0 ? static_cast<std::uint64_t>(games) : 0;
    return g > reservedGames ? (g - reservedGames) * kBytesPerGame : 0;
}

bool HistoryFits(std::int64_t games, std::uint64_t reservedGames, std::uint64_t available) {
    return available == 0 || ExtraHistoryBytes(games, reservedGames) <= UsableHistoryBytes(available);
}

}  // namespace morvane
