#include "present/qt/page_model.h"

#include <climits>

namespace morvane {

PageModel::PageModel(const Presentation& presentation, Page page, QObject* parent)
    : QAbstractTableModel(parent), presentation_(presentation), page_(page) {}

int PageModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    const std::size_t n = presentation_.RowCount(page_);
    return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

int PageModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : presentation_.ColumnCount(page_);
}

QVariant PageModel::data(const QModelIndex& index, int role) const {
    // The tooltip carries the whole text where a narrow column cuts it.
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()) return {};
    return QString::fromStdString(presentation_.Cell(page_, static_cast<std::size_t>(index.row()), index.column()));
}

QStringList PageModel::WidestTexts(int column) const {
    QStringList texts;
    for (const std::string& t : presentation_.WidestCells(page_, column)) texts << QString::fromStdString(t);
    return texts;
}

QVariant PageModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const auto columns = PageInfo(page_).columns;
    if (section < 0 || static_cast<std::size_t>(section) >= columns.size()) return {};
    const std::string_view caption = columns[static_cast<std::size_t>(section)].caption;
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

}  // namespace morvane
