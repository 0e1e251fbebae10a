#pragma once
// Long work a front end runs off its own thread: the spread, the value
// table, the machine-now decision, hall data, more games. A job runs once,
// on whichever thread calls Run; any other thread may tell it to stop and
// read how many of its units are done. Its result stays in it for whoever
// started it to take once Run has returned.
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

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

// Work that takes a stop flag and a counter of its units as a job: a step
// of the analysis with no job of its own.
class FunctionJob : public Job {
public:
    using Work = std::function<bool(const std::atomic<bool>& stop, std::atomic<std::int64_t>& done)>;
    // `work` returns false when the stop cut it short.
    FunctionJob(std::int64_t total, Work work) : total_(total), work_(std::move(work)) {}
    bool Run() override { return work_(StopFlag(), DoneCounter()); }
    std::int64_t Total() const override { return total_; }

private:
    std::int64_t total_;
    Work work_;
};

}  // namespace morvane
