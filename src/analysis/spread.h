#pragma once
// The spread of many sessions: R independent runs of N games, each on a
// fresh machine at one setting, tallied on the fly (no history is kept) and
// played on several threads. Session i is played from the seed
// SessionSeed(seed, i), so `morvane-sim run --seed <that> --setting S
// --games N` replays it alone. The tallies are gathered by session index and
// the figures are worked out from exact integer sums and the sorted values,
// so the result does not depend on the number of threads, nor on how the
// sessions were split over shards.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "machine/slot.h"

namespace morvane {

// What one session leaves behind.
struct SessionTally {
    std::int32_t balance = 0;    // final medal balance
    std::int32_t bbGames = 0;    // games that played a BB (first hits)
    std::int32_t bbs = 0;        // BBs: the continued sets of all of them
    std::int64_t deepestDip = 0; // largest drop of the balance below its running maximum (from 0 at the start)
    friend bool operator==(const SessionTally&, const SessionTally&) = default;
};

// splitmix64's finaliser over (seed << 32 | index), high half. Seeds next to
// each other give related streams in a linear congruential generator, so
// the sessions' seeds are scattered instead.
std::uint32_t SessionSeed(std::uint32_t seed, std::uint32_t index);

struct SpreadRequest {
    int setting = 1;              // 1..6
    std::int32_t games = 1;       // per session, >= 1
    std::int32_t sessions = 1;    // >= 1
    std::uint32_t seed = 0;
    // This shard plays the sessions whose index is shardIndex mod shardCount.
    std::int32_t shardIndex = 0;
    std::int32_t shardCount = 1;
    friend bool operator==(const SpreadRequest&, const SpreadRequest&) = default;
};

// Sessions of the request's shard, in index order.
std::int32_t ShardSessions(const SpreadRequest& r);
inline std::int32_t ShardSessionIndex(const SpreadRequest& r, std::int32_t k) {
    return r.shardIndex + k * r.shardCount;
}

// One machine per thread, reused from session to session; every session
// starts from exactly the state `Slot slot(seed); SetFlevel(s); Reset()`
// gives.
class SessionPlayer {
public:
    SessionTally Play(int setting, std::int32_t games, std::uint32_t seed);

private:
    Slot slot_{0u};
};

// More threads than this are never started: far more than any machine has
// cores, and each holds a machine of its own.
inline constexpr int kMostSpreadThreads = 256;

// Plays the request's shard on `threads` threads (0: all cores) into
// out[k] for the shard's k-th session; out.size() must be ShardSessions.
// `done` (may be null) counts finished sessions as they finish; a set
// `stop` ends the work early, and the return is false then, with out only
// partly filled.
bool PlaySpread(const SpreadRequest& request, int threads, std::span<SessionTally> out,
                std::atomic<std::int64_t>* done = nullptr, const std::atomic<bool>* stop = nullptr);

int DefaultThreads();

// What a spread holds for its sessions at its peak: the tallies, and a
// sorted copy of one quantity for the summary or the text of a shard file.
std::uint64_t SpreadBytes(std::int64_t sessions, bool shardFile);

// The figures of one quantity over all sessions.
inline constexpr std::array<int, 9> kSpreadPercentiles{1, 5, 10, 25, 50, 75, 90, 95, 99};
struct QuantitySpread {
    std::array<std::int64_t, kSpreadPercentiles.size()> percentile{};  // nearest rank
    std::int64_t min = 0, max = 0;
    double mean = 0, sd = 0, se = 0;  // sd with R - 1; se = sd / sqrt(R)
};

struct SpreadSummary {
    SpreadRequest request;   // shard fields 0 and 1
    QuantitySpread balance;  // medals
    QuantitySpread bbGames;
    QuantitySpread bbs;
    QuantitySpread deepestDip;
    std::int64_t ahead = 0;  // sessions that end with a balance above 0
    std::int32_t worst = 0, best = 0;  // first session with the lowest / highest balance
};

// All sessions' tallies, by index.
SpreadSummary Summarise(const SpreadRequest& request, std::span<const SessionTally> tallies);

// The final balances in bins of the narrowest round width (1, 2 or 5 times
// a power of ten) that covers them in `bins` bins; the edges are multiples
// of the width, which can cost one bin more. Bin i holds
// low + i * width up to, not including, low + (i + 1) * width.
struct BalanceHistogram {
    std::int64_t low = 0, width = 1;
    std::vector<std::int64_t> counts;
};
BalanceHistogram HistogramOfBalance(std::span<const SessionTally> tallies, int bins);

// The text morvane-sim spread prints; see the README.
std::string SpreadText(const SpreadSummary& s);

// A shard's file: its request and the exact tallies of its sessions.
std::string EncodeShard(const SpreadRequest& request, std::span<const SessionTally> shardTallies);

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
    explicit ShardReader(std::function<void(const SpreadRequest&)> onHeader = {})
        : onHeader_(std::move(onHeader)) {}
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

// Puts shards of one spread back together into every session's tallies.
// Throws std::runtime_error when they do not belong together, repeat a
// shard or leave one out.
std::vector<SessionTally> MergeShards(const std::vector<ShardFile>& shards, SpreadRequest& whole);

}  // namespace morvane
