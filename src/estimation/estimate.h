#pragma once
// Which setting a run was played at, judged from what a player sees: the
// number of games, the small wins of the games without a BB, and the number
// of BB games (first hits).
#include <array>
#include <cstdint>
#include <vector>

#include "model/theory.h"
#include "run/history.h"
#include "run/run_records.h"

namespace morvane {

// Small wins 0..7 (Cherry2 .. Chance) one by one; Miss and Blank together.
inline constexpr int kObservedWins = 9;
inline constexpr int kOtherWins = 8;

struct Observations {
    std::int64_t games = 0;
    std::int64_t bbGames = 0;
    std::array<std::int64_t, kObservedWins> smallWins{};  // over the games without a BB

    friend bool operator==(const Observations&, const Observations&) = default;
};

// A value outside 0..7 in a game without a BB counts as Miss/Blank, so the
// small wins always add up to the games without a BB.
Observations ObserveHistory(const PlayHistory& history);
// The same from a run's records, by their tallies alone.
Observations ObserveRecords(const RunRecords& records);

// Log-probability of `hits` first hits when their count has this mean and
// variance: a negative binomial when the variance exceeds the mean, a
// binomial over a whole number of trials when it falls short of it (a count
// beyond its trials falls back to the Poisson), else a Poisson.
double CountLogProbability(std::int64_t hits, double mean, double variance);

struct SettingPosterior {
    std::array<double, kMaxSetting> logLikelihood{};  // settings 1..6 at 0..5
    std::array<double, kMaxSetting> probability{};    // uniform prior, unless the caller says otherwise
};

// theories holds settings 1..6 in order. The small wins enter as a
// multinomial with the tables' exact chances; the first hits as the count
// above, with the exact mean and variance of the first hits of a run of that
// length from Reset. The two parts are taken as independent.
SettingPosterior EstimateSetting(const std::vector<SettingTheory>& theories, const Observations& seen);
// The same with the six expectations of a run of seen.games games already at
// hand (settings 1..6 in order), for judging many runs of one length.
SettingPosterior EstimateSetting(const std::vector<SettingTheory>& theories, const Observations& seen,
                                 const std::array<RunExpectation, kMaxSetting>& runs);

// The six settings' theories, in order.
std::vector<SettingTheory> AllSettingTheories();

}  // namespace morvane
