#include "app/spread_job.h"

#include <algorithm>

#include "sessions/shard_file.h"
#include "system/memory_room.h"

namespace morvane {

std::uint64_t SpreadBytes(std::int64_t sessions, bool shardFile) {
    const std::uint64_t each = sizeof(SessionTally) + (shardFile ? kShardLineBytes : sizeof(std::int64_t));
    return static_cast<std::uint64_t>(std::max<std::int64_t>(sessions, 0)) * each;
}

MemoryCheck CheckRoom(std::uint64_t needBytes) {
    const std::uint64_t available = AvailableMemoryBytes();
    MemoryCheck c;
    c.need = needBytes;
    c.room = UsableHistoryBytes(available);
    // 0: the system would not tell, so nothing is refused.
    c.fits = available == 0 || needBytes <= c.room;
    return c;
}

SpreadJob::SpreadJob(const SpreadRequest& request, int threads)
    : request_(request), threads_(threads), tallies_(static_cast<std::size_t>(ShardSessions(request))) {}

bool SpreadJob::Run() { return PlaySpread(request_, threads_, tallies_, &DoneCounter(), &StopFlag()); }

SpreadResult SpreadJob::Result(int histogramBins) const {
    SpreadResult r;
    r.summary = Summarise(request_, tallies_);
    r.report = BuildSpreadReport(r.summary);
    r.histogram = HistogramOfBalance(tallies_, histogramBins);
    return r;
}

std::string SpreadJob::ShardText() const { return EncodeShard(request_, tallies_); }

}  // namespace morvane
