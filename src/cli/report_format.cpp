#include "cli/report_format.h"

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "cli/options.h"
#include "cli/quoted.h"
#include "machine/vocabulary.h"

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

Report PosteriorReport(const SettingPosterior& p, bool withLogLikelihood) {
    ReportTable table{"settings", {"setting", "posterior"}, {}, false};
    if (withLogLikelihood) table.columns.push_back("log_likelihood");
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto i = static_cast<std::size_t>(s - 1);
        std::vector<ReportCell> row{ReportCell::Integer(s), ReportCell::Fixed(p.probability[i], 6)};
        if (withLogLikelihood) row.push_back(ReportCell::Fixed(p.logLikelihood[i], 9));
        table.rows.push_back(std::move(row));
    }
    return {{table}};
}

Report MoreGamesReport(const MoreGames& m) {
    const auto pass = [&](const char* name, const ShareWithError& p) {
        return ReportLine{name,
                          {ReportCell::Fixed(p.share, 6), ReportCell::Fixed(p.se, 6), ReportCell::Integer(m.request.sessions)},
                          {"chance", "se", "continuations"},
                          true};
    };
    Report r;
    r.parts.push_back(ReportLine{"more_games",
                                 {ReportCell::Integer(m.request.games), ReportCell::Fixed(m.request.highThreshold, 6),
                                  ReportCell::Integer(m.request.seed)},
                                 {"games", "threshold", "seed"},
                                 true});
    r.parts.push_back(pass("pass_5_6", m.highPasses));
    r.parts.push_back(pass("pass_top", m.topPasses));
    return r;
}

Report SpreadAsReport(const SpreadReport& spread) {
    auto numbers = [](const std::vector<std::string>& cells) {
        std::vector<ReportCell> out;
        for (const std::string& c : cells) out.push_back(ReportCell::Number(c));
        return out;
    };
    Report report;
    for (const SpreadReportRow& row : spread.request) report.parts.push_back(ReportLine{row.name, numbers(row.cells), {}, true});
    ReportTable quantities{"quantities", spread.columns, {}, true};
    for (const SpreadReportRow& row : spread.quantities) {
        std::vector<ReportCell> cells{ReportCell::Words(row.name)};
        for (ReportCell& c : numbers(row.cells)) cells.push_back(std::move(c));
        quantities.rows.push_back(std::move(cells));
    }
    report.parts.push_back(std::move(quantities));
    report.parts.push_back(ReportLine{spread.ahead.name, numbers(spread.ahead.cells), {"sessions", "share", "se"}, true});
    for (const SpreadReportRow& row : spread.ends)
        report.parts.push_back(ReportLine{row.name, numbers(row.cells), {"session", "seed", "balance_medals"}, true});
    return report;
}

}  // namespace morvane
