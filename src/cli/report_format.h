#pragma once
// --format tsv|csv|json on the commands that print reports, and the reports
// several commands share.
#include <string>

#include "analysis/estimate.h"
#include "analysis/more_games.h"
#include "analysis/spread_report.h"
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

// estimate --more: the request, then the chance that settings 5 and 6
// together and that the most probable setting reach the threshold, each
// with its standard error and the continuations simulated.
Report MoreGamesReport(const MoreGames& m);

// The spread's rows, as `spread` and `merge` print them.
Report SpreadAsReport(const SpreadReport& spread);

}  // namespace morvane
