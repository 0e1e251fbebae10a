#pragma once
// Work shared among threads: a team of workers started together, and a loop
// over indices handed out in chunks as each worker asks. Whatever a worker
// does with index i must depend on i alone, so that the result is the same
// on any number of threads.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <type_traits>

namespace morvane {

// The CPUs this process may run on: a batch system's task given one CPU of
// a big node works on one thread, not on a thread per core of it.
int DefaultThreads();

// More threads than this are never started: far more than any machine has
// cores, and each worker may hold a machine of its own.
inline constexpr int kMostWorkers = 256;

// Runs work(worker) for worker 0 .. n-1 at once, the calling thread being
// worker 0, and returns n once all have returned; an exception thrown by
// any worker is thrown from here once they have. n is `threads` (0: every
// core) unless the system will not start that many; ready(n) is told n on
// the calling thread before any worker begins.
int RunWorkers(int threads, const std::function<void(int workers)>& ready, const std::function<void(int worker)>& work);

struct IndexLoop {
    std::int64_t chunk = 16;                    // indices a worker takes at a time
    const std::atomic<bool>* stop = nullptr;    // looked at between chunks
    std::atomic<std::int64_t>* done = nullptr;  // counts indices as their chunk ends
};

// Calls work(i, state) for every i below `count` on up to `threads` threads
// (0: every core), each worker with a state of its own made by make() on
// its thread. work may return false to say the stop cut index i short.
// Returns false when the stop came before every index was done.
template <class Make, class Work>
bool ForEachIndex(std::int64_t count, int threads, const IndexLoop& loop, Make make, Work work) {
    if (threads < 1) threads = DefaultThreads();
    threads = static_cast<int>(std::min<std::int64_t>({threads, std::max<std::int64_t>(count, 1), kMostWorkers}));
    const std::int64_t chunk = std::max<std::int64_t>(loop.chunk, 1);
    std::atomic<std::int64_t> next{0};
    std::atomic<bool> stopped{false}, failed{false};
    RunWorkers(
        threads, [](int) {},
        [&](int) {
            auto state = make();
            for (;;) {
                if (loop.stop && loop.stop->load(std::memory_order_relaxed)) {
                    stopped = true;
                    return;
                }
                if (failed.load(std::memory_order_relaxed)) return;  // another's exception ends the loop
                const std::int64_t first = next.fetch_add(chunk, std::memory_order_relaxed);
                if (first >= count) return;
                const std::int64_t last = std::min(count, first + chunk);
                try {
                    for (std::int64_t i = first; i < last; ++i) {
                        if constexpr (std::is_same_v<decltype(work(i, state)), bool>) {
                            if (!work(i, state)) {
                                stopped = true;
                                return;
                            }
                        } else {
                            work(i, state);
                        }
                    }
                } catch (...) {
                    failed = true;
                    throw;
                }
                if (loop.done) loop.done->fetch_add(last - first, std::memory_order_relaxed);
            }
        });
    return !stopped;
}

}  // namespace morvane
