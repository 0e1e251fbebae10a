#include "estimation/exact_estimate.h"

#include <algorithm>
#include <cstdio>

#include "model/likelihood.h"

namespace morvane {

ExactEstimate EstimateSettingExactly(std::span<const GameRecord> games, const SettingPrior& prior) {
    ExactEstimate out;
    out.prior = prior.Probabilities();
    if (const auto bad = FirstUnrecordableGame(games)) {
        const GameRecord& g = games[*bad];
        char text[160];
        std::snprintf(text, sizeof text,
                      "game %zu holds codes the machine never records (small win %d, BB kind %d, sets %d)", *bad + 1,
                      g.koyaku, g.bbKind, g.bbSets);
        out.problem = text;
        out.problemGame = *bad;
        out.unrecordable = true;
        return out;
    }
    std::size_t lastPossible = 0;
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        const RecordLikelihood r = f.Evaluate(games);
        out.posterior.logLikelihood[static_cast<std::size_t>(f.Setting() - 1)] = r.logLikelihood;
        lastPossible = std::max(lastPossible, r.impossibleAt.value_or(games.size()));
    }
    const auto p = ApplyPrior(prior, out.posterior.logLikelihood);
    if (!p && UniformPosterior(out.posterior.logLikelihood)) {
        out.problem = "no setting the prior allows can play this record";
        out.problemGame = games.empty() ? 0 : games.size() - 1;
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

}  // namespace morvane
