// Hall data off the caller's thread: only the newest submission's estimate
// comes back, and it is the library's own.
#include "app/hall_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace morvane {
namespace {

HallJob::Finished Wait(HallJob& job) {
    for (int i = 0; i < 6000; ++i) {
        if (auto f = job.Take()) return *f;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "no estimate within a minute";
    return {};
}

TEST(HallJob, OnlyTheNewestSubmissionComesBack) {
    HallJob job;
    HallData big;
    big.bbs.assign(2000, HallBB{1500, 1, 3});
    big.games = 1500 * 2000;
    const HallData small{3000, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}}, {}};
    job.Submit(big);
    const std::uint64_t last = job.Submit(small);
    EXPECT_TRUE(job.Busy());
    const HallJob::Finished f = Wait(job);
    EXPECT_EQ(f.submission, last);
    const HallEstimate e = EstimateSettingFromHallData(small);
    EXPECT_EQ(f.estimate.posterior.probability, e.posterior.probability);
    EXPECT_FALSE(job.Take());
    EXPECT_FALSE(job.Busy());
    // Dropped data gives nothing, and the job serves the next submission.
    job.Submit(big);
    job.Cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(job.Take());
    HallData impossible = small;
    impossible.games = 1557 + kMaxGamesSinceBB + 1;
    job.Submit(impossible);
    EXPECT_EQ(Wait(job).estimate.problem, HallProblem::NoSetting);
    // Ended while it works on a long estimate: the walk is cut short.
    job.Submit(big);
}

}  // namespace
}  // namespace morvane
