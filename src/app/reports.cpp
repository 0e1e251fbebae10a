#include "app/reports.h"

#include <array>
#include <charconv>
#include <string_view>

#include "machine/vocabulary.h"

namespace morvane {

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

namespace {

ReportCell Fixed6OrEmpty(bool shown, double v) { return shown ? ReportCell::Fixed(v, 6) : ReportCell::Empty(); }
// Yen to two decimals, as value prints them.
ReportCell YenOrEmpty(bool shown, double yen) { return shown ? ReportCell::Fixed(yen, 2) : ReportCell::Empty(); }

// The shortest text that reads back to a rate given: 50, 56, 5.6.
ReportCell Shortest(double v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return ReportCell::Number(std::string(text, end));
}

// The modes by their names in the code, for scripts.
constexpr std::array<const char*, kModes> kModeFields = {"hamari", "low", "high", "precursor", "blue7", "red7"};

const char* RuleKind(StopRule::Kind kind) {
    switch (kind) {
    case StopRule::Kind::Now: return "quit";
    case StopRule::Kind::Games: return "games";
    case StopRule::Kind::BBs: return "bbs";
    case StopRule::Kind::Learning: break;
    }
    return "learning";
}

const char* VerdictWord(Verdict v) {
    switch (v) {
    case Verdict::Quit: return "quit";
    case Verdict::AboutEven: return "about_even";
    case Verdict::Keep: break;
    }
    return "keep";
}

}  // namespace

Report PosteriorNowReport(const SettingPosterior& p, const MachineNow& now, bool withGames,
                          std::optional<YenShown> yen) {
    Report report = PosteriorReport(p, true);
    auto& table = std::get<ReportTable>(report.parts.front());
    table.columns.insert(table.columns.end(), {"next_games", "until_bb"});
    if (withGames) table.columns.push_back("until_bb_games");
    const bool buys = yen == YenShown::WithPurchases;
    const std::vector<std::string> yenFields =
        buys ? std::vector<std::string>{"next_games_yen",          "until_bb_yen",
                                        "next_games_purchases",    "until_bb_purchases",
                                        "next_games_yen_per_hour", "until_bb_yen_per_hour"}
             : std::vector<std::string>{"next_games_yen", "until_bb_yen"};
    const auto addYen = [&](std::vector<ReportCell>& cells, bool shown, double next, double until, double nextPurchases,
                            double untilPurchases, double nextReal, double untilReal) {
        cells.push_back(YenOrEmpty(shown, next));
        cells.push_back(YenOrEmpty(shown, until));
        if (!buys) return;
        cells.push_back(Fixed6OrEmpty(shown, nextPurchases));
        cells.push_back(Fixed6OrEmpty(shown, untilPurchases));
        cells.push_back(YenOrEmpty(shown, now.PerHour(next, nextReal)));
        cells.push_back(YenOrEmpty(shown, now.PerHour(until, untilReal)));
    };
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        const SettingNow& n = now.bySetting[i];
        table.rows[i].push_back(Fixed6OrEmpty(n.possible, n.nextGames));
        table.rows[i].push_back(Fixed6OrEmpty(n.possible, n.untilBB));
        if (withGames) table.rows[i].push_back(Fixed6OrEmpty(n.possible, n.untilBBGames));
        const int s = static_cast<int>(i) + 1;
        if (yen)
            addYen(table.rows[i], n.possible, now.NextYen(s), now.UntilBBYen(s), n.nextPurchases, n.untilBBPurchases,
                   n.nextRealGames, n.untilBBRealGames);
    }
    if (yen) table.columns.insert(table.columns.end(), yenFields.begin(), yenFields.end());
    ReportLine mixed{"mixed",
                     {ReportCell::Fixed(now.nextGames, 6), ReportCell::Fixed(now.untilBB, 6)},
                     {"next_games", "until_bb"},
                     true};
    if (withGames) {
        mixed.cells.push_back(ReportCell::Fixed(now.untilBBGames, 6));
        mixed.fields.push_back("until_bb_games");
    }
    if (yen) {
        addYen(mixed.cells, true, now.NextYen(), now.UntilBBYen(), now.nextPurchases, now.untilBBPurchases,
               now.nextRealGames, now.untilBBRealGames);
        mixed.fields.insert(mixed.fields.end(), yenFields.begin(), yenFields.end());
    }
    report.parts.push_back(std::move(mixed));
    if (buys) {
        const HallMoney& m = now.money.money;
        report.parts.push_back(ReportLine{
            "money",
            {Shortest(m.exchange.medalsPer1000Yen), Shortest(m.lendPer1000Yen),
             m.held ? ReportCell::Integer(*m.held) : ReportCell::Words("all"), Shortest(now.money.gamesPerHour)},
            {"exchange", "lend", "held", "games_per_hour"},
            true});
    }
    return report;
}

