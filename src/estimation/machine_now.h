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
// sets. Once the BB chances have settled on their long-run rates, the
// long-run net per game carries the rest of the K games.
//
// In yen at a hall's money, a player short of medals buys them: the
// expected purchases are exact from the law of the state and the medals
// held (estimation/purchases_ahead.h), each setting's beside its medals;
// with all medals held there are none and nothing more is worked out.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "estimation/machine_belief.h"
#include "machine/medals.h"

namespace morvane {

struct SettingNow {
    bool possible = false;  // the record can be played at this setting
    double posterior = 0;
    std::array<double, kModes> mode{};  // the hidden mode given this setting
    double nextGames = 0;               // expected net of the next K games
    double untilBB = 0;                 // ... of playing until the next BB's sets are over
    double untilBBGames = 0;            // the games that takes, the BB game once
    // At the money: the expected purchases, and the real games played (a
    // BB's sets six each besides its game) for the yen an hour.
    double nextPurchases = 0, untilBBPurchases = 0;
    double nextRealGames = 0, untilBBRealGames = 0;
};

// The money the yen are worked out at.
struct NowMoney {
    HallMoney money;
    double gamesPerHour = kDefaultGamesPerHour;
};

struct MachineNow {
    std::int32_t gamesSinceBB = 0;
    std::int32_t horizon = 0;  // K
    std::array<SettingNow, kMaxSetting> bySetting;
    // Mixed by the posterior.
    std::array<double, kModes> mode{};
    double nextGames = 0, untilBB = 0, untilBBGames = 0;
    double nextPurchases = 0, untilBBPurchases = 0, nextRealGames = 0, untilBBRealGames = 0;
    NowMoney money;

    // Expected yen at the money, and per hour of real games.
    double NextYen() const { return money.money.Yen(nextGames, nextPurchases); }
    double UntilBBYen() const { return money.money.Yen(untilBB, untilBBPurchases); }
    double NextYenPerHour() const { return PerHour(NextYen(), nextRealGames); }
    double UntilBBYenPerHour() const { return PerHour(UntilBBYen(), untilBBRealGames); }
    double NextYen(int setting) const {
        const SettingNow& n = bySetting[static_cast<std::size_t>(setting - 1)];
        return money.money.Yen(n.nextGames, n.nextPurchases);
    }
    double UntilBBYen(int setting) const {
        const SettingNow& n = bySetting[static_cast<std::size_t>(setting - 1)];
        return money.money.Yen(n.untilBB, n.untilBBPurchases);
    }
    double PerHour(double yen, double realGames) const {
        return realGames > 0 ? yen * money.gamesPerHour / realGames : 0.0;
    }

    // P(setting and mode) given what was seen.
    double Joint(int setting, int mode) const {
        const SettingNow& n = bySetting[static_cast<std::size_t>(setting - 1)];
        return n.posterior * n.mode[static_cast<std::size_t>(mode)];
    }
};

// The settings are worked out side by side on `threads` (0: every core);
// the figures are the same on any number.
MachineNow NowFigures(const MachineBelief& belief, std::int32_t horizon, const NowMoney& money = {}, int threads = 0);
// The same, given up (empty) once `stop` is set; `done` counts the settings
// worked out.
std::optional<MachineNow> NowFigures(const MachineBelief& belief, std::int32_t horizon, const std::atomic<bool>& stop,
                                     std::atomic<std::int64_t>* done = nullptr, const NowMoney& money = {},
                                     int threads = 0);

// From a state law `since` games into its stretch: the expected games to
// the next BB game (counted once), and the expected net of playing until
// its sets are over.
struct UntilBB {
    double games = 0, net = 0;
    std::array<double, kBBKinds> kind{};  // the chance the BB is blue, red
};
UntilBB UntilNextBB(const StateDynamics& d, const StateLaw& law, std::int32_t since);

// The expected net of the next `games` games, all later stretches included.
// Game by game until the BB chances settle (a stretch apart they agree to
// 1e-16), then at the net per game they settled on: any number of games
// costs some fifteen thousand games. With `stop` set it ends early with a
// figure to throw away.
// `bbs`, when given, gets the expected BBs of each kind among them.
double ExpectedNetOfGames(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int64_t games,
                          const std::atomic<bool>* stop = nullptr, std::array<double, kBBKinds>* bbs = nullptr);

// Real games: the history's games, and six for each of a BB's sets, its
// continued sets and its last, as the value table counts them.
double RealGames(const GameModel& g, double games, const std::array<double, kBBKinds>& bbs);

}  // namespace morvane
