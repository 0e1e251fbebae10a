#pragma once
// A shard's file: the request of the spread it belongs to and the exact
// tallies of its sessions, as text that survives any transport.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sessions/spread_play.h"

namespace morvane {

// A shard's file: its request and the exact tallies of its sessions.
std::string EncodeShard(const SpreadRequest& request, std::span<const SessionTally> shardTallies);

// What is wrong with a session's tallies that no session of `games` games
// can leave, if anything: each value is bounded by the games, which also
// keeps the summary's exact sums from overflowing.
std::optional<std::string> ImpossibleTally(const SessionTally& t, std::int32_t games);

struct ShardFile {
    SpreadRequest request;
    std::vector<SessionTally> tallies;  // the shard's sessions in index order
};

// The longest line a shard file holds: five numbers, tabs and the newline.
inline constexpr std::size_t kShardLineBytes = 80;

// Reads a shard file as it arrives, a piece at a time, holding no more than
// one line besides the tallies; anything that is not a shard file is
// refused within its first line. Feed and Finish throw std::runtime_error
// with a line naming what is wrong.
class ShardReader {
public:
    // onHeader, when given, sees the request as soon as the header is read
    // and may throw to refuse it.
    explicit ShardReader(std::function<void(const SpreadRequest&)> onHeader = {}) : onHeader_(std::move(onHeader)) {}
    void Feed(std::string_view bytes);
    ShardFile Finish();

private:
    void Line(std::string_view line);

    std::function<void(const SpreadRequest&)> onHeader_;
    ShardFile file_;
    std::string partial_;
    std::size_t line_ = 0;  // lines read whole
    std::int32_t count_ = 0;
    bool ended_ = false;
};

ShardFile DecodeShard(std::string_view text);

}  // namespace morvane
