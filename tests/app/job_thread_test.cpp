// Jobs on a thread of their own: a stop reaches a job that would never end,
// superseded jobs are stopped and never reported, only the newest is, once,
// and the thread goes with its owner whatever it is doing.
#include "app/job_thread.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/spread_job.h"
#include "support/test_jobs.h"

namespace morvane {
namespace {

using test::CountingJob;
using test::EndlessJob;
using test::GatedJob;
using test::WaitFor;

TEST(JobThread, StopEndsAJobThatWouldNeverEndAndReportsNothing) {
    JobThread thread;
    int told = 0;
    thread.OnEnd([&told] { ++told; });
    const auto endless = std::make_shared<EndlessJob>();
    EXPECT_EQ(thread.Start(endless), 1u);
    ASSERT_TRUE(WaitFor([&] { return endless->Done() > 0; }));
    EXPECT_TRUE(thread.Busy());
    EXPECT_EQ(thread.Current(), endless);
    thread.Stop();
    EXPECT_TRUE(endless->returned);
    EXPECT_FALSE(thread.Busy());
    EXPECT_FALSE(thread.Current());
    EXPECT_FALSE(thread.Take());
    EXPECT_EQ(told, 0);
    // The thread serves the next job, reported once.
    const auto counting = std::make_shared<CountingJob>(5000);
    const std::uint64_t number = thread.Start(counting);
    EXPECT_GT(number, 1u);
    ASSERT_TRUE(WaitFor([&] { return !thread.Busy(); }));
    const auto ended = thread.Take();
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->number, number);
    EXPECT_EQ(ended->job, counting);
    EXPECT_TRUE(ended->completed);
    EXPECT_EQ(counting->Done(), counting->Total());
    EXPECT_FALSE(thread.Take());
    EXPECT_EQ(told, 1);
}

TEST(JobThread, OnlyTheNewestJobIsReported) {
    JobThread thread;
    const auto first = std::make_shared<GatedJob>();
    const auto second = std::make_shared<EndlessJob>();
    const auto last = std::make_shared<CountingJob>(10);
    thread.Start(first);
    ASSERT_TRUE(WaitFor([&] { return first->began.load(); }));
    thread.Start(second);  // waits behind the first, which is told to stop
    EXPECT_TRUE(first->StopRequested());
    EXPECT_EQ(thread.Start(last), 3u);  // and the second never begins
    EXPECT_TRUE(thread.Busy());
    first->open = true;
    ASSERT_TRUE(WaitFor([&] { return !thread.Busy(); }));
    EXPECT_FALSE(second->began);
    const auto ended = thread.Take();
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->number, 3u);
    EXPECT_EQ(ended->job, last);
    EXPECT_FALSE(thread.Take());
    // Dropped without waiting: its end is not reported either.
    const auto dropped = std::make_shared<EndlessJob>();
    thread.Start(dropped);
    ASSERT_TRUE(WaitFor([&] { return dropped->began.load(); }));
    thread.Cancel();
    EXPECT_FALSE(thread.Busy());
    ASSERT_TRUE(WaitFor([&] { return dropped->returned.load(); }));
    EXPECT_FALSE(thread.Take());
}

TEST(JobThread, GoesWithItsOwnerMidJob) {
    const auto endless = std::make_shared<EndlessJob>();
    {
        JobThread thread;
        thread.Start(endless);
        ASSERT_TRUE(WaitFor([&] { return endless->began.load(); }));
    }
    EXPECT_TRUE(endless->StopRequested());
    EXPECT_TRUE(endless->returned);
}

// What a job throws stays on its thread's report, for whoever started it to
// rethrow: it neither ends the program nor the thread, which serves the next.
TEST(JobThread, AJobThatThrowsIsReportedWithWhatItThrew) {
    JobThread thread;
    const auto failing =
        std::make_shared<FunctionJob>(3, [](const std::atomic<bool>&, std::atomic<std::int64_t>& done) {
            done = 2;
            throw std::runtime_error("disk gone");
            return true;
        });
    thread.Start(failing);
    ASSERT_TRUE(WaitFor([&] { return !thread.Busy(); }));
    const auto ended = thread.Take();
    ASSERT_TRUE(ended);
    EXPECT_FALSE(ended->completed);
    ASSERT_TRUE(ended->error);
    EXPECT_THROW(
        try { std::rethrow_exception(ended->error); } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "disk gone");
            throw;
        },
        std::runtime_error);
    EXPECT_EQ(failing->Done(), 2);
    const auto next = std::make_shared<CountingJob>(10);
    thread.Start(next);
    ASSERT_TRUE(WaitFor([&] { return !thread.Busy(); }));
    const auto after = thread.Take();
    ASSERT_TRUE(after);
    EXPECT_TRUE(after->completed);
    EXPECT_FALSE(after->error);
}

// A spread counts its sessions up to the total, on every thread it plays on.
TEST(JobThread, ProgressReachesTheTotal) {
    JobThread thread;
    const auto spread = std::make_shared<SpreadJob>(SpreadRequest{2, 300, 777, 3}, 3);
    EXPECT_EQ(spread->Total(), 777);
    thread.Start(spread);
    ASSERT_TRUE(WaitFor([&] { return !thread.Busy(); }));
    ASSERT_TRUE(thread.Take()->completed);
    EXPECT_EQ(spread->Done(), 777);
}

}  // namespace
}  // namespace morvane
