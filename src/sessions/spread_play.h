#pragma once
// Playing many sessions: R independent runs of N games, each on a fresh
// machine at one setting, tallied on the fly (no history is kept) and played
// on several threads. Session i is played from the seed SessionSeed(seed, i),
// so `morvane-sim run --seed <that> --setting S --games N` replays it alone.
// The tallies are kept by session index, so what follows from them does not
// depend on the number of threads, nor on how the sessions were split over
// shards.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "machine/slot.h"
#include "system/workers.h"

namespace morvane {

// What one session leaves behind.
struct SessionTally {
    std::int32_t balance = 0;     // final medal balance
    std::int32_t bbGames = 0;     // games that played a BB (first hits)
    std::int32_t bbs = 0;         // BBs: the continued sets of all of them
    std::int64_t deepestDip = 0;  // largest drop of the balance below its running maximum (from 0 at the start)
    friend bool operator==(const SessionTally&, const SessionTally&) = default;
};

// splitmix64's finaliser over (seed << 32 | index), high half. Seeds next to
// each other give related streams in a linear congruential generator, so
// the sessions' seeds are scattered instead.
std::uint32_t SessionSeed(std::uint32_t seed, std::uint32_t index);

struct SpreadRequest {
    int setting = 1;            // 1..6
    std::int32_t games = 1;     // per session, >= 1
    std::int32_t sessions = 1;  // >= 1
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
    // A set `stop` is asked between slices of kSpreadSliceGames games; a
    // session cut short gives nullopt, its tallies being of no use.
    std::optional<SessionTally> Play(int setting, std::int32_t games, std::uint32_t seed,
                                     const std::atomic<bool>* stop = nullptr);

private:
    Slot slot_{0u};
};

// Games played between two looks at the stop flag: a few milliseconds.
inline constexpr std::int32_t kSpreadSliceGames = 1 << 20;

// More threads than this are never started: each holds a machine of its own.
inline constexpr int kMostSpreadThreads = kMostWorkers;

// Plays the request's shard on `threads` threads (0: all cores) into
// out[k] for the shard's k-th session; out.size() must be ShardSessions.
// `done` (may be null) counts finished sessions as they finish; a set
// `stop` ends the work early, and the return is false then, with out only
// partly filled.
bool PlaySpread(const SpreadRequest& request, int threads, std::span<SessionTally> out,
                std::atomic<std::int64_t>* done = nullptr, const std::atomic<bool>* stop = nullptr);

}  // namespace morvane
