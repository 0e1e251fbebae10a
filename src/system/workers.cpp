#include "system/workers.h"

#if defined(__linux__)
#include <sched.h>
#endif

#include <exception>
#include <latch>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace morvane {

int DefaultThreads() {
#if defined(__linux__)
    cpu_set_t allowed;
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) return std::max(1, CPU_COUNT(&allowed));
#endif
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int RunWorkers(int threads, const std::function<void(int)>& ready, const std::function<void(int)>& work) {
    if (threads < 1) threads = DefaultThreads();
    threads = std::min(threads, kMostWorkers);
    // The workers wait until they are all known, so that what they share
    // (a barrier for so many) can be made for those that did start.
    std::latch go(1);
    bool abandoned = false;
    // Joined on every way out, as a jthread would be; plain threads build
    // with every C++ library the program is built with.
    struct Pool {
        std::vector<std::thread> threads;
        ~Pool() {
            for (std::thread& t : threads) t.join();
        }
    } workersPool;
    auto& pool = workersPool.threads;
    pool.reserve(static_cast<std::size_t>(threads - 1));
    // A worker's exception is the caller's, as worker 0's is: thrown once
    // all have returned, not let out of its thread to end the program.
    std::mutex failedLock;
    std::exception_ptr failed;
    try {
        for (int t = 1; t < threads; ++t)
            pool.emplace_back([&, t] {
                go.wait();
                if (abandoned) return;
                try {
                    work(t);
                } catch (...) {
                    const std::scoped_lock hold(failedLock);
                    if (!failed) failed = std::current_exception();
                }
            });
    } catch (const std::system_error&) {
        // Threads the system will not start leave their share to the others.
    }
    const int workers = static_cast<int>(pool.size()) + 1;
    try {
        ready(workers);
    } catch (...) {
        abandoned = true;
        go.count_down();
        throw;
    }
    go.count_down();
    work(0);
    for (std::thread& t : pool) t.join();
    pool.clear();
    if (failed) std::rethrow_exception(failed);
    return workers;
}

}  // namespace morvane