Report NowDecisionReport(const MachineNow& now, const NowDecision& d, std::optional<YenShown> yen) {
    const bool buys = yen == YenShown::WithPurchases;
    const Exchange& rate = d.keep.money.exchange;
    Report r;
    r.parts.push_back(ReportLine{"games_since_bb", {ReportCell::Integer(now.gamesSinceBB)}, {}, true});
    ReportLine modes{"modes", {}, {kModeFields.begin(), kModeFields.end()}, true};
    for (const double chance : now.mode) modes.cells.push_back(ReportCell::Fixed(chance, 6));
    r.parts.push_back(std::move(modes));
    const StopRule& best = d.keep.best;
    ReportLine bestLine{"best_rule",
                        {ReportCell::Integer(d.keep.horizon), ReportCell::Words(RuleKind(best.kind)),
                         ReportCell::Integer(best.n), ReportCell::Fixed(best.value, 6)},
                        {"horizon", "kind", "n", "ev_medals"},
                        true};
    if (yen) {
        bestLine.cells.push_back(YenOrEmpty(true, best.yen));
        bestLine.fields.push_back("ev_yen");
    }
    if (buys) {
        bestLine.cells.push_back(ReportCell::Fixed(best.purchases, 6));
        bestLine.fields.push_back("purchases");
    }
    r.parts.push_back(std::move(bestLine));
    r.parts.push_back(
        ReportLine{"advice",
                   {ReportCell::Words(VerdictWord(d.advice.verdict)), ReportCell::Flag(d.advice.precursorLook)},
                   {"verdict", "precursor_look"},
                   true});
    if (d.spread) {
        const RuleSpread& s = *d.spread;
        ReportLine spread{"rule_spread",
                          {ReportCell::Fixed(s.behind.share, 6), ReportCell::Fixed(s.behind.se, 6),
                           ReportCell::Fixed(s.mean, 6), ReportCell::Fixed(s.se, 6), ReportCell::Fixed(s.sd, 6),
                           ReportCell::Integer(s.behind.trials), ReportCell::Integer(d.seed)},
                          {"behind", "behind_se", "mean", "se", "sd", "sessions", "seed"},
                          true};
        if (yen) {
            spread.cells.push_back(YenOrEmpty(true, buys ? s.meanYen : rate.Yen(s.mean)));
            spread.fields.push_back("mean_yen");
        }
        if (buys) {
            spread.cells.push_back(ReportCell::Fixed(s.seYen, 2));
            spread.fields.push_back("mean_yen_se");
            // Behind in yen: ahead in medals can still be behind after the purchases.
            spread.cells.push_back(ReportCell::Fixed(s.behindYen.share, 6));
            spread.cells.push_back(ReportCell::Fixed(s.behindYen.se, 6));
            spread.cells.push_back(ReportCell::Fixed(s.sdYen, 2));
            spread.fields.insert(spread.fields.end(), {"behind_yen", "behind_yen_se", "sd_yen"});
        }
        r.parts.push_back(std::move(spread));
    }
    return r;
}

