#pragma once
// The machine now, as a front end asks for it: from a run's record or from
// hall data under the hall's prior, the belief and the figures of the next K
// games and of the next BB (quick, exact); and, off the window's thread with
// a stop, keep or quit and how far the estimate can be trusted.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "app/job.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/trust.h"

namespace morvane {

struct NowJobResult {
    BeliefResult belief;  // belief, or the problem the estimate words
    std::optional<MachineNow> now;
};

NowJobResult MachineNowFromRecord(std::span<const GameRecord> games, const SettingPrior& prior, std::int32_t horizon);
NowJobResult MachineNowFromHallData(const HallData& data, const SettingPrior& prior, std::int32_t horizon);

// The slower figures of a belief: the exact rules of keep or quit over a
// horizon, how the best one's net is spread and what that advises, and the trust of an estimate from a record (or hall
// data) of `recordGames` games under the belief's prior.
struct DecisionRequest {
    KeepOrQuitRequest keep;           // sessions 0: the exact rules alone
    std::int32_t spreadSessions = 0;  // of the best exact rule; 0 leaves its spread out
    std::int32_t recordGames = 0;
    std::int32_t trustSessions = 0;  // 0 leaves trust out
    // Set for hall data: trust is of hall data of this shape, not of a record.
    std::optional<HallTrustShape> hall;
    std::uint32_t seed = 1;
    int threads = 0;
    // When set, also the machine now at this money over keep's horizon: a
    // player short of medals buys them, and their expected number takes a
    // pass over the medals held (keep's money should be the same).
    std::optional<NowMoney> priced;
};

// Its units are trust's sessions, when it finds trust.
class DecisionJob : public Job {
public:
    DecisionJob(const MachineBelief& belief, const DecisionRequest& request) : belief_(belief), request_(request) {}

    // On this thread; false when Stop ended it early. Call once.
    bool Run() override;
    std::int64_t Total() const override { return request_.recordGames > 0 ? std::max(request_.trustSessions, 0) : 0; }

    const DecisionRequest& Request() const { return request_; }
    const KeepOrQuit& Keep() const { return keep_; }
    // Set when a spread was asked for and the best rule plays at all.
    const std::optional<RuleSpread>& Spread() const { return spread_; }
    const Advice& Advised() const { return advice_; }
    // Set when trust was asked for and finished.
    const std::optional<Trust>& TrustFigures() const { return trust_; }
    // Set when the request asked for the machine now at a money.
    const std::optional<MachineNow>& Priced() const { return priced_; }

private:
    MachineBelief belief_;
    DecisionRequest request_;
    KeepOrQuit keep_;
    std::optional<RuleSpread> spread_;
    Advice advice_;
    std::optional<Trust> trust_;
    std::optional<MachineNow> priced_;
};

}  // namespace morvane
