#pragma once
// A spread of many sessions as a front end starts it: the memory check,
// the sessions on threads with progress and stop, and the result as data
// (the summary, the report's rows, the balance histogram, a shard's text).
#include <cstdint>
#include <string>
#include <vector>

#include "app/job.h"
#include "sessions/spread_play.h"
#include "sessions/spread_report.h"
#include "sessions/spread_stats.h"

namespace morvane {

// What a spread holds for its sessions at its peak: the tallies, and a
// sorted copy of one quantity for the summary or the text of a shard file.
std::uint64_t SpreadBytes(std::int64_t sessions, bool shardFile);

// Whether `needBytes` fit in the memory the program may still take.
struct MemoryCheck {
    bool fits = true;
    std::uint64_t need = 0;
    std::uint64_t room = 0;  // the usable part of the available memory
};
MemoryCheck CheckRoom(std::uint64_t needBytes);
// The request's shard, for a summary or (shardFile) a shard's file.
inline MemoryCheck CheckSpreadRoom(const SpreadRequest& r, bool shardFile) {
    return CheckRoom(SpreadBytes(ShardSessions(r), shardFile));
}

struct SpreadResult {
    SpreadSummary summary;
    SpreadReport report;
    BalanceHistogram histogram;
};

// Its units are the shard's sessions.
class SpreadJob : public Job {
public:
    // threads 0: every core.
    SpreadJob(const SpreadRequest& request, int threads);

    // Plays the shard's sessions on this thread and helpers; false when
    // Stop ended it early. Call once.
    bool Run() override;
    std::int64_t Total() const override { return Sessions(); }
    std::int32_t Sessions() const { return static_cast<std::int32_t>(tallies_.size()); }

    const SpreadRequest& Request() const { return request_; }
    const std::vector<SessionTally>& Tallies() const { return tallies_; }
    // After a whole spread (one shard of one).
    SpreadResult Result(int histogramBins) const;
    // After a shard.
    std::string ShardText() const;

private:
    SpreadRequest request_;
    int threads_;
    std::vector<SessionTally> tallies_;
};

}  // namespace morvane
