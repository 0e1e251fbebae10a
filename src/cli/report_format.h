#pragma once
// --format tsv|csv|json on the commands that print reports, and the reports
// several commands share.
#include <string>

#include "analysis/estimate.h"
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

// The spread's rows, as `spread` and `merge` print them.
Report SpreadAsReport(const SpreadReport& spread);

}  // namespace morvane
