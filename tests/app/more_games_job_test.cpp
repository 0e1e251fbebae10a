// The value of more games off the caller's thread: only the newest
// submission's figures come back, and they are the library's own.
#include "app/more_games_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "machine/slot.h"
#include "run/single_run.h"

namespace morvane {
namespace {

MoreGamesJob::Finished Wait(MoreGamesJob& job) {
    for (int i = 0; i < 6000; ++i) {
        if (auto f = job.Take()) return *f;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "no figures within a minute";
    return {};
}

TEST(MoreGamesJob, OnlyTheNewestSubmissionComesBack) {
    PlayHistory h;
    Slot slot(7);
    SimulateRun(slot, h, {false, 6}, 3000);
    const MachineBelief belief = *BeliefFromRecord(h.records()).belief;
    const MoreGamesRequest slow{5000, 0.8, 0.8, 4000, 1, 0};
    const MoreGamesRequest quick{300, 0.6, 0.6, 200, 2, 0};
    MoreGamesJob job;
    job.Submit(belief, slow);
    const std::uint64_t last = job.Submit(belief, quick);
    EXPECT_TRUE(job.Busy());
    const MoreGamesJob::Finished f = Wait(job);
    EXPECT_EQ(f.submission, last);
    MoreGames want;
    ASSERT_TRUE(ValueOfMoreGames(belief, quick, want));
    EXPECT_EQ(f.figures.request.games, 300);
    EXPECT_EQ(f.figures.highPasses.share, want.highPasses.share);
    EXPECT_EQ(f.figures.topPasses.share, want.topPasses.share);
    EXPECT_EQ(f.figures.highAfter, want.highAfter);
    EXPECT_FALSE(job.Take());
    EXPECT_FALSE(job.Busy());
    // Dropped work gives nothing; ended while it works, the simulation is
    // cut short rather than waited for.
    job.Submit(belief, slow);
    job.Cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(job.Take());
    job.Submit(belief, slow);
}

}  // namespace
}  // namespace morvane
