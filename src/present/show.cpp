#include "present/show.h"

#include <ostream>
#include <string>

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

}  // namespace morvane
