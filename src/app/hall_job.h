#pragma once
// Hall data estimated off the caller's thread. HallEstimateJob is one
// estimate; HallJob runs them for a caller without an event loop: each
// Submit supersedes the data before it, an estimate of superseded data is
// cut short, and the caller collects the newest finished estimate when it
// asks. A window stays answering however many rows it holds.
#include <cstdint>
#include <optional>
#include <utility>

#include "app/job.h"
#include "app/job_thread.h"
#include "estimation/hall_estimate.h"
#include "estimation/machine_belief.h"

namespace morvane {

// The estimate of one set of data, and the machine's hidden state now when
// the estimate found no problem. It does not count its units.
class HallEstimateJob : public Job {
public:
    HallEstimateJob(HallData data, const SettingPrior& prior) : data_(std::move(data)), prior_(prior) {}
    bool Run() override;

    const HallData& Data() const { return data_; }
    const HallEstimate& Estimate() const { return estimate_; }
    const std::optional<MachineBelief>& Belief() const { return belief_; }

private:
    HallData data_;
    SettingPrior prior_;
    HallEstimate estimate_;
    std::optional<MachineBelief> belief_;
};

class HallJob {
public:
    // Estimates `data` next; what was submitted before and not finished is
    // dropped. Returns the submission's number, counting from 1.
    std::uint64_t Submit(HallData data, SettingPrior prior = {});
    // Drops whatever is submitted and not finished, as an edit that makes
    // the data unreadable does.
    void Cancel() { thread_.Cancel(); }

    struct Finished {
        std::uint64_t submission = 0;
        HallEstimate estimate;
        // The machine's hidden state now as well, when the estimate found no problem.
        std::optional<MachineBelief> belief;
    };
    // The estimate of the newest submission once it is finished, once.
    std::optional<Finished> Take();
    // Whether the newest submission is still being estimated.
    bool Busy() const { return thread_.Busy(); }

private:
    JobThread thread_;
};

}  // namespace morvane
