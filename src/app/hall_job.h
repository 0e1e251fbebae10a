#pragma once
// Hall data estimated off the caller's thread: each Submit supersedes the
// data before it, an estimate of superseded data is cut short, and the
// caller collects the newest finished estimate when it asks. A window
// stays answering however many rows it holds.
#include <cstdint>
#include <optional>

#include "analysis/hall_estimate.h"
#include "analysis/machine_belief.h"
#include "app/newest_only.h"

namespace morvane {

class HallJob {
public:
    HallJob();

    // Estimates `data` next; what was submitted before and not finished is
    // dropped. Returns the submission's number, counting from 1.
    std::uint64_t Submit(HallData data, SettingPrior prior = {}) { return job_.Submit({std::move(data), prior}); }
    // Drops whatever is submitted and not finished, as an edit that makes
    // the data unreadable does.
    void Cancel() { job_.Cancel(); }

    struct Finished {
        std::uint64_t submission = 0;
        HallEstimate estimate;
        // The machine's hidden state now as well, when the estimate found no problem.
        std::optional<MachineBelief> belief;
    };
    // The estimate of the newest submission once it is finished, once.
    std::optional<Finished> Take();
    // Whether the newest submission is still being estimated.
    bool Busy() const { return job_.Busy(); }

private:
    struct Input {
        HallData data;
        SettingPrior prior;
    };
    struct Output {
        HallEstimate estimate;
        std::optional<MachineBelief> belief;
    };
    NewestOnly<Input, Output> job_;
};

}  // namespace morvane
