#include "app/hall_job.h"

#include <utility>

namespace morvane {

HallJob::HallJob()
    : job_([](const Input& in, const std::atomic<bool>& cancel, std::atomic<std::int64_t>&) -> std::optional<Output> {
          Output out{EstimateSettingFromHallData(in.data, in.prior, &cancel), std::nullopt};
          if (cancel) return std::nullopt;
          if (out.estimate.problem == HallProblem::None)
              out.belief = BeliefFromHallData(in.data, out.estimate, in.prior).belief;
          return out;
      }) {}

std::optional<HallJob::Finished> HallJob::Take() {
    auto done = job_.Take();
    if (!done) return std::nullopt;
    return Finished{done->submission, std::move(done->output.estimate), std::move(done->output.belief)};
}

}  // namespace morvane
