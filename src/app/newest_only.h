#pragma once
// Work done off the caller's thread for input the user is still changing:
// each Submit supersedes the input before it, work on superseded input is
// cut short, and the caller collects the newest finished output when it
// looks. A window never waits on the work.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

namespace morvane {

template <class Input, class Output>
class NewestOnly {
public:
    // The work: output for the input, or nullopt when `cancel` cut it
    // short. `done` counts whatever units of it are done.
    using Compute = std::function<std::optional<Output>(const Input&, const std::atomic<bool>& cancel,
                                                        std::atomic<std::int64_t>& done)>;

    explicit NewestOnly(Compute compute)
        : compute_(std::move(compute)), worker_([this](std::stop_token stop) { Work(stop); }) {}
    // Cuts any work short and waits for the worker.
    ~NewestOnly() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            cancel_ = true;
        }
        worker_.request_stop();
        worker_.join();
    }
    NewestOnly(const NewestOnly&) = delete;
    NewestOnly& operator=(const NewestOnly&) = delete;

    // Works on `input` next; returns the submission's number, counting from 1.
    std::uint64_t Submit(Input input) {
        std::lock_guard lock(mutex_);
        pending_ = std::move(input);
        ++submitted_;
        finished_.reset();
        if (working_) cancel_ = true;
        wake_.notify_one();
        return submitted_;
    }
    // Drops whatever is submitted and not finished.
    void Cancel() {
        std::lock_guard lock(mutex_);
        pending_.reset();
        ++submitted_;
        finished_.reset();
        if (working_) cancel_ = true;
    }

    struct Finished {
        std::uint64_t submission = 0;
        Output output;
    };
    // The newest submission's output once it is finished, once.
    std::optional<Finished> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(finished_, std::nullopt);
    }
    // Whether the newest submission is still being worked on.
    bool Busy() const {
        std::lock_guard lock(mutex_);
        return pending_.has_value() || working_ != 0;
    }
    // Units of the work under way done so far.
    std::int64_t Done() const { return done_.load(std::memory_order_relaxed); }

private:
    void Work(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); })) return;
            Input input = std::move(*pending_);
            pending_.reset();
            working_ = submitted_;
            cancel_ = closing_;
            done_ = 0;
            lock.unlock();
            std::optional<Output> output = compute_(input, cancel_, done_);
            lock.lock();
            if (output && !cancel_ && working_ == submitted_) finished_ = Finished{working_, std::move(*output)};
            working_ = 0;
        }
    }

    Compute compute_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::optional<Input> pending_;
    std::uint64_t submitted_ = 0;  // the newest submission
    std::uint64_t working_ = 0;    // the one the worker is on, 0 none
    std::optional<Finished> finished_;
    std::atomic<bool> cancel_{false};  // the worker's input is superseded
    std::atomic<std::int64_t> done_{0};
    bool closing_ = false;
    std::jthread worker_;  // last: it starts once everything above is there
};

}  // namespace morvane
