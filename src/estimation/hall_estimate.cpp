#include "estimation/hall_estimate.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/theory.h"

namespace morvane {

namespace {

struct Checked {
    HallProblem problem = HallProblem::None;
    std::size_t index = 0;
    std::int64_t bbGames = 0;
    std::int64_t ordinary = 0;
    std::int64_t counted = 0;
};

Checked Check(const HallData& data) {
    Checked c;
    const auto fail = [&](HallProblem p, std::size_t index) {
        c.problem = p;
        c.index = index;
        return c;
    };
    if (data.games < 1) return fail(HallProblem::NoGames, 0);
    for (std::size_t i = 0; i < data.bbs.size(); ++i) {
        const HallBB& b = data.bbs[i];
        if (!IsHallBB(b)) return fail(HallProblem::BadBB, i);
        c.bbGames += b.games;
    }
    if (c.bbGames > data.games) return fail(HallProblem::BBsPastGames, 0);
    c.ordinary = data.games - static_cast<std::int64_t>(data.bbs.size());
    std::uint32_t seenKinds = 0;
    for (std::size_t i = 0; i < data.counted.size(); ++i) {
        const CountedWins& w = data.counted[i];
        if ((w.kinds & seenKinds) != 0 || w.count < 0 || w.kinds == 0) return fail(HallProblem::CountsOverlap, i);
        seenKinds |= w.kinds;
        c.counted += w.count;
    }
    if (c.counted > c.ordinary) return fail(HallProblem::CountsPastGames, 0);
    return c;
}

}  // namespace

HallProblem CheckHallData(const HallData& data, std::size_t* index) {
    const Checked c = Check(data);
    if (index) *index = c.index;
    return c.problem;
}

HallEstimate EstimateSettingFromHallData(const HallData& data, const SettingPrior& prior,
                                         const std::atomic<bool>* cancel) {
    HallEstimate out;
    out.prior = prior.Probabilities();
    const auto fail = [&](HallProblem p, std::size_t index) {
        out.problem = p;
        out.problemIndex = index;
        return out;
    };
    const Checked checked = Check(data);
    if (checked.problem != HallProblem::None) return fail(checked.problem, checked.index);
    const std::int64_t bbGames = checked.bbGames, ordinary = checked.ordinary, counted = checked.counted;

    std::size_t lastPossible = 0;
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        const auto s = static_cast<std::size_t>(f.Setting() - 1);
        const RecordLikelihood r = f.EvaluateStretches(data.bbs, data.games - bbGames, cancel);
        out.bbLogLikelihood[s] = r.logLikelihood;
        if (r.impossibleAt) lastPossible = std::max(lastPossible, *r.impossibleAt);
        // The multinomial's coefficient is the same at every setting.
        const GameModel& g = [&]() -> const GameModel& {
            static const std::vector<SettingTheory> theories = AllSettingTheories();
            return theories[s].Model();
        }();
        CompensatedSum wins;
        double countedShare = 0;
        for (const CountedWins& c : data.counted) {
            double p = 0;
            for (int k = 0; k < kKoyakuKinds; ++k)
                if (c.kinds >> k & 1u) p += g.koyaku[static_cast<std::size_t>(k)];
            countedShare += p;
            if (c.count > 0) wins.Add(static_cast<double>(c.count) * std::log(p));
        }
        if (ordinary > counted) wins.Add(static_cast<double>(ordinary - counted) * std::log1p(-countedShare));
        out.winsLogLikelihood[s] = wins.Value();
        out.posterior.logLikelihood[s] = out.bbLogLikelihood[s] + out.winsLogLikelihood[s];
    }
    const auto both = ApplyPrior(prior, out.posterior.logLikelihood);
    const auto bb = ApplyPrior(prior, out.bbLogLikelihood);
    const auto wins = ApplyPrior(prior, out.winsLogLikelihood);
    if (!both || !bb || !wins) return fail(HallProblem::NoSetting, lastPossible);
    out.posterior.probability = *both;
    out.bbPosterior = *bb;
    out.winsPosterior = *wins;
    return out;
}

}  // namespace morvane
