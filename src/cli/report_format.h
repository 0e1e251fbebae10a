#pragma once
// --format tsv|csv|json on the commands that print reports; the reports
// themselves are in app/reports.h, shared with the web page.
#include "app/reports.h"
#include "system/report.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace morvane {

CLI::Option* AddFormatOption(CLI::App& app);
// TSV when not given; throws UsageError for a name it does not know.
ReportFormat FormatValue(const CLI::Option* option);

}  // namespace morvane
