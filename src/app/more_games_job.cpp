#include "app/more_games_job.h"

#include <utility>

namespace morvane {

MoreGamesJob::MoreGamesJob() : worker_([this](std::stop_token stop) { Work(stop); }) {}

MoreGamesJob::~MoreGamesJob() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        cancel_ = true;
    }
    worker_.request_stop();
    worker_.join();
}

std::uint64_t MoreGamesJob::Submit(const MachineBelief& belief, const MoreGamesRequest& request) {
    std::lock_guard lock(mutex_);
    pending_ = Pending{belief, request};
    ++submitted_;
    finished_.reset();
    if (working_) cancel_ = true;
    wake_.notify_one();
    return submitted_;
}

void MoreGamesJob::Cancel() {
    std::lock_guard lock(mutex_);
    pending_.reset();
    ++submitted_;
    finished_.reset();
    if (working_) cancel_ = true;
}

std::optional<MoreGamesJob::Finished> MoreGamesJob::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, std::nullopt);
}

bool MoreGamesJob::Busy() const {
    std::lock_guard lock(mutex_);
    return pending_.has_value() || working_ != 0;
}

void MoreGamesJob::Work(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); })) return;
        Pending job = std::move(*pending_);
        pending_.reset();
        working_ = submitted_;
        cancel_ = closing_;
        done_ = 0;
        lock.unlock();
        MoreGames figures;
        const bool whole = ValueOfMoreGames(job.belief, job.request, figures, &cancel_, &done_);
        lock.lock();
        if (whole && !cancel_ && working_ == submitted_) finished_ = Finished{working_, std::move(figures)};
        working_ = 0;
    }
}

}  // namespace morvane
