#pragma once
// The machine now, from what the player knows of it (MachineBelief): how
// likely each setting is and, at each, which mode the machine is in; the
// expected net of the next K games (as the history counts games: a BB in
// the K-th game counts with all its sets) and of playing until the next
// BB's sets are over; each per setting and mixed by the posterior.
//
// Exact: the law after the last game is followed forward, the later
// stretches included (RunLaw), and the expectations come by Wald's
// identity: every game's small win is drawn afresh, so the K games' net is
// K times a game's mean net plus, for every BB among them, its kind's mean
// sets.
#include <array>
#include <cstdint>

#include "analysis/machine_belief.h"

namespace morvane {

struct SettingNow {
    bool possible = false;               // the record can be played at this setting
    double posterior = 0;
    std::array<double, kModes> mode{};   // the hidden mode given this setting
    double nextGames = 0;                // expected net of the next K games
    double untilBB = 0;                  // ... of playing until the next BB's sets are over
    double untilBBGames = 0;             // the games that takes, the BB game once
};

struct MachineNow {
    std::int32_t gamesSinceBB = 0;
    std::int32_t horizon = 0;  // K
    std::array<SettingNow, kMaxSetting> bySetting;
    // Mixed by the posterior.
    std::array<double, kModes> mode{};
    double nextGames = 0, untilBB = 0, untilBBGames = 0;

    // P(setting and mode) given what was seen.
    double Joint(int setting, int mode) const {
        const SettingNow& n = bySetting[static_cast<std::size_t>(setting - 1)];
        return n.posterior * n.mode[static_cast<std::size_t>(mode)];
    }
};

MachineNow NowFigures(const MachineBelief& belief, std::int32_t horizon);

// From a state law `since` games into its stretch: the expected games to
// the next BB game (counted once), and the expected net of playing until
// its sets are over.
struct UntilBB {
    double games = 0, net = 0;
};
UntilBB UntilNextBB(const StateDynamics& d, const StateLaw& law, std::int32_t since);

// The expected net of the next `games` games, all later stretches included.
double ExpectedNetOfGames(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int64_t games);

}  // namespace morvane
