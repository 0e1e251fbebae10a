#pragma once
// The read-only figure tables of the analysis windows: one look, one way of
// filling a cell.
#include <QHeaderView>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <string_view>

#include "system/decimal_text.h"

namespace morvane {

namespace chart {
class ChartView;
}

inline QString Fixed(double v, int decimals) { return QString::fromStdString(FixedDecimal(v, decimals)); }
inline QString Utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline QString Percent(double share) { return Fixed(share * 100, 2) + QLatin1Char('%'); }

inline QTableWidget* MakeTable(const QStringList& columns, int rows, QWidget* parent) {
    auto* t = new QTableWidget(rows, static_cast<int>(columns.size()), parent);
    t->setHorizontalHeaderLabels(columns);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setDefaultSectionSize(18);
    t->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    return t;
}

// The first column centred (the setting or the name), figures to the right.
inline void Put(QTableWidget* t, int row, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(column == 0 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
    t->setItem(row, column, item);
}

// A chart of an analysis window: the gradient and title font of the run's charts.
chart::ChartView* MakeChart(QWidget* parent, const QString& title, QSize least);

// Columns as wide as their contents, with a little air.
void Fit(QTableWidget* t, int padding = 10);

// Figures kept in sight while newer ones are found, or that belong to inputs
// no longer on screen, are greyed; cells put later are drawn as usual.
void ShowAsStale(QTableWidget* t, bool stale);

// Every cell in sight: the table asks for its columns' width, as far as the
// screen allows, and for its rows' height, plus a scroll bar when the screen
// is too narrow.
void ShowWhole(QTableWidget* t);

}  // namespace morvane
