#include "run/memory.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "run/history.h"

namespace morvane {

std::uint64_t AvailableMemoryBytes() {
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MemAvailable:", 0) == 0) {
            std::istringstream fields(line.substr(13));
            std::uint64_t kib = 0;
            if (fields >> kib) return kib * 1024;
        }
    }
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long size = sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(size) : 0;
}

std::uint64_t ExtraHistoryBytes(std::int64_t games, std::uint64_t reservedGames) {
    const std::uint64_t g = games > 0 ? static_cast<std::uint64_t>(games) : 0;
    return g > reservedGames ? (g - reservedGames) * kBytesPerGame : 0;
}

bool HistoryFits(std::int64_t games, std::uint64_t reservedGames, std::uint64_t available) {
    return available == 0 || ExtraHistoryBytes(games, reservedGames) <= available;
}

}  // namespace morvane
