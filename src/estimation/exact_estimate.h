#pragma once
// The exact posterior of a run's visible record, from the forward recursion
// at each setting and the hall's prior.
#include <array>
#include <optional>
#include <span>
#include <string>

#include "estimation/estimate.h"
#include "machine/game_record.h"
#include "model/setting_prior.h"

namespace morvane {

struct ExactEstimate {
    SettingPosterior posterior;  // under the prior
    std::array<double, kMaxSetting> prior{};
    // Set when no setting can produce the record; the posterior is then empty.
    std::optional<std::string> problem;
    // The game (0-based) the problem is found at, and whether its codes are
    // ones the machine never records (else the games before make it unplayable).
    std::size_t problemGame = 0;
    bool unrecordable = false;
};

// The exact posterior of a run's visible record (1-based game numbers in the
// message).
ExactEstimate EstimateSettingExactly(std::span<const GameRecord> games, const SettingPrior& prior = {});

// Its two ends, for a record followed elsewhere (in pieces from a file):
// game (0-based) holds codes the machine never records; or the six
// log-likelihoods of `games` games, the last game any setting could still
// play being lastPossible.
ExactEstimate UnrecordableGameEstimate(const SettingPrior& prior, std::size_t game, const GameRecord& g);
ExactEstimate EstimateFromLikelihoods(const SettingPrior& prior, const std::array<double, kMaxSetting>& logLikelihood,
                                      std::size_t games, std::size_t lastPossible);

}  // namespace morvane
