#include "estimation/estimate.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "model/setting_prior.h"

namespace morvane {

Observations ObserveHistory(const PlayHistory& history) {
    Observations seen;
    const std::size_t n = history.size();
    seen.games = static_cast<std::int64_t>(n);
    for (const GameRecord& g : history.records()) {
        if (g.bbKind != 0) {
            ++seen.bbGames;
            continue;
        }
        const std::int32_t k = g.koyaku;
        ++seen.smallWins[k >= 0 && k < kOtherWins ? k : kOtherWins];
    }
    return seen;
}

Observations ObserveRecords(const RunRecords& records) {
    const RunTallies& t = records.Tallies();
    Observations seen;
    seen.games = t.games;
    seen.bbGames = t.bbGames;
    for (std::size_t k = 0; k < t.smallWins.size(); ++k)
        seen.smallWins[std::min<std::size_t>(k, kOtherWins)] += t.smallWins[k];
    return seen;
}

double CountLogProbability(std::int64_t hits, double mean, double variance) {
    if (hits < 0) return -std::numeric_limits<double>::infinity();
    if (mean <= 0) return hits == 0 ? 0.0 : -std::numeric_limits<double>::infinity();
    const double h = static_cast<double>(hits);
    const double poisson = h * std::log(mean) - mean - std::lgamma(h + 1);
    const double d = variance / mean;
    constexpr double kClose = 1e-9;
    if (d > 1 + kClose) {
        // Negative binomial: r successes, success chance 1/d.
        const double r = mean / (d - 1);
        return std::lgamma(h + r) - std::lgamma(r) - std::lgamma(h + 1) - r * std::log(d) + h * std::log1p(-1 / d);
    }
    if (d < 1 - kClose) {
        // Binomial over about mean / (1 - d) trials with the mean kept exact.
        const double n = std::max(1.0, std::round(mean / (1 - d)));
        if (h > n || mean >= n) return poisson;  // beyond what the trials hold
        const double p = mean / n;
        return std::lgamma(n + 1) - std::lgamma(h + 1) - std::lgamma(n - h + 1) + h * std::log(p) +
               (n - h) * std::log1p(-p);
    }
    return poisson;
}

SettingPosterior EstimateSetting(const std::vector<SettingTheory>& theories, const Observations& seen) {
    if (theories.size() != kMaxSetting) throw std::invalid_argument("EstimateSetting needs the six settings");
    std::array<RunExpectation, kMaxSetting> runs;
    for (std::size_t s = 0; s < kMaxSetting; ++s) runs[s] = theories[s].ExpectedRun(seen.games);
    return EstimateSetting(theories, seen, runs);
}

SettingPosterior EstimateSetting(const std::vector<SettingTheory>& theories, const Observations& seen,
                                 const std::array<RunExpectation, kMaxSetting>& runs) {
    if (theories.size() != kMaxSetting) throw std::invalid_argument("EstimateSetting needs the six settings");
    SettingPosterior out;
    for (int s = 0; s < kMaxSetting; ++s) {
        const SettingTheory& t = theories[static_cast<std::size_t>(s)];
        const GameModel& g = t.Model();
        // The multinomial's coefficient is the same for every setting and
        // drops out of the posterior.
        double ll = 0;
        for (int k = 0; k < kObservedWins; ++k) {
            const std::int64_t c = seen.smallWins[static_cast<std::size_t>(k)];
            if (c == 0) continue;
            const double p = k < kOtherWins ? g.koyaku[static_cast<std::size_t>(k)] : g.koyaku[Miss] + g.koyaku[Blank];
            ll += static_cast<double>(c) * std::log(p);
        }
        const RunExpectation& run = runs[static_cast<std::size_t>(s)];
        ll += CountLogProbability(seen.bbGames, run.bbGames, run.bbGamesVariance);
        out.logLikelihood[static_cast<std::size_t>(s)] = ll;
    }
    // A count no setting gives leaves every setting as likely as before.
    std::array<double, kMaxSetting> flat;
    flat.fill(1.0 / kMaxSetting);
    out.probability = UniformPosterior(out.logLikelihood).value_or(flat);
    return out;
}

std::vector<SettingTheory> AllSettingTheories() {
    std::vector<SettingTheory> all;
    all.reserve(kMaxSetting);
    for (int s = kMinSetting; s <= kMaxSetting; ++s) all.emplace_back(s);
    return all;
}

}  // namespace morvane
