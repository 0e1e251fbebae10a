#pragma once
// Long work a front end runs off its own thread: the spread, the value
// table, the machine-now decision, hall data, more games. A job runs once,
// on whichever thread calls Run; any other thread may tell it to stop and
// read how many of its units are done. Its result stays in it for whoever
// started it to take once Run has returned.
#include <atomic>
#include <cstdint>

namespace morvane {

class Job {
public:
    Job() = default;
    virtual ~Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // The work, on this thread; false when Stop cut it short. Call once.
    virtual bool Run() = 0;
    // From any thread: the work ends at its next look.
    void Stop() { stop_.store(true, std::memory_order_relaxed); }
    bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }
    // Units of the work done so far, of Total(); a total of 0 says the job
    // does not count them.
    std::int64_t Done() const { return done_.load(std::memory_order_relaxed); }
    virtual std::int64_t Total() const { return 0; }

protected:
    // What the work looks at and moves.
    const std::atomic<bool>& StopFlag() const { return stop_; }
    std::atomic<std::int64_t>& DoneCounter() { return done_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<std::int64_t> done_{0};
};

}  // namespace morvane
