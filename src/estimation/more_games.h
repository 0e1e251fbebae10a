#pragma once
// The value of more games of watching: the chance that after K more games
// the posterior of settings 5 and 6 together, or of the most probable
// setting, reaches a threshold the user sets. By simulation from the
// belief: each session draws a setting from the posterior and a hidden
// state from its law, plays K games on, and follows them with the exact
// filter at every setting the posterior allows, from the states the belief
// holds; the new posterior is the old one times the new games' likelihood.
#include <array>
#include <atomic>
#include <cstdint>

#include "estimation/machine_belief.h"
#include "estimation/share.h"

namespace morvane {

struct MoreGamesRequest {
    std::int32_t games = 1000;   // K
    double highThreshold = 0.8;  // for settings 5 and 6 together
    double topThreshold = 0.8;   // for the most probable setting
    std::int32_t sessions = 2000;
    std::uint32_t seed = 0;
    int threads = 0;
};

struct MoreGames {
    MoreGamesRequest request;
    double highNow = 0, topNow = 0;                 // the posterior of 5 and 6, and of the top setting, now
    ShareWithError highPasses;                      // after K games: P(5 + 6) at or above its threshold
    ShareWithError topPasses;                       // the top setting's at or above its threshold
    ShareWithError topRight;                        // the top setting then is the true one
    std::array<std::int64_t, 10> highAfter{};       // P(5 + 6) after K games in bins of 10 %
    double meanHighAfter = 0, meanHighAfterSe = 0;  // its mean: what it is now, whatever K
};

bool ValueOfMoreGames(const MachineBelief& belief, const MoreGamesRequest& request, MoreGames& out,
                      const std::atomic<bool>* stop = nullptr, std::atomic<std::int64_t>* done = nullptr);

}  // namespace morvane
