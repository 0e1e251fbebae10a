#include "present/show.h"

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "present/number_format.h"

namespace morvane {

void WritePresentation(const Presentation& p, bool withPlays, std::ostream& out) {
    std::string text = p.ResultLabel();
    if (!text.empty()) text += '\n';
    for (Page page : kAllPages) {
        if (page == Page::Play && !withPlays) continue;
        const PageSpec& spec = PageInfo(page);
        text += "# ";
        text += spec.caption;
        text += '\n';
        for (std::size_t c = 0; c < spec.columns.size(); ++c) {
            if (c) text += '\t';
            text += spec.columns[c].caption;
        }
        text += '\n';
        const std::size_t rows = p.RowCount(page);
        for (std::size_t r = 0; r < rows; ++r) {
            for (int c = 0; c < p.ColumnCount(page); ++c) {
                if (c) text += '\t';
                text += p.Cell(page, r, c);
            }
            text += '\n';
            if (text.size() > (1 << 20)) {
                out << text;
                text.clear();
            }
        }
    }
    out << text;
}

namespace {

enum class CellKind { Number, Words, OneIn };

struct ColumnName {
    const char* name;
    CellKind kind;
};

struct PageName {
    const char* table;
    std::vector<ColumnName> columns;  // as the page's columns, in order
};

const PageName& NameOf(Page page) {
    using K = CellKind;
    static const std::array<PageName, kPageCount> names = {{
        {"plays",
         {{"game", K::Number},
          {"games_since_bb", K::Number},
          {"pattern", K::Words},
          {"mode", K::Words},
          {"balance_medals", K::Number}}},
        {"bb_list",
         {{"game", K::Number},
          {"games_since_bb", K::Number},
          {"pattern", K::Words},
          {"continuation_mode", K::Words},
          {"mode_after", K::Words},
          {"medals", K::Number}}},
        {"mode_changes",
         {{"game", K::Number}, {"games_since_bb", K::Number}, {"pattern", K::Words}, {"mode", K::Words}}},
        {"small_wins", {{"small_win", K::Words}, {"count", K::Number}, {"rate", K::Number}, {"one_in", K::OneIn}}},
        {"mode_stays", {{"mode", K::Words}, {"games", K::Number}, {"rate", K::Number}, {"one_in", K::OneIn}}},
        {"continuation_modes",
         {{"continuation_mode", K::Words}, {"count", K::Number}, {"rate", K::Number}, {"one_in", K::OneIn}}},
    }};
    return names[static_cast<std::size_t>(page)];
}

ReportCell CellOf(std::string text, CellKind kind) {
    switch (kind) {
    case CellKind::Number: return ReportCell::Number(std::move(text));
    case CellKind::Words: break;
    case CellKind::OneIn:
        // "1/X", or "0" for what never happened: one in infinitely many.
        if (text.rfind("1/", 0) != 0) return {ReportCell::Kind::Null, ""};
        return ReportCell::Number(text.substr(2));
    }
    return ReportCell::Words(std::move(text));
}

ReportLine Figure(const char* name, const Presentation& p, std::string text) {
    if (p.Plays() == 0) return ReportLine{name, {{ReportCell::Kind::Null, ""}}, {}, true};
    return ReportLine{name, {ReportCell::Number(std::move(text))}, {}, true};
}

}  // namespace

void WritePresentationReport(const Presentation& p, bool withPlays, ReportFormat format, std::ostream& out) {
    if (format == ReportFormat::Tsv) {
        WritePresentation(p, withPlays, out);
        return;
    }
    ReportWriter w(out, format);
    const Tallies& t = p.Counts();
    const SummaryFigures& f = p.Figures();
    w.Add(ReportLine{"games", {ReportCell::Integer(static_cast<std::int64_t>(p.Plays()))}, {}, true});
    w.Add(Figure("bb_games", p, IntText(t.firstHits)));
    w.Add(Figure("bbs", p, IntText(t.bbCount)));
    w.Add(Figure("games_per_bb", p, FormatFixed(f.bbProbability)));
    w.Add(Figure("payout_percent", p, FormatFixed(f.payoutRate)));
    w.Add(Figure("sets_per_bb", p, FormatFixed(f.keizokuAverage)));
    w.Add(Figure("balance_yen", p, IntText(f.balanceYen)));
    for (Page page : kAllPages) {
        if (page == Page::Play && !withPlays) continue;
        const PageName& names = NameOf(page);
        ReportTable head{names.table, {}, {}, true, true};
        for (const ColumnName& c : names.columns) head.columns.push_back(c.name);
        w.BeginTable(head);
        std::vector<ReportCell> cells(names.columns.size());
        const std::size_t rows = p.RowCount(page);
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < cells.size(); ++c)
                cells[c] = CellOf(p.Cell(page, r, static_cast<int>(c)), names.columns[c].kind);
            w.Row(cells);
        }
        w.EndTable();
    }
    w.Finish();
}

}  // namespace morvane
