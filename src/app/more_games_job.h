#pragma once
// The value of more games found off the caller's thread, as a window asks
// for it while the player types: each Submit supersedes the one before,
// whose simulation is cut short, and the caller collects the newest
// finished figures when it looks. The window never waits on the sessions.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "analysis/more_games.h"

namespace morvane {

class MoreGamesJob {
public:
    MoreGamesJob();
    // Cuts any simulation short and waits for the worker.
    ~MoreGamesJob();
    MoreGamesJob(const MoreGamesJob&) = delete;
    MoreGamesJob& operator=(const MoreGamesJob&) = delete;

    // Simulates `request` from `belief` next; returns the submission's
    // number, counting from 1.
    std::uint64_t Submit(const MachineBelief& belief, const MoreGamesRequest& request);
    // Drops whatever is submitted and not finished.
    void Cancel();

    struct Finished {
        std::uint64_t submission = 0;
        MoreGames figures;
    };
    // The newest submission's figures once they are found, once.
    std::optional<Finished> Take();
    bool Busy() const;
    // Sessions of the simulation under way played so far.
    std::int64_t Done() const { return done_.load(std::memory_order_relaxed); }

private:
    void Work(std::stop_token stop);

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    struct Pending {
        MachineBelief belief;
        MoreGamesRequest request;
    };
    std::optional<Pending> pending_;
    std::uint64_t submitted_ = 0;
    std::uint64_t working_ = 0;  // the submission the worker is on, 0 none
    std::optional<Finished> finished_;
    std::atomic<bool> cancel_{false};
    std::atomic<std::int64_t> done_{0};
    bool closing_ = false;
    std::jthread worker_;
};

}  // namespace morvane
