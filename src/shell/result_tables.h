#pragma once
// The read-only figure tables of the analysis windows: one look, one way of
// filling a cell.
#include <QHeaderView>
#include <QString>
#include <QStringList>
#include <QTableWidget>

namespace morvane {

inline QString Fixed(double v, int decimals) { return QString::number(v, 'f', decimals); }
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

}  // namespace morvane
