#include "sessions/shard_merge.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace morvane {
namespace {

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error(what); }

}  // namespace

std::vector<SessionTally> MergeShards(const std::vector<ShardFile>& shards, SpreadRequest& whole) {
    if (shards.empty()) Bad("no shards to merge");
    const SpreadRequest& first = shards.front().request;
    // By the shards' indices, not a table of all K: K comes from the files.
    std::vector<std::int32_t> indices;
    indices.reserve(shards.size());
    for (const ShardFile& s : shards) {
        const SpreadRequest& r = s.request;
        if (r.setting != first.setting || r.games != first.games || r.sessions != first.sessions ||
            r.seed != first.seed || r.shardCount != first.shardCount)
            Bad("the shards come from different spreads");
        indices.push_back(r.shardIndex);
    }
    std::sort(indices.begin(), indices.end());
    const std::string of = std::string(1, '/').append(std::to_string(first.shardCount));
    if (const auto twice = std::adjacent_find(indices.begin(), indices.end()); twice != indices.end())
        Bad("shard " + std::to_string(*twice) + of + " is given twice");
    for (std::size_t i = 0; i < static_cast<std::size_t>(first.shardCount); ++i)
        if (i >= indices.size() || indices[i] != static_cast<std::int32_t>(i))
            Bad("shard " + std::to_string(i) + of + " is missing");
    whole = first;
    whole.shardIndex = 0;
    whole.shardCount = 1;
    std::vector<SessionTally> all(static_cast<std::size_t>(first.sessions));
    for (const ShardFile& s : shards)
        for (std::size_t k = 0; k < s.tallies.size(); ++k)
            all[static_cast<std::size_t>(ShardSessionIndex(s.request, static_cast<std::int32_t>(k)))] = s.tallies[k];
    return all;
}

}  // namespace morvane
