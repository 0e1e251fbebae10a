#include "app/hall_job.h"

#include <utility>

namespace morvane {

HallJob::HallJob() : worker_([this](std::stop_token stop) { Work(stop); }) {}

HallJob::~HallJob() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        cancel_ = true;
    }
    worker_.request_stop();
    worker_.join();
}

std::uint64_t HallJob::Submit(HallData data, SettingPrior prior) {
    std::lock_guard lock(mutex_);
    pending_ = std::move(data);
    pendingPrior_ = prior;
    ++submitted_;
    finished_.reset();
    if (working_) cancel_ = true;
    wake_.notify_one();
    return submitted_;
}

void HallJob::Cancel() {
    std::lock_guard lock(mutex_);
    pending_.reset();
    ++submitted_;
    finished_.reset();
    if (working_) cancel_ = true;
}

std::optional<HallJob::Finished> HallJob::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, std::nullopt);
}

bool HallJob::Busy() const {
    std::lock_guard lock(mutex_);
    return pending_.has_value() || working_ != 0;
}

void HallJob::Work(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); })) return;
        HallData data = std::move(*pending_);
        const SettingPrior prior = pendingPrior_;
        pending_.reset();
        working_ = submitted_;
        cancel_ = closing_;
        lock.unlock();
        HallEstimate e = EstimateSettingFromHallData(data, prior, &cancel_);
        std::optional<MachineBelief> belief;
        if (!cancel_ && e.problem == HallProblem::None) belief = BeliefFromHallData(data, e, prior).belief;
        lock.lock();
        if (!cancel_ && working_ == submitted_) finished_ = Finished{working_, std::move(e), std::move(belief)};
        working_ = 0;
    }
}

}  // namespace morvane
