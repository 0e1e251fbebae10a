#pragma once
// Putting the shards of one spread back together.
#include <vector>

#include "sessions/shard_file.h"

namespace morvane {

// Puts shards of one spread back together into every session's tallies.
// Throws std::runtime_error when they do not belong together, repeat a
// shard or leave one out.
std::vector<SessionTally> MergeShards(const std::vector<ShardFile>& shards, SpreadRequest& whole);

}  // namespace morvane
