#pragma once
// Putting a spread back together from its shard files, read a piece at a
// time as they arrive.
#include <optional>
#include <string>
#include <vector>

#include "sessions/spread_stats.h"

namespace morvane {

struct MergeOutcome {
    // One line naming the file and what is wrong, when the files are refused.
    std::optional<std::string> problem;
    SpreadSummary summary;
};

MergeOutcome MergeShardFiles(const std::vector<std::string>& paths);

}  // namespace morvane
