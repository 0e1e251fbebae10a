#pragma once
// Hall data estimated off the caller's thread: each Submit supersedes the
// data before it, an estimate of superseded data is cut short, and the
// caller collects the newest finished estimate when it asks. A window
// stays answering however many rows it holds.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "analysis/hall_estimate.h"
#include "analysis/machine_belief.h"

namespace morvane {

class HallJob {
public:
    HallJob();
    // Cuts any estimate short and waits for the worker.
    ~HallJob();
    HallJob(const HallJob&) = delete;
    HallJob& operator=(const HallJob&) = delete;

    // Estimates `data` next; what was submitted before and not finished is
    // dropped. Returns the submission's number, counting from 1.
    std::uint64_t Submit(HallData data, SettingPrior prior = {});
    // Drops whatever is submitted and not finished, as an edit that makes
    // the data unreadable does.
    void Cancel();

    struct Finished {
        std::uint64_t submission = 0;
        HallEstimate estimate;
        // The machine's hidden state now as well, when the estimate found no problem.
        std::optional<MachineBelief> belief;
    };
    // The estimate of the newest submission once it is finished, once.
    std::optional<Finished> Take();
    // Whether the newest submission is still being estimated.
    bool Busy() const;

private:
    void Work(std::stop_token stop);

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<HallData> pending_;
    SettingPrior pendingPrior_;
    std::uint64_t submitted_ = 0;   // the newest submission
    std::uint64_t working_ = 0;     // the one the worker is on, 0 none
    std::optional<Finished> finished_;
    std::atomic<bool> cancel_{false};  // the worker's estimate is superseded
    bool closing_ = false;
    std::jthread worker_;
};

}  // namespace morvane
