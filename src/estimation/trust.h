#pragma once
// How far to trust the setting estimate of a record of this length under
// this prior: sessions whose settings are drawn from the prior, each played
// on a fresh machine and judged by the exact posterior under the same
// prior. How often the most probable setting is the true one, and whether
// the probabilities shown come true as often as they say: every shown
// probability (six per session) falls in a bin of 10 %, and the bin's share
// of true settings is held against its mean shown probability.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "estimation/hall_estimate.h"
#include "model/setting_prior.h"

namespace morvane {

struct TrustRequest {
    std::int32_t games = 8000;  // the record's length
    SettingPrior prior;
    std::int32_t sessions = 10000;
    std::uint32_t seed = 0;
    int threads = 0;  // 0: all cores
};

struct CalibrationBin {
    double from = 0, to = 0;  // shown probabilities in [from, to) (the last bin takes 1)
    std::int64_t shown = 0;   // how many fell in it
    double meanShown = 0;
    std::int64_t truths = 0;  // of those, how many were the true setting
    double trueShare = 0;     // and their share
    double se = 0;            // of that share, binomial (a session's six taken as independent)
};

struct Trust {
    TrustRequest request;
    std::int64_t sessions = 0;
    std::int64_t right = 0;               // sessions whose most probable setting is the true one
    double topRight = 0, topRightSe = 0;  // and their share
    // The same by the true setting, and how many sessions had it.
    std::array<double, kMaxSetting> topRightBy{};
    std::array<std::int64_t, kMaxSetting> sessionsBy{};
    std::vector<CalibrationBin> bins;  // ten
    double meanLogTrue = 0;            // mean natural log of the probability shown for the true setting
};

// Returns false (and leaves out untouched) when stopped.
bool TrustOfEstimate(const TrustRequest& request, Trust& out, const std::atomic<bool>* stop = nullptr,
                     std::atomic<std::int64_t>* done = nullptr);

// The same for hall data of this shape: the data starts just after a BB
// game, in the long-run law there, and runs `games` games (request.games);
// what is seen of each BB (its colour, its sets) and the small wins counted
// are as in the player's data. Each session is judged by the hall estimate
// under the prior, as the player's own data is.
struct HallTrustShape {
    bool kindsSeen = true;               // the BBs' colours are noted
    bool setsSeen = true;                // their continued sets are noted
    std::vector<std::uint32_t> counted;  // the kinds of each count (CountedWins::kinds)
};
// The shape of the player's data: colours and sets are taken as noted when
// any BB has them (or when there is no BB).
HallTrustShape ShapeOf(const HallData& data);

bool TrustOfHallEstimate(const TrustRequest& request, const HallTrustShape& shape, Trust& out,
                         const std::atomic<bool>* stop = nullptr, std::atomic<std::int64_t>* done = nullptr);

}  // namespace morvane
