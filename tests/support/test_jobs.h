#pragma once
// Jobs for testing what runs them: one that works until it is told to stop,
// one that holds its thread until it is let go, one that counts to a total.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "app/job.h"

namespace morvane::test {

// Counts a unit a millisecond until stopped; says so once Run has returned.
class EndlessJob : public Job {
public:
    bool Run() override {
        began = true;
        while (!StopRequested()) {
            DoneCounter().fetch_add(1, std::memory_order_relaxed);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        returned = true;
        return false;
    }
    std::atomic<bool> began{false}, returned{false};
};

// Holds its thread, stop or not, until the test opens it.
class GatedJob : public Job {
public:
    bool Run() override {
        began = true;
        while (!open) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return !StopRequested();
    }
    std::atomic<bool> began{false}, open{false};
};

// `total` units, then done.
class CountingJob : public Job {
public:
    explicit CountingJob(std::int64_t total) : total_(total) {}
    bool Run() override {
        for (std::int64_t i = 0; i < total_; ++i) {
            if (StopRequested()) return false;
            DoneCounter().fetch_add(1, std::memory_order_relaxed);
        }
        return true;
    }
    std::int64_t Total() const override { return total_; }

private:
    std::int64_t total_;
};

// Waits up to a minute for `what`.
template <class What>
bool WaitFor(What what) {
    for (int i = 0; i < 6000 && !what(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return what();
}

}  // namespace morvane::test
