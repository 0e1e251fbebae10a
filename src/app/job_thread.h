#pragma once
// Jobs run one after another on a thread of their own, for a caller that
// must never wait on them, such as a window: a job started while another
// runs supersedes it (the older is told to stop and its end is never
// reported), and only the newest job's end is reported, once. The thread
// is started with the first job and ended with the JobThread.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "app/job.h"

namespace morvane {

class JobThread {
public:
    JobThread() = default;
    // Stops the job under way, if any, and waits for the thread.
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    // Called on the jobs' thread as the newest job ends, before Take has
    // it: a window wakes its own thread with it. Set before the first Start.
    void OnEnd(std::function<void()> notify) { notify_ = std::move(notify); }

    // Runs `job` next; returns its number: 1 for the first, and more for
    // each after it (a Stop or Cancel uses one up too).
    std::uint64_t Start(std::shared_ptr<Job> job);
    // Tells the newest job to stop, or drops it if it has not begun, and
    // waits until no job runs; its end is not reported.
    void Stop();
    // The same without waiting.
    void Cancel();

    struct Ended {
        std::uint64_t number = 0;
        std::shared_ptr<Job> job;
        bool completed = false;    // what its Run returned
        std::exception_ptr error;  // what its Run threw instead, for the caller to rethrow
    };
    // The newest job once it has ended, once.
    std::optional<Ended> Take();
    // Whether the newest job is waiting or running.
    bool Busy() const;
    // The newest job, from its Start until the next Start, Stop or Cancel.
    std::shared_ptr<Job> Current() const;

private:
    void Drop();  // under the lock
    void Work(std::stop_token stop);

    std::function<void()> notify_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;  // a job is waiting
    std::condition_variable_any idle_;  // none runs
    std::uint64_t newest_ = 0;          // the newest Start's number, or past it once dropped
    std::shared_ptr<Job> current_;      // the newest job while it is the newest
    std::shared_ptr<Job> pending_;
    std::uint64_t pendingNumber_ = 0;
    std::shared_ptr<Job> running_;
    std::uint64_t endedNumber_ = 0;  // the job that ended last
    std::optional<Ended> ended_;
    std::jthread worker_;  // last: it starts once everything above is there
};

}  // namespace morvane
