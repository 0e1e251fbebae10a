#pragma once
// A presentation as plain text: the summary caption, then each list page as a
// "# caption" line, a line of column captions and one line per row, cells
// separated by TABs.
#include <iosfwd>

#include "present/presentation.h"

namespace morvane {

// The Play page is long (one row per game); it is written only when asked.
void WritePresentation(const Presentation& p, bool withPlays, std::ostream& out);

}  // namespace morvane
