#include "chart/series.h"

#include <QBrush>
#include <QGraphicsRectItem>
#include <QCursor>
#include <QGraphicsSimpleTextItem>
#include <QToolTip>
#include <cmath>
#include <algorithm>

#include "chart/chart_view.h"

namespace morvane::chart {
namespace {

QList<QPointF> ToQt(const std::vector<XY>& v) {
    QList<QPointF> out;
    out.reserve(static_cast<qsizetype>(v.size()));
    for (const XY& p : v) out.append(QPointF(p.x, p.y));
    return out;
}

}  // namespace

EnvelopeLine::EnvelopeLine(ChartView* view, QLineSeries* series, QValueAxis* xAxis, Reduction reduction)
    : view_(view), series_(series), xAxis_(xAxis), reduction_(reduction) {
    view_->OnViewChanged([this] { Refresh(); });
}

void EnvelopeLine::SetData(Samples x, Samples y) {
    x_ = x;
    y_ = y;
    index_ = SeriesIndex(x, y);
    if (reduction_ == Reduction::Prevailing) levels_ = LevelIndex(y);
    fittedWidth_ = 0;
    Refresh();
}

void EnvelopeLine::Clear() {
    x_ = {};
    y_ = {};
    index_ = {};
    levels_ = {};
    fittedWidth_ = 0;
    series_->clear();
}

void EnvelopeLine::Refresh() {
    if (x_.empty()) return;
    const double lo = xAxis_->min(), hi = xAxis_->max();
    const int width = view_->PlotWidth();
    if (lo == fittedMin_ && hi == fittedMax_ && width == fittedWidth_) return;
    fittedMin_ = lo;
    fittedMax_ = hi;
    fittedWidth_ = width;
    series_->replace(ToQt(reduction_ == Reduction::Prevailing ? Prevailing(x_, y_, lo, hi, width, &index_, &levels_)
                                                                : Envelope(x_, y_, lo, hi, width, &index_)));
}

ThinnedPoints::ThinnedPoints(ChartView* view, QScatterSeries* series, QValueAxis* xAxis, QValueAxis* yAxis)
    : view_(view), series_(series), xAxis_(xAxis), yAxis_(yAxis) {
    view_->OnViewChanged([this] { Refresh(); });
}

void ThinnedPoints::SetPoints(std::vector<XY> points) {
    points_ = std::move(points);
    Refresh();
}

void ThinnedPoints::Clear() {
    points_.clear();
    series_->clear();
}

void ThinnedPoints::Refresh() {
    // A switched-off series keeps its points; it is thinned when shown.
    if (!series_->isVisible()) return;
    series_->replace(ToQt(Thin(points_, xAxis_->min(), xAxis_->max(), yAxis_->min(), yAxis_->max(),
                               view_->PlotWidth(), view_->PlotHeight())));
}

Bars::Bars(ChartView* view, QAreaSeries* series, QValueAxis* xAxis, QValueAxis* yAxis)
    : view_(view), series_(series), upper_(series->upperSeries()), xAxis_(xAxis), yAxis_(yAxis),
      outline_(series->pen()) {
    view_->OnViewChanged([this] { Refresh(); });
    // A bar whose box is not shown still tells its value under the mouse.
    QObject::connect(series_, &QAreaSeries::hovered, series_, [this](const QPointF& p, bool over) {
        const QString tip = over ? ToolTipAt(p.x()) : QString();
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(QCursor::pos(), tip, view_);
        }
    });
}

QString Bars::ToolTipAt(double x) const {
    const double k = std::round(x);
    const auto it = std::lower_bound(bars_.begin(), bars_.end(), k, [](const XY& b, double v) { return b.x < v; });
    if (it == bars_.end() || it->x != k) return {};
    return QStringLiteral("%1回目: %2").arg(it->x, 0, 'f', 0).arg(it->y, 0, 'f', 0);
}

void Bars::SetBars(std::vector<XY> bars) {
    bars_ = std::move(bars);
    Refresh();
}

void Bars::Clear() {
    bars_.clear();
    upper_->clear();
    PlaceMarks({});
}

