#include "sessions/spread_report.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "machine/medals.h"
#include "system/decimal_text.h"

namespace morvane {
namespace {

SpreadReportRow Row(const char* name, const QuantitySpread& q, double scale, double offset, bool integers,
                    int decimals) {
    // The standard error and percentages read with one digit more.
    const int finer = std::min(4, decimals + 1);
    auto value = [&](std::int64_t v) {
        return integers ? std::to_string(v * static_cast<std::int64_t>(scale))
                        : FixedDecimal(static_cast<double>(v) * scale + offset, finer);
    };
    SpreadReportRow row{name, {}};
    row.cells = {FixedDecimal(q.mean * scale + offset, integers ? decimals : finer),
                 FixedDecimal(q.sd * std::abs(scale), integers ? decimals : finer),
                 FixedDecimal(q.se * std::abs(scale), finer), value(q.min)};
    for (std::int64_t p : q.percentile) row.cells.push_back(value(p));
    row.cells.push_back(value(q.max));
    return row;
}

void Line(std::string& out, const SpreadReportRow& row) {
    out += row.name;
    for (const std::string& c : row.cells) {
        out += '\t';
        out += c;
    }
    out += '\n';
}

}  // namespace

SpreadReport BuildSpreadReport(const SpreadSummary& s, int decimals) {
    const SpreadRequest& r = s.request;
    SpreadReport report;
    report.request = {{"setting", {std::to_string(r.setting)}},
                      {"games", {std::to_string(r.games)}},
                      {"sessions", {std::to_string(r.sessions)}},
                      {"seed", {std::to_string(r.seed)}}};
    report.columns = {"quantity", "mean", "sd", "se", "min"};
    for (int p : kSpreadPercentiles) {
        std::string column = "p";  // built up: g++ 12 warns wrongly on "p" + string
        column += std::to_string(p);
        report.columns.push_back(column);
    }
    report.columns.push_back("max");
    const double bet = 3.0 * r.games;
    report.quantities = {
        Row("balance_medals", s.balance, 1, 0, true, decimals),
        Row("balance_yen", s.balance, Exchange{}.YenPerMedal(), 0, true, decimals),
        Row("payout_percent", s.balance, PayoutPercentPerMedal(bet), PayoutPercentAtEven(), false, decimals),
        Row("bb_games", s.bbGames, 1, 0, true, decimals),
        Row("bbs", s.bbs, 1, 0, true, decimals),
        Row("deepest_dip_medals", s.deepestDip, 1, 0, true, decimals)};
    const double n = r.sessions;
    const double share = static_cast<double>(s.ahead) / n;
    report.ahead = {
        "ahead",
        {std::to_string(s.ahead), FixedDecimal(share, 6), FixedDecimal(std::sqrt(share * (1 - share) / n), 6)}};
    // The two ends, with the seed that replays each alone.
    for (const auto& [name, index, balance] :
         {std::tuple{"worst", s.worst, s.balance.min}, std::tuple{"best", s.best, s.balance.max}})
        report.ends.push_back(
            {name,
             {std::to_string(index), std::to_string(SessionSeed(r.seed, static_cast<std::uint32_t>(index))),
              std::to_string(balance)}});
    return report;
}

std::string SpreadText(const SpreadReport& report) {
    std::string out;
    for (const SpreadReportRow& row : report.request) Line(out, row);
    for (std::size_t i = 0; i < report.columns.size(); ++i) {
        if (i > 0) out += '\t';
        out += report.columns[i];
    }
    out += '\n';
    for (const SpreadReportRow& row : report.quantities) Line(out, row);
    Line(out, report.ahead);
    for (const SpreadReportRow& row : report.ends) Line(out, row);
    return out;
}

}  // namespace morvane
