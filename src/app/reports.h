#pragma once
// The reports several front ends share, built once: morvane-sim prints them
// in its formats and the web page hands their JSON to its script, so both
// carry the same fields to the last digit.
#include <cstdint>
#include <optional>
#include <string>

#include "app/value_job.h"
#include "estimation/estimate.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/more_games.h"
#include "sessions/spread_report.h"
#include "system/report.h"

namespace morvane {

// estimate --now as the window's panel of the machine now has it: the
// horizon when none is given, the longest one (keep or quit's exact rules
// take some 0.2 s a thousand games), the rules up to the n-th BB, and the
// sessions behind the best rule's spread.
inline constexpr std::int32_t kNowHorizon = 1000;
inline constexpr std::int32_t kMostNowHorizon = 20'000;
inline constexpr int kNowMostBBs = 10;
inline constexpr std::int32_t kNowSpreadSessions = 2000;

// Six rows "setting, posterior[, log_likelihood]": six decimals, then nine
// (-inf where the setting cannot play the record: null in JSON).
Report PosteriorReport(const SettingPosterior& p, bool withLogLikelihood);

// estimate --horizon: each setting's row also holds the expected net of
// the next K games and of playing until the next BB's sets are over (with
// `withGames` also the games that takes), empty where the setting cannot
// play the record; then the line "mixed" of the same mixed by the posterior.
// With `yen` the two nets in yen follow at the figures' money
// (MachineNow::money); with purchases (a player short of medals buys them)
// also the expected purchases and the yen an hour of each, and the line
// "money" says what they were worked out at.
enum class YenShown { AtExchange, WithPurchases };
Report PosteriorNowReport(const SettingPosterior& p, const MachineNow& now, bool withGames,
                          std::optional<YenShown> yen = std::nullopt);

// estimate --now, as the window's panel of the machine now has it: the
// games since the last BB, each mode's chance, the best stopping rule over
// the horizon and what it advises, and, when it plays at all, how its net
// is spread over the sessions simulated from `seed`.
struct NowDecision {
    KeepOrQuit keep;
    Advice advice;
    std::optional<RuleSpread> spread;
    std::uint32_t seed = 0;
};
// With `yen` the best rule's net and the spread's mean also in yen at the
// keep or quit's money; with purchases the best rule's expected purchases
// too, and the spread's mean yen with its standard error.
Report NowDecisionReport(const MachineNow& now, const NowDecision& decision,
                         std::optional<YenShown> yen = std::nullopt);

// estimate --more: the request, then the chance that settings 5 and 6
// together and that the most probable setting reach the threshold, each
// with its standard error and the continuations simulated.
Report MoreGamesReport(const MoreGames& m);

// The spread's rows, as `spread` and `merge` print them.
Report SpreadAsReport(const SpreadReport& spread);

// value: the header and a line per counter in text; JSON adds the request
// and the counter from which the expected net stays positive. The law of
// the net's columns are empty (null) where it was not found.
Report ValueReport(const ValueJobRequest& request, const CountValueTable& table);

}  // namespace morvane