void Bars::Refresh() {
    const double lo = xAxis_->min(), hi = xAxis_->max();
    const auto first = std::lower_bound(bars_.begin(), bars_.end(), lo - 0.5, [](const XY& b, double v) { return b.x < v; });
    const auto last = std::upper_bound(first, bars_.end(), hi + 0.5, [](double v, const XY& b) { return v < b.x; });
    const std::span<const XY> visible(bars_.data() + (first - bars_.begin()), static_cast<std::size_t>(last - first));
    QList<QPointF> outline;
    const int columns = view_->PlotWidth();
    // The white outline only where a bar is wide enough to show it inside
    // its fill; on narrower bars it would cover the fill.
    const double barPixels = hi > lo ? 0.7 * columns / (hi - lo) : 0;
    series_->setPen(barPixels >= kMinOutlinedPixels ? outline_ : QPen(Qt::NoPen));
    if (visible.size() * 3 <= static_cast<std::size_t>(columns)) {
        for (const XY& b : visible) {
            outline << QPointF(b.x - 0.35, 0) << QPointF(b.x - 0.35, b.y) << QPointF(b.x + 0.35, b.y)
                    << QPointF(b.x + 0.35, 0);
        }
    } else {
        // More bars than the view can separate: the tallest of each column.
        std::vector<double> tallest(static_cast<std::size_t>(columns), -1);
        const double scale = hi > lo ? columns / (hi - lo) : 0;
        for (const XY& b : visible) {
            const auto c = std::clamp<long>(static_cast<long>((b.x - lo) * scale), 0, columns - 1);
            tallest[static_cast<std::size_t>(c)] = std::max(tallest[static_cast<std::size_t>(c)], b.y);
        }
        const double w = (hi - lo) / columns;
        for (int c = 0; c < columns; ++c) {
            const double v = tallest[static_cast<std::size_t>(c)];
            if (v < 0) continue;
            const double x0 = lo + c * w, x1 = x0 + w;
            outline << QPointF(x0, 0) << QPointF(x0, v) << QPointF(x1, v) << QPointF(x1, 0);
        }
    }
    upper_->replace(outline);
    PlaceMarks(visible.size() <= static_cast<std::size_t>(kMaxMarks) ? visible : std::span<const XY>{});
}

void Bars::PlaceMarks(std::span<const XY> visible) {
    QChart* chart = view_->chart();
    while (boxes_.size() < visible.size()) {
        auto* box = new QGraphicsRectItem(chart);
        box->setBrush(QBrush(Qt::white, Qt::SolidPattern));
        box->setPen(QPen(Qt::gray, 0));
        box->setZValue(10);
        auto* text = new QGraphicsSimpleTextItem(box);
        QFont f = chart->font();
        f.setPixelSize(10);
        text->setFont(f);
        boxes_.push_back(box);
        texts_.push_back(text);
    }
    const QRectF plot = chart->plotArea();
    marksShown_ = 0;
    // Left to right, a box that would touch the last one shown stays hidden.
    QRectF lastShown;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        if (i >= visible.size()) {
            boxes_[i]->hide();
            continue;
        }
        const XY& b = visible[i];
        const QPointF top = chart->mapToPosition(QPointF(b.x, b.y), series_);
        texts_[i]->setText(QString::number(b.y, 'f', 0));
        const QRectF tr = texts_[i]->boundingRect();
        // 4 pixels above the bar, with a little room around the figure.
        const QRectF r(top.x() - tr.width() / 2 - 2, top.y() - 4 - tr.height() - 2, tr.width() + 4, tr.height() + 2);
        boxes_[i]->setRect(0, 0, r.width(), r.height());
        boxes_[i]->setPos(r.topLeft());
        texts_[i]->setPos(2, 1);
        const bool inside = plot.adjusted(-2, -r.height() - 6, 2, 0).contains(QPointF(top.x(), top.y()));
        const bool shown = inside && !(marksShown_ > 0 && lastShown.adjusted(-1, -1, 1, 1).intersects(r));
        boxes_[i]->setVisible(shown);
        if (shown) {
            lastShown = r;
            ++marksShown_;
        }
    }
}

std::vector<QRectF> Bars::ShownMarks() const {
    std::vector<QRectF> shown;
    for (const QGraphicsRectItem* box : boxes_)
        if (box->isVisible()) shown.push_back(box->sceneBoundingRect());
    return shown;
}

}  // namespace morvane::chart
