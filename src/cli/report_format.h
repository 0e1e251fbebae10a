#pragma once
// --format tsv|csv|json on the commands that print reports, and the reports
// several commands share.
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

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace morvane {

CLI::Option* AddFormatOption(CLI::App& app);
// TSV when not given; throws UsageError for a name it does not know.
ReportFormat FormatValue(const CLI::Option* option);

// Six rows "setting, posterior[, log_likelihood]": six decimals, then nine
// (-inf where the setting cannot play the record: null in JSON).
Report PosteriorReport(const SettingPosterior& p, bool withLogLikelihood);

// estimate --horizon: each setting's row also holds the expected net of
// the next K games and of playing until the next BB's sets are over (with
// `withGames` also the games that takes), empty where the setting cannot
// play the record; then the line "mixed" of the same mixed by the posterior.
// With `yen` the two nets in yen follow at that rate, medals held
// throughout.
Report PosteriorNowReport(const SettingPosterior& p, const MachineNow& now, bool withGames,
                          const std::optional<Exchange>& yen = std::nullopt);

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
// With `yen` the best rule's net and the spread's mean also in yen.
Report NowDecisionReport(const MachineNow& now, const NowDecision& decision,
                         const std::optional<Exchange>& yen = std::nullopt);

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
