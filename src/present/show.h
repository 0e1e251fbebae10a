#pragma once
// A presentation as plain text: the summary caption, then each list page as a
// "# caption" line, a line of column captions and one line per row, cells
// separated by TABs.
#include <iosfwd>

#include "present/presentation.h"
#include "system/report.h"

namespace morvane {

// The Play page is long (one row per game); it is written only when asked.
void WritePresentation(const Presentation& p, bool withPlays, std::ostream& out);

// The same as CSV or one JSON document: the summary's figures as named
// lines (games, bb_games, bbs, games_per_bb, payout_percent, sets_per_bb,
// balance_yen; null without games), then each page as a table with English
// column names ("plays", "bb_list", "mode_changes", "small_wins",
// "mode_stays", "continuation_modes"). A "1/X" cell is X alone, null where
// the text reads 0 (never seen). TSV is WritePresentation's text.
void WritePresentationReport(const Presentation& p, bool withPlays, ReportFormat format, std::ostream& out);

}  // namespace morvane
