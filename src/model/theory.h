#pragma once
// Exact expectations of the machine at one setting, from its tables alone,
// on the model's hidden chain (model/dynamics.h).
//
// Between two BB games the machine is in (mode, games since the BB, precursor
// count); the count is carried through ordinary modes and across BBs, and the
// ceiling at game 1500 ends every stretch by game 1532. A stretch is followed
// game by game from the BB that starts it to the BB that ends it. BB events
// (kind, precursor count) form a small Markov chain whose stationary law and
// stretch rewards give the long-run figures by renewal-reward. A run of N
// games follows the whole machine game by game without the ceiling and
// corrects, at each game, the mass whose last BB lies 1500 games back.
#include <array>
#include <cstdint>
#include <memory>

#include "model/dynamics.h"

namespace morvane {

struct LongRunFigures {
    double payoutPercent = 0;  // medals out per 100 medals bet, as the summary reports it
    double medalsPerGame = 0;  // net
    double gamesPerBB = 0;     // games per BB game (first hit)
    double bbPerGame = 0;
    double setsPerBB = 0;                              // continued sets per BB game
    std::array<double, kBBKinds> kindShare{};          // blue, red among BB games
    std::array<double, kKModes> kmodeShare{};          // continuation modes among BB games
    std::array<double, kModes> modeShare{};            // games by recorded mode; a BB game by the mode after it
    std::array<double, kKoyakuKinds> koyakuPerGame{};  // recorded small wins per game (BB games record none)
    // Asymptotic variance of the games between first hits, correlations
    // between successive stretches included: Var(hits in N games) ~ N * v / mean^3.
    double intervalVariance = 0;
    double BBCountDispersion() const { return intervalVariance / (gamesPerBB * gamesPerBB); }
};

struct RunExpectation {
    double balance = 0;  // final medal balance
    double bbGames = 0;  // first hits
    double sets = 0;     // continued sets
    double bbGamesVariance = 0;
};

class SettingTheory {
public:
    // Throws std::out_of_range for a setting outside 1..6.
    explicit SettingTheory(int setting);
    ~SettingTheory();
    SettingTheory(SettingTheory&&) noexcept;
    SettingTheory& operator=(SettingTheory&&) noexcept;

    int Setting() const { return d_->Setting(); }
    const GameModel& Model() const { return d_->Model(); }
    const LongRunFigures& LongRun() const { return longRun_; }

    // A run of `games` games right after Reset with precursor count 0. Exact
    // game by game until the expectations settle on the long-run rates,
    // which then carry the rest; any number of games costs the same. The
    // variance of the first hits comes along: the machine is followed a
    // second time weighted by the hits so far.
    // With settle false every game is followed, however many there are.
    RunExpectation ExpectedRun(std::int64_t games, bool settle = true) const;

private:
    struct Stretches;  // per BB event: the stretch it starts
    const StateDynamics* d_;
    LongRunFigures longRun_;
    std::unique_ptr<Stretches> stretches_;
};

}  // namespace morvane
