#include "cli/history_room.h"

#include <string>

#include "cli/command.h"
#include "run/history_room.h"
#include "system/memory_room.h"

namespace morvane {

void CheckHistoryFits(std::int32_t games) {
    const std::uint64_t available = AvailableMemoryBytes();
    if (!HistoryFits(games, 0, available))
        throw UsageError{std::to_string(games) + " games need " + std::to_string(ExtraHistoryBytes(games, 0)) +
                         " bytes of history, more than the " + std::to_string(UsableHistoryBytes(available)) +
                         " bytes that " + std::to_string(available) + " bytes of available memory leave for it"};
}

}  // namespace morvane
