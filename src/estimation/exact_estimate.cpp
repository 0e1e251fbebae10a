#include "estimation/exact_estimate.h"

#include <algorithm>
#include <cstdio>

#include "model/likelihood.h"

namespace morvane {

ExactEstimate UnrecordableGameEstimate(const SettingPrior& prior, std::size_t game, const GameRecord& g) {
    ExactEstimate out;
    out.prior = prior.Probabilities();
    char text[160];
    std::snprintf(text, sizeof text,
                  "game %zu holds codes the machine never records (small win %d, BB kind %d, sets %d)", game + 1,
                  g.koyaku, g.bbKind, g.bbSets);
    out.problem = text;
    out.problemGame = game;
    out.unrecordable = true;
    return out;
}

ExactEstimate EstimateFromLikelihoods(const SettingPrior& prior, const std::array<double, kMaxSetting>& logLikelihood,
                                      std::size_t games, std::size_t lastPossible) {
    ExactEstimate out;
    out.prior = prior.Probabilities();
    out.posterior.logLikelihood = logLikelihood;
    const auto p = ApplyPrior(prior, out.posterior.logLikelihood);
    if (!p && UniformPosterior(out.posterior.logLikelihood)) {
        out.problem = "no setting the prior allows can play this record";
        out.problemGame = games == 0 ? 0 : games - 1;
        return out;
    }
    if (!p) {
        char text[160];
        std::snprintf(text, sizeof text, "no setting can play this record: game %zu cannot follow the games before it",
                      lastPossible + 1);
        out.problem = text;
        out.problemGame = lastPossible;
        return out;
    }
    out.posterior.probability = *p;
    return out;
}

ExactEstimate EstimateSettingExactly(std::span<const GameRecord> games, const SettingPrior& prior) {
    if (const auto bad = FirstUnrecordableGame(games)) return UnrecordableGameEstimate(prior, *bad, games[*bad]);
    std::array<double, kMaxSetting> logLikelihood{};
    std::size_t lastPossible = 0;
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        const RecordLikelihood r = f.Evaluate(games);
        logLikelihood[static_cast<std::size_t>(f.Setting() - 1)] = r.logLikelihood;
        lastPossible = std::max(lastPossible, r.impossibleAt.value_or(games.size()));
    }
    return EstimateFromLikelihoods(prior, logLikelihood, games.size(), lastPossible);
}

}  // namespace morvane
