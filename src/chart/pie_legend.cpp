#include "chart/pie_legend.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace morvane::chart {
namespace {

constexpr int kPad = 6;  // inside the frame
constexpr int kGap = 4;  // box to name
constexpr int kColumnGap = 10;
constexpr int kShadow = 1;
constexpr int kRadius = 5;

}  // namespace

PieLegend::PieLegend(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void PieLegend::SetEntries(std::vector<Entry> entries) {
    entries_ = std::move(entries);
    updateGeometry();
    update();
}

void PieLegend::SetColumns(int columns) {
    columns_ = std::max(1, columns);
    updateGeometry();
    update();
}

int PieLegend::EntryWidth() const {
    const QFontMetrics fm(font());
    int widest = 0;
    for (const Entry& e : entries_) widest = std::max(widest, fm.horizontalAdvance(e.name));
    return kBoxWidth + kGap + widest;
}

int PieLegend::RowHeight() const { return QFontMetrics(font()).height() + 3; }

QSize PieLegend::SizeFor(int columns) const {
    columns = std::max(1, columns);
    const int n = static_cast<int>(entries_.size());
    const int rows = (n + columns - 1) / columns;
    const int shown = std::min(columns, std::max(1, n));
    return {2 * kPad + shown * EntryWidth() + (shown - 1) * kColumnGap + kShadow,
            2 * kPad + rows * RowHeight() - 3 + kShadow};
}

QRect PieLegend::BoxRect(int i) const {
    const int column = i % columns_, row = i / columns_;
    const int rowHeight = RowHeight();
    const int boxHeight = std::min(10, rowHeight - 3);
    const int x = kPad + column * (EntryWidth() + kColumnGap);
    const int y = kPad + row * rowHeight + (rowHeight - 3 - boxHeight) / 2;
    return {x, y, kBoxWidth, boxHeight};
}

void PieLegend::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRectF frame(0.5, 0.5, width() - 1 - kShadow, height() - 1 - kShadow);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    shape.addRoundedRect(frame, kRadius, kRadius);
    p.fillPath(shape.translated(kShadow, kShadow), QColor(0x60, 0x60, 0x60));
    p.fillPath(shape, Qt::white);
    p.setPen(QPen(Qt::black, 1));
    p.drawPath(shape);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetrics fm(font());
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        const QRect box = BoxRect(i);
        p.fillRect(box, entries_[static_cast<std::size_t>(i)].colour);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(box.adjusted(0, 0, -1, -1));
        const int baseline = box.center().y() + (fm.ascent() - fm.descent()) / 2 + 1;
        p.drawText(box.right() + 1 + kGap, baseline, entries_[static_cast<std::size_t>(i)].name);
    }
}

}  // namespace morvane::chart
