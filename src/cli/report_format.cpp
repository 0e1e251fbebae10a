#include "cli/report_format.h"

#include "cli/command.h"
#include "cli/options.h"
#include "cli/quoted.h"

namespace morvane {

CLI::Option* AddFormatOption(CLI::App& app) {
    return AddValueOption(app, "--format", "tsv|csv|json", "tsv",
                          "prints TAB-separated text, CSV or one JSON document (fields in man morvane-sim)");
}

ReportFormat FormatValue(const CLI::Option* option) {
    const std::string text = ValueOf(option).value_or("tsv");
    const auto format = ParseReportFormat(text);
    if (!format) throw UsageError{"format " + Quoted(text) + " must be tsv, csv or json"};
    return *format;
}

}  // namespace morvane
