#include "app/merge_job.h"

#include <stdexcept>

#include "app/spread_job.h"
#include "sessions/shard_file.h"
#include "sessions/shard_merge.h"
#include "system/file_error.h"
#include "system/printable.h"
#include "system/read_pieces.h"

namespace morvane {

MergeOutcome MergeShardFiles(const std::vector<std::string>& paths) {
    MergeOutcome out;
    std::vector<ShardFile> shards;
    for (const std::string& path : paths) {
        // The shards' tallies, then all of them in order and the summary's
        // sorted copy: refused at the first header that would not fit.
        ShardReader reader([](const SpreadRequest& r) {
            const MemoryCheck room =
                CheckRoom(SpreadBytes(r.sessions, false) + std::uint64_t(r.sessions) * sizeof(SessionTally));
            if (!room.fits)
                throw std::runtime_error("its spread of " + std::to_string(r.sessions) +
                                         " sessions needs more than the " + std::to_string(room.room) +
                                         " bytes of memory left");
        });
        try {
            ReadInPieces(path, std::size_t{1} << 16, {}, [&](std::string_view piece) {
                reader.Feed(piece);
                return true;
            });
            shards.push_back(reader.Finish());
        } catch (const FileError& e) {
            out.problem = e.what();
            return out;
        } catch (const std::runtime_error& e) {
            out.problem = Printable(path) + ": " + e.what();
            return out;
        }
    }
    try {
        SpreadRequest whole;
        const std::vector<SessionTally> tallies = MergeShards(shards, whole);
        out.summary = Summarise(whole, tallies);
    } catch (const std::runtime_error& e) {
        out.problem = e.what();
    }
    return out;
}

}  // namespace morvane
