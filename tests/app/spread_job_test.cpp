#include "app/spread_job.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sessions/shard_file.h"
#include "system/memory_room.h"

namespace morvane {
namespace {

// The window shows the report's rows; the command line prints its text.
// Both must be the same figures, cell for cell.
TEST(SpreadJob, ReportRowsAreTheTextsLines) {
    SpreadJob job({3, 500, 40, 11}, 2);
    ASSERT_TRUE(job.Run());
    EXPECT_EQ(job.Done(), 40);
    const SpreadResult r = job.Result(10);
    std::istringstream text(SpreadText(r.report));
    std::string line;
    for (int i = 0; i < 5; ++i) std::getline(text, line);  // the request and the column names
    for (const SpreadReportRow& row : r.report.quantities) {
        ASSERT_TRUE(std::getline(text, line));
        std::string joined = row.name;
        for (const std::string& c : row.cells) joined += "\t" + c;
        EXPECT_EQ(line, joined);
        EXPECT_EQ(row.cells.size() + 1, r.report.columns.size());
    }
    std::int64_t sessions = 0;
    for (std::int64_t n : r.histogram.counts) sessions += n;
    EXPECT_EQ(sessions, 40);
}

TEST(SpreadJob, StoppedBeforeItStartsPlaysNothing) {
    SpreadJob job({1, 8000, 1000, 5}, 2);
    job.Stop();
    EXPECT_FALSE(job.Run());
    EXPECT_LT(job.Done(), 1000);
}

TEST(SpreadJob, ShardTextHoldsOnlyItsShard) {
    SpreadJob job({1, 100, 10, 5, 1, 3}, 1);
    ASSERT_TRUE(job.Run());
    const ShardFile f = DecodeShard(job.ShardText());
    EXPECT_EQ(f.tallies.size(), 3u);  // sessions 1, 4, 7
    EXPECT_EQ(f.tallies, job.Tallies());
}

TEST(SpreadJob, RoomRefusesWhatCannotFit) {
    EXPECT_EQ(SpreadBytes(1000, false), 1000u * (sizeof(SessionTally) + 8));
    EXPECT_EQ(SpreadBytes(-5, true), 0u);
    const MemoryCheck huge = CheckRoom(~std::uint64_t{0});
    EXPECT_EQ(huge.fits, AvailableMemoryBytes() == 0);
    EXPECT_TRUE(CheckRoom(0).fits);
}

}  // namespace
}  // namespace morvane
