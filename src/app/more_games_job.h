#pragma once
// The value of more games found off the caller's thread, as a window asks
// for it while the player types: each Submit supersedes the one before,
// whose simulation is cut short, and the caller collects the newest
// finished figures when it looks. The window never waits on the sessions.
#include <cstdint>
#include <optional>

#include "analysis/more_games.h"
#include "app/newest_only.h"

namespace morvane {

class MoreGamesJob {
public:
    MoreGamesJob();

    // Simulates `request` from `belief` next; returns the submission's
    // number, counting from 1.
    std::uint64_t Submit(const MachineBelief& belief, const MoreGamesRequest& request) {
        return job_.Submit({belief, request});
    }
    // Drops whatever is submitted and not finished.
    void Cancel() { job_.Cancel(); }

    struct Finished {
        std::uint64_t submission = 0;
        MoreGames figures;
    };
    // The newest submission's figures once they are found, once.
    std::optional<Finished> Take();
    bool Busy() const { return job_.Busy(); }
    // Sessions of the simulation under way played so far.
    std::int64_t Done() const { return job_.Done(); }

private:
    struct Input {
        MachineBelief belief;
        MoreGamesRequest request;
    };
    NewestOnly<Input, MoreGames> job_;
};

}  // namespace morvane
