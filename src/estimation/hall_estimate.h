#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "estimation/estimate.h"
#include "model/likelihood.h"
#include "model/setting_prior.h"

namespace morvane {

// Hall data: what a player at a real machine has. The BB history enters
// exactly through the chain of stretches (see EvaluateStretches: the data is
// taken to start just after a BB game, in the long-run law there). Counted
// small wins enter as a multinomial over the games without a BB, apart from
// the BB history: the small wins also steer the hidden mode, and that tie is
// what this leaves out.
struct CountedWins {
    std::uint32_t kinds = 0;  // bit k: small win k counted here
    std::int64_t count = 0;
};

struct HallData {
    std::int64_t games = 0;  // all games since the data's start, BB games included
    std::vector<HallBB> bbs;
    std::vector<CountedWins> counted;
};

enum class HallProblem {
    None,
    NoGames,          // games below 1
    BadBB,            // a BB with games below 1, a kind outside 0..2 or negative sets (index: the BB)
    BBsPastGames,     // the BBs' games add up to more than the games
    CountsOverlap,    // two counts name the same small win, or a count is negative (index: the count)
    CountsPastGames,  // more small wins counted than games without a BB
    NoSetting,        // no setting can produce the BB history
};

struct HallEstimate {
    std::array<double, kMaxSetting> bbLogLikelihood{};    // the BB history and the games after it
    std::array<double, kMaxSetting> winsLogLikelihood{};  // the counted small wins (up to a constant)
    SettingPosterior posterior;                           // both together, under the prior
    std::array<double, kMaxSetting> bbPosterior{};        // each alone, under the prior
    std::array<double, kMaxSetting> winsPosterior{};
    std::array<double, kMaxSetting> prior{};
    HallProblem problem = HallProblem::None;
    std::size_t problemIndex = 0;
};

// The data's first problem found without estimating (all but NoSetting);
// None when it can be estimated.
HallProblem CheckHallData(const HallData& data, std::size_t* index = nullptr);

// A set `cancel` cuts the estimate short; its result is then of no use.
HallEstimate EstimateSettingFromHallData(const HallData& data, const SettingPrior& prior = {},
                                         const std::atomic<bool>* cancel = nullptr);

}  // namespace morvane
