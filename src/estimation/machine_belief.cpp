#include "estimation/machine_belief.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace morvane {

RecordFilter MachineBelief::Follow(int setting) const {
    const ExactLikelihood& f = AllExactLikelihoods()[static_cast<std::size_t>(setting - 1)];
    return RecordFilter(f, state[static_cast<std::size_t>(setting - 1)], gamesSinceBB);
}

RecordBelief EstimateWithBelief(std::span<const GameRecord> games, const SettingPrior& prior,
                                const std::atomic<bool>* stop, std::atomic<std::int64_t>* done) {
    // Games between two looks at `stop`.
    constexpr std::size_t kStopEvery = std::size_t{1} << 16;
    RecordBelief out;
    // A record the filter cannot follow: the estimate finds and words the
    // problem (a second pass only on this path).
    const auto problem = [&] {
        out.estimate = EstimateSettingExactly(games, prior);
        if (!out.estimate.problem) out.estimate.problem = "no setting the prior allows can play this record";
        return out;
    };
    if (FirstUnrecordableGame(games)) return problem();
    std::array<std::optional<RecordFilter>, kMaxSetting> filters;
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        auto& filter = filters[static_cast<std::size_t>(f.Setting() - 1)].emplace(f);
        for (std::size_t i = 0; i < games.size(); ++i) {
            if ((i + 1) % kStopEvery == 0 && (stop || done)) {
                if (done) done->fetch_add(static_cast<std::int64_t>(kStopEvery), std::memory_order_relaxed);
                if (stop && stop->load(std::memory_order_relaxed)) {
                    out.stopped = true;
                    return out;
                }
            }
            if (!filter.Add(games[i])) {
                filters[static_cast<std::size_t>(f.Setting() - 1)].reset();
                break;
            }
        }
    }
    std::array<const RecordFilter*, kMaxSetting> after{};
    for (std::size_t s = 0; s < after.size(); ++s) after[s] = filters[s] ? &*filters[s] : nullptr;
    out.belief = BeliefAfterRecord(prior, after);
    if (!out.belief) return problem();
    out.estimate.prior = prior.Probabilities();
    out.estimate.posterior.probability = out.belief->posterior;
    out.estimate.posterior.logLikelihood = out.belief->logLikelihood;
    return out;
}

std::optional<MachineBelief> BeliefAfterRecord(const SettingPrior& prior,
                                               const std::array<const RecordFilter*, kMaxSetting>& filters) {
    MachineBelief b;
    b.prior = prior;
    bool sinceKnown = false;
    for (std::size_t s = 0; s < filters.size(); ++s) {
        if (!filters[s]) {
            b.logLikelihood[s] = kImpossible;
            continue;
        }
        b.logLikelihood[s] = filters[s]->LogLikelihood();
        b.state[s] = filters[s]->State();
        b.gamesSinceBB = filters[s]->GamesSinceBB();
        sinceKnown = true;
    }
    const auto p = ApplyPrior(prior, b.logLikelihood);
    if (!p || !sinceKnown) return std::nullopt;
    b.posterior = *p;
    return b;
}

RecordBelief EstimateWithBelief(const RunRecords& records, const SettingPrior& prior) {
    std::vector<RecordFilter> filters;
    for (const ExactLikelihood& f : AllExactLikelihoods()) filters.emplace_back(f);
    std::array<std::optional<std::size_t>, kMaxSetting> impossibleAt;
    std::optional<std::size_t> unrecordable;
    GameRecord bad{};
    records.ForAll([&](std::size_t first, std::span<const GameRecord> piece) {
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const GameRecord& g = piece[i];
            // A game no machine records decides the answer, wherever it is.
            if (!IsRecordableGame(g)) {
                unrecordable = first + i;
                bad = g;
                return false;
            }
            for (std::size_t s = 0; s < filters.size(); ++s)
                if (!impossibleAt[s] && !filters[s].Add(g)) impossibleAt[s] = first + i;
        }
        return true;
    });
    RecordBelief out;
    const auto problem = [&](ExactEstimate e) {
        out.estimate = std::move(e);
        if (!out.estimate.problem) out.estimate.problem = "no setting the prior allows can play this record";
        return out;
    };
    if (unrecordable) return problem(UnrecordableGameEstimate(prior, *unrecordable, bad));
    std::array<const RecordFilter*, kMaxSetting> after{};
    std::array<double, kMaxSetting> logLikelihood{};
    std::size_t lastPossible = 0;
    for (std::size_t s = 0; s < filters.size(); ++s) {
        lastPossible = std::max(lastPossible, impossibleAt[s].value_or(records.size()));
        logLikelihood[s] = impossibleAt[s] ? kImpossible : filters[s].LogLikelihood();
        after[s] = impossibleAt[s] ? nullptr : &filters[s];
    }
    out.belief = BeliefAfterRecord(prior, after);
    if (!out.belief) return problem(EstimateFromLikelihoods(prior, logLikelihood, records.size(), lastPossible));
    out.estimate.prior = prior.Probabilities();
    out.estimate.posterior.probability = out.belief->posterior;
    out.estimate.posterior.logLikelihood = out.belief->logLikelihood;
    return out;
}

BeliefResult BeliefFromRecord(std::span<const GameRecord> games, const SettingPrior& prior) {
    RecordBelief rb = EstimateWithBelief(games, prior);
    BeliefResult out;
    out.belief = std::move(rb.belief);
    if (!out.belief) out.problem = std::move(rb.estimate.problem);
    return out;
}

BeliefResult BeliefFromHallData(const HallData& data, const SettingPrior& prior) {
    return BeliefFromHallData(data, EstimateSettingFromHallData(data, prior), prior);
}

BeliefResult BeliefFromHallData(const HallData& data, const HallEstimate& e, const SettingPrior& prior) {
    BeliefResult out;
    if (e.problem != HallProblem::None) {
        out.hallProblem = e.problem;
        out.problemIndex = e.problemIndex;
        switch (e.problem) {
        case HallProblem::NoGames: out.problem = "no games"; break;
        case HallProblem::BadBB: out.problem = "a BB out of range"; break;
        case HallProblem::BBsPastGames: out.problem = "the BBs' games add up to more than the games"; break;
        case HallProblem::CountsOverlap: out.problem = "a small win counted twice"; break;
        case HallProblem::CountsPastGames: out.problem = "more small wins counted than games without a BB"; break;
        case HallProblem::NoSetting: out.problem = "no setting the prior allows can play this BB history"; break;
        case HallProblem::None: break;
        }
        return out;
    }
    MachineBelief b;
    b.prior = prior;
    b.posterior = e.posterior.probability;
    for (const ExactLikelihood& f : AllExactLikelihoods()) {
        const auto s = static_cast<std::size_t>(f.Setting() - 1);
        RecordFilter filter(f, LongRunStateAfterBB(f.Setting()), 0);
        std::int64_t bbGames = 0;
        bool possible = true;
        for (const HallBB& bb : data.bbs) {
            for (std::int32_t g = 1; g < bb.games && possible; ++g) possible = filter.AddUnseenGame();
            possible = possible && filter.AddBB(bb.kind, bb.sets);
            bbGames += bb.games;
            if (!possible) break;
        }
        for (std::int64_t g = bbGames; g < data.games && possible; ++g) possible = filter.AddUnseenGame();
        b.logLikelihood[s] = possible ? filter.LogLikelihood() : kImpossible;
        if (possible) {
            b.state[s] = filter.State();
            b.gamesSinceBB = filter.GamesSinceBB();
        }
    }
    out.belief = b;
    return out;
}

}  // namespace morvane
