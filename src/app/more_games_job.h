#pragma once
// The value of more games found off the caller's thread, as a window asks
// for it while the player types. MoreGamesSimulation is one simulation;
// MoreGamesJob runs them for a caller without an event loop: each Submit
// supersedes the one before, whose simulation is cut short, and the caller
// collects the newest finished figures when it looks.
#include <cstdint>
#include <optional>

#include "app/job.h"
#include "app/job_thread.h"
#include "estimation/more_games.h"

namespace morvane {

// Its units are the request's sessions.
class MoreGamesSimulation : public Job {
public:
    MoreGamesSimulation(const MachineBelief& belief, const MoreGamesRequest& request)
        : belief_(belief), request_(request) {}
    bool Run() override;
    std::int64_t Total() const override { return request_.sessions; }

    const MoreGamesRequest& Request() const { return request_; }
    // Once Run has returned true.
    const MoreGames& Figures() const { return figures_; }

private:
    MachineBelief belief_;
    MoreGamesRequest request_;
    MoreGames figures_;
};

class MoreGamesJob {
public:
    // Simulates `request` from `belief` next; returns the submission's
    // number, counting from 1.
    std::uint64_t Submit(const MachineBelief& belief, const MoreGamesRequest& request) {
        return thread_.Start(std::make_shared<MoreGamesSimulation>(belief, request));
    }
    // Drops whatever is submitted and not finished.
    void Cancel() { thread_.Cancel(); }

    struct Finished {
        std::uint64_t submission = 0;
        MoreGames figures;
    };
    // The newest submission's figures once they are found, once.
    std::optional<Finished> Take();
    bool Busy() const { return thread_.Busy(); }
    // Sessions of the simulation under way played so far.
    std::int64_t Done() const;

private:
    JobThread thread_;
};

}  // namespace morvane
