#pragma once
// Whether a run's history fits in the memory left to it.
#include <cstdint>

namespace morvane {

// Throws UsageError, naming the bytes, when `games` of history do not fit.
void CheckHistoryFits(std::int32_t games);

}  // namespace morvane
