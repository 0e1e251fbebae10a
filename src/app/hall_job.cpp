#include "app/hall_job.h"

#include <utility>

namespace morvane {

bool HallEstimateJob::Run() {
    estimate_ = EstimateSettingFromHallData(data_, prior_, &StopFlag());
    if (StopRequested()) return false;
    if (estimate_.problem == HallProblem::None) belief_ = BeliefFromHallData(data_, estimate_, prior_).belief;
    return true;
}

std::uint64_t HallJob::Submit(HallData data, SettingPrior prior) {
    return thread_.Start(std::make_shared<HallEstimateJob>(std::move(data), prior));
}

std::optional<HallJob::Finished> HallJob::Take() {
    const auto ended = thread_.Take();
    if (!ended || !ended->completed) return std::nullopt;
    auto& job = static_cast<HallEstimateJob&>(*ended->job);
    return Finished{ended->number, job.Estimate(), job.Belief()};
}

}  // namespace morvane
