#include "shell/result_tables.h"

#include <QScreen>
#include <QScrollBar>
#include <algorithm>

#include "chart/chart_view.h"
#include "shell/fonts.h"

namespace morvane {

chart::ChartView* MakeChart(QWidget* parent, const QString& title, QSize least) {
    auto* c = new chart::ChartView(parent);
    c->setMinimumSize(least);
    c->SetGradient(Qt::white, QColor(0xC0, 0xC0, 0xC0));
    c->SetTitle(title, JapaneseFont(QStringLiteral("MS UI Gothic"), 12));
    return c;
}

void Fit(QTableWidget* t, int padding) {
    t->resizeColumnsToContents();
    for (int c = 0; c < t->columnCount(); ++c) t->setColumnWidth(c, t->columnWidth(c) + padding);
}

void ShowAsStale(QTableWidget* t, bool stale) {
    const QVariant look = stale ? QVariant(t->palette().brush(QPalette::Disabled, QPalette::Text)) : QVariant();
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c)
            if (QTableWidgetItem* item = t->item(r, c)) item->setData(Qt::ForegroundRole, look);
}

void ShowWhole(QTableWidget* t) {
    int width = 2 * t->frameWidth();
    for (int c = 0; c < t->columnCount(); ++c) width += t->columnWidth(c);
    const QScreen* screen = t->screen();
    const int room = screen ? screen->availableGeometry().width() - 80 : width;
    t->setMinimumWidth(std::min(width, room));
    int height = 2 * t->frameWidth() + t->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < t->rowCount(); ++r) height += t->rowHeight(r);
    if (width > room) height += t->horizontalScrollBar()->sizeHint().height();
    t->setFixedHeight(height);
}

}  // namespace morvane
