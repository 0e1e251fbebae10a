#include "app/job_thread.h"

#include <utility>

namespace morvane {

JobThread::~JobThread() {
    {
        std::lock_guard lock(mutex_);
        Drop();
    }
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

void JobThread::Drop() {
    ++newest_;
    current_.reset();
    pending_.reset();
    ended_.reset();
    if (running_) running_->Stop();
}

std::uint64_t JobThread::Start(std::shared_ptr<Job> job) {
    std::lock_guard lock(mutex_);
    Drop();
    current_ = pending_ = std::move(job);
    pendingNumber_ = newest_;
    if (!worker_.joinable()) worker_ = std::jthread([this](std::stop_token stop) { Work(stop); });
    wake_.notify_one();
    return newest_;
}

void JobThread::Stop() {
    std::unique_lock lock(mutex_);
    Drop();
    idle_.wait(lock, [this] { return !running_; });
}

void JobThread::Cancel() {
    std::lock_guard lock(mutex_);
    Drop();
}

std::optional<JobThread::Ended> JobThread::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(ended_, std::nullopt);
}

bool JobThread::Busy() const {
    std::lock_guard lock(mutex_);
    return current_ && endedNumber_ != newest_;
}

std::shared_ptr<Job> JobThread::Current() const {
    std::lock_guard lock(mutex_);
    return current_;
}

void JobThread::Work(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!wake_.wait(lock, stop, [this] { return pending_ != nullptr; })) return;
        const std::uint64_t number = pendingNumber_;
        running_ = std::move(pending_);
        const std::shared_ptr<Job> job = running_;
        lock.unlock();
        bool completed = false;
        std::exception_ptr error;
        try {
            completed = job->Run();
        } catch (...) {
            // Not past the thread: a throw there would end the program.
            error = std::current_exception();
        }
        lock.lock();
        endedNumber_ = number;
        if (number == newest_) {
            ended_ = Ended{number, job, completed, error};
            // Told while the job still counts as running, so that a Stop
            // returns only after the caller was told.
            if (notify_) {
                lock.unlock();
                notify_();
                lock.lock();
            }
        }
        running_.reset();
        idle_.notify_all();
    }
}

}  // namespace morvane
