// Work shared among threads: every index once whatever the threads and
// chunks, a state per worker, the count of what is done, and the stop.
#include "system/workers.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace morvane {
namespace {

TEST(Workers, TeamIsKnownBeforeAnyBegins) {
    for (int threads : {1, 2, 5}) {
        int told = 0;
        std::vector<std::atomic<int>> ran(static_cast<std::size_t>(threads));
        std::atomic<bool> beforeReady{false};
        const std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> zeroHere{false};
        const int n = RunWorkers(
            threads, [&](int workers) { told = workers; },
            [&](int worker) {
                if (told == 0) beforeReady = true;
                if (worker == 0) zeroHere = std::this_thread::get_id() == caller;
                ++ran[static_cast<std::size_t>(worker)];
            });
        EXPECT_EQ(n, threads);
        EXPECT_EQ(told, threads);
        EXPECT_FALSE(beforeReady);
        EXPECT_TRUE(zeroHere);
        for (const auto& r : ran) EXPECT_EQ(r, 1);
    }
}

TEST(Workers, EveryIndexOnceWhateverTheThreadsAndChunks) {
    constexpr std::int64_t kCount = 1001;
    for (int threads : {1, 3, 8})
        for (std::int64_t chunk : {1, 7, 16, 5000}) {
            std::vector<std::atomic<int>> seen(kCount);
            std::atomic<int> states{0};
            std::atomic<std::int64_t> done{0};
            const bool whole = ForEachIndex(
                kCount, threads, {chunk, nullptr, &done}, [&] { return ++states; },
                [&](std::int64_t i, int&) { ++seen[static_cast<std::size_t>(i)]; });
            EXPECT_TRUE(whole);
            EXPECT_EQ(done, kCount) << threads << " threads, chunks of " << chunk;
            EXPECT_GE(states, 1);
            EXPECT_LE(states, threads);
            for (std::int64_t i = 0; i < kCount; ++i) ASSERT_EQ(seen[static_cast<std::size_t>(i)], 1) << i;
        }
    // Nothing to do still makes one worker, which finds nothing.
    std::atomic<int> calls{0};
    EXPECT_TRUE(ForEachIndex(
        0, 4, {}, [] { return 0; }, [&](std::int64_t, int&) { ++calls; }));
    EXPECT_EQ(calls, 0);
}

// Each worker's state is its own: a worker's indices are added to the sum
// it made, and the sums together are every index's once.
TEST(Workers, StatesAreEachWorkersOwn) {
    std::mutex lock;
    std::vector<std::unique_ptr<std::int64_t>> sums;
    const std::int64_t count = 20000;
    ASSERT_TRUE(ForEachIndex(
        count, 4, {3, nullptr, nullptr},
        [&] {
            std::lock_guard hold(lock);
            return sums.emplace_back(std::make_unique<std::int64_t>(0)).get();
        },
        [](std::int64_t i, std::int64_t* sum) { *sum += i; }));
    std::int64_t total = 0;
    for (const auto& s : sums) total += *s;
    EXPECT_EQ(total, count * (count - 1) / 2);
}

// An exception on any worker reaches the caller, once every worker is
// back, and ends the loop's handing out.
TEST(Workers, AnExceptionOnAnyWorkerReachesTheCaller) {
    for (int thrower : {0, 2}) {
        std::atomic<int> back{0};
        EXPECT_THROW(RunWorkers(
                         3, [](int) {},
                         [&](int worker) {
                             if (worker == thrower) throw std::runtime_error("worker");
                             ++back;
                         }),
                     std::runtime_error)
            << "worker " << thrower;
        EXPECT_EQ(back, 2) << "worker " << thrower;
    }
    std::atomic<std::int64_t> calls{0};
    EXPECT_THROW(ForEachIndex(
                     1000000, 3, {1, nullptr, nullptr}, [] { return 0; },
                     [&](std::int64_t i, int&) {
                         ++calls;
                         if (i == 10) throw std::invalid_argument("index");
                     }),
                 std::invalid_argument);
    EXPECT_LT(calls, 1000000);
}

TEST(Workers, StopEndsTheLoopAndSaysSo) {
    std::atomic<bool> stop{true};
    std::atomic<std::int64_t> done{0};
    EXPECT_FALSE(ForEachIndex(
        100, 2, {1, &stop, &done}, [] { return 0; }, [](std::int64_t, int&) {}));
    EXPECT_EQ(done, 0);
    // Set half way by the work itself: what was handed out is finished,
    // nothing after.
    stop = false;
    std::atomic<std::int64_t> calls{0};
    EXPECT_FALSE(ForEachIndex(
        100000, 2, {10, &stop, &done}, [] { return 0; },
        [&](std::int64_t i, int&) {
            ++calls;
            if (i == 500) stop = true;
        }));
    EXPECT_LT(calls, 100000);
    EXPECT_EQ(done, calls);
    // An index cut short is no index done.
    stop = false;
    done = 0;
    EXPECT_FALSE(ForEachIndex(
        100, 1, {10, &stop, &done}, [] { return 0; }, [](std::int64_t i, int&) { return i != 42; }));
    EXPECT_EQ(done, 40);
}

}  // namespace
}  // namespace morvane
