#include "app/now_job.h"

namespace morvane {
namespace {

NowJobResult WithFigures(BeliefResult b, std::int32_t horizon) {
    NowJobResult r{std::move(b), std::nullopt};
    if (r.belief.belief) r.now = NowFigures(*r.belief.belief, horizon);
    return r;
}

}  // namespace

NowJobResult MachineNowFromRecord(std::span<const GameRecord> games, const SettingPrior& prior, std::int32_t horizon) {
    return WithFigures(BeliefFromRecord(games, prior), horizon);
}

NowJobResult MachineNowFromHallData(const HallData& data, const SettingPrior& prior, std::int32_t horizon) {
    return WithFigures(BeliefFromHallData(data, prior), horizon);
}

bool DecisionJob::Run() {
    if (StopRequested()) return false;
    KeepOrQuitRequest k = request_.keep;
    k.threads = request_.threads;
    if (request_.priced) {
        priced_ = NowFigures(belief_, k.horizon, StopFlag(), nullptr, *request_.priced, request_.threads);
        if (!priced_) return false;
    }
    keep_ = DecideKeepOrQuit(belief_, k, &StopFlag());
    if (StopRequested()) return false;
    if (request_.spreadSessions > 0 && keep_.best.kind != StopRule::Kind::Now) {
        RuleSpread s;
        if (!SpreadOfRule(belief_, keep_.best, k.horizon, request_.spreadSessions, request_.seed, request_.threads, s,
                          &StopFlag(), nullptr, k.money))
            return false;
        spread_ = s;
    }
    advice_ = Advise(keep_.best, spread_ ? &*spread_ : nullptr, PrecursorShare(belief_), k.money.held.has_value());
    if (request_.trustSessions > 0 && request_.recordGames > 0) {
        Trust t;
        const TrustRequest tr{request_.recordGames, belief_.prior, request_.trustSessions, request_.seed,
                              request_.threads};
        const bool whole = request_.hall ? TrustOfHallEstimate(tr, *request_.hall, t, &StopFlag(), &DoneCounter())
                                         : TrustOfEstimate(tr, t, &StopFlag(), &DoneCounter());
        if (!whole) return false;
        trust_ = std::move(t);
    }
    return !StopRequested();
}

}  // namespace morvane