Report MoreGamesReport(const MoreGames& m) {
    const auto pass = [&](const char* name, const ShareWithError& p) {
        return ReportLine{
            name,
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
    for (const SpreadReportRow& row : spread.request)
        report.parts.push_back(ReportLine{row.name, numbers(row.cells), {}, true});
    ReportTable quantities{"quantities", spread.columns, {}, true};
    for (const SpreadReportRow& row : spread.quantities) {
        std::vector<ReportCell> cells{ReportCell::Words(row.name)};
        for (ReportCell& c : numbers(row.cells)) cells.push_back(std::move(c));
        quantities.rows.push_back(std::move(cells));
    }
    report.parts.push_back(std::move(quantities));
    report.parts.push_back(
        ReportLine{spread.ahead.name, numbers(spread.ahead.cells), {"sessions", "share", "se"}, true});
    for (const SpreadReportRow& row : spread.ends)
        report.parts.push_back(ReportLine{row.name, numbers(row.cells), {"session", "seed", "balance_medals"}, true});
    return report;
}

Report ValueReport(const ValueJobRequest& request, const CountValueTable& table) {
    Report report;
    if (request.setting != 0) {
        report.parts.push_back(ReportLine{"setting", {ReportCell::Integer(request.setting)}, {}, false});
    } else {
        ReportLine prior{"prior", {}, {"w1", "w2", "w3", "w4", "w5", "w6"}, false};
        for (const double w : request.prior.Probabilities()) prior.cells.push_back(ReportCell::Fixed(w, 6));
        report.parts.push_back(std::move(prior));
    }
    // The shortest text that reads back to the rate given: 50, 56, 5.6.
    const auto shortest = [](double v) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, v).ptr;
        return ReportCell::Number(std::string(text, end));
    };
    report.parts.push_back(ReportLine{"exchange", {shortest(request.money.exchange.medalsPer1000Yen)}, {}, false});
    report.parts.push_back(ReportLine{"lend", {shortest(request.money.lendPer1000Yen)}, {}, false});
    report.parts.push_back(ReportLine{
        "held", {request.money.held ? ReportCell::Integer(*request.money.held) : ReportCell::Words("all")}, {}, false});
    report.parts.push_back(ReportLine{"games_per_hour", {shortest(request.gamesPerHour)}, {}, false});
    report.parts.push_back(
        ReportLine{"positive_from",
                   {table.positiveFrom ? ReportCell::Integer(*table.positiveFrom) : ReportCell::Empty()},
                   {},
                   false});
    ReportTable rows{"by_count", {}, {}, true};
    for (std::string_view names = kValueColumns;;) {
        const std::size_t tab = names.find('\t');
        rows.columns.emplace_back(names.substr(0, tab));
        if (tab == std::string_view::npos) break;
        names.remove_prefix(tab + 1);
    }
    for (const CountValueRow& row : table.rows) {
        const NetSpread* s = row.spread ? &*row.spread : nullptr;
        const YenSpread* y = row.yenSpread ? &*row.yenSpread : nullptr;
        const auto whole = [s](std::int64_t NetSpread::*at) {
            return s ? ReportCell::Integer(s->*at) : ReportCell::Empty();
        };
        rows.rows.push_back(
            {ReportCell::Integer(row.gamesSince), ReportCell::Fixed(row.evMedals, 6), ReportCell::Fixed(row.evGames, 6),
             ReportCell::Fixed(row.pCeiling, 9), whole(&NetSpread::median),
             s ? ReportCell::Fixed(s->pAhead, 6) : ReportCell::Empty(), whole(&NetSpread::p10), whole(&NetSpread::p25),
             whole(&NetSpread::p75), whole(&NetSpread::p90), ReportCell::Fixed(row.evYen, 2),
             y ? ReportCell::Fixed(y->median, 2) : ReportCell::Empty(),
             y ? ReportCell::Fixed(y->pAhead, 6) : ReportCell::Empty(), ReportCell::Fixed(row.yenPerHour, 2),
             y ? ReportCell::Fixed(y->medianSE, 2) : ReportCell::Empty(),
             y ? ReportCell::Fixed(y->pAheadSE, 6) : ReportCell::Empty()});
    }
    report.parts.push_back(std::move(rows));
    return report;
}

}  // namespace morvane
