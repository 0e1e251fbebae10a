#pragma once
// The report of a spread: the rows morvane-sim prints as TAB-separated text
// and, rounded for reading, the 分布 window shows in its table.
#include <string>
#include <utility>
#include <vector>

#include "sessions/spread_stats.h"

namespace morvane {

struct SpreadReportRow {
    std::string name;                // balance_medals, ahead, worst ...
    std::vector<std::string> cells;  // the figures after the name
};

struct SpreadReport {
    std::vector<SpreadReportRow> request;     // setting, games, sessions, seed
    std::vector<std::string> columns;         // quantity, mean, sd, se, min, p1 .. p99, max
    std::vector<SpreadReportRow> quantities;  // one per quantity, cells as the columns
    SpreadReportRow ahead;                    // count, share, its standard error
    std::vector<SpreadReportRow> ends;        // worst, best: session, its seed, balance
};

// decimals: of the means and standard deviations (the standard errors and
// percentages get one more, at most 4); morvane-sim prints 4.
SpreadReport BuildSpreadReport(const SpreadSummary& s, int decimals = 4);

// The text morvane-sim spread prints; see the README.
std::string SpreadText(const SpreadReport& report);
inline std::string SpreadText(const SpreadSummary& s) { return SpreadText(BuildSpreadReport(s)); }

}  // namespace morvane
