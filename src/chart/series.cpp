#include "chart/series.h"

#include <QBrush>
#include <QCursor>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsSceneHoverEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "chart/chart_view.h"

namespace morvane::chart {
namespace {

QList<QPointF> ToQt(const std::vector<XY>& v) {
    QList<QPointF> out;
    out.reserve(static_cast<qsizetype>(v.size()));
    for (const XY& p : v) out.append(QPointF(p.x, p.y));
    return out;
}

// Above the grid and the axes, below every series.
constexpr qreal kBandZ = 3.5;
constexpr qreal kMarkZ = 10;

}  // namespace

// The stacked shares, painted as whole pixels so that each level's height is
// what the column's games give it.
class LevelBandItem : public QGraphicsItem {
public:
    LevelBandItem(QGraphicsItem* parent, EnvelopeLine* owner) : QGraphicsItem(parent), owner_(owner) {
        setZValue(kBandZ);
        setAcceptHoverEvents(true);
        setAcceptedMouseButtons(Qt::NoButton);
        hide();
    }
    QRectF boundingRect() const override { return rect_; }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        p->setRenderHint(QPainter::Antialiasing, false);
        for (const EnvelopeLine::BandColumn& c : columns_) {
            int bottom = c.bottom;
            for (std::size_t l = 0; l < c.heights.size(); ++l) {
                const int h = c.heights[l];
                if (h <= 0) continue;
                p->fillRect(QRect(c.left, bottom - h, c.right - c.left, h), colours_[l]);
                bottom -= h;
            }
        }
    }
    void Set(QRect rect, std::vector<EnvelopeLine::BandColumn> columns) {
        prepareGeometryChange();
        rect_ = rect;
        columns_ = std::move(columns);
        show();
        update();
    }
    void Clear() {
        prepareGeometryChange();
        rect_ = {};
        columns_.clear();
        hide();
    }

    std::vector<QColor> colours_;
    QStringList names_;
    std::vector<EnvelopeLine::BandColumn> columns_;
    QRect rect_;

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* e) override {
        const QString tip = owner_->BandToolTipAt(e->pos().x());
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(e->screenPos(), tip);
        }
    }
    void hoverLeaveEvent(QGraphicsSceneHoverEvent*) override { QToolTip::hideText(); }

private:
    EnvelopeLine* owner_;
};

// Which colour is which level, a row per level.
class LevelKeyItem : public QGraphicsItem {
public:
    LevelKeyItem(QGraphicsItem* parent, const QFont& font) : QGraphicsItem(parent), font_(font) {
        setZValue(kMarkZ);
        setAcceptedMouseButtons(Qt::NoButton);
        hide();
    }
    QRectF boundingRect() const override {
        const QFontMetricsF fm(font_);
        double w = 0;
        for (const QString& n : names_) w = std::max(w, fm.horizontalAdvance(n));
        return QRectF(0, 0, 14 + w, Row() * names_.size());
    }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QFontMetricsF fm(font_);
        p->setFont(font_);
        const int n = static_cast<int>(std::min<std::size_t>(colours_.size(), static_cast<std::size_t>(names_.size())));
        for (int i = 0; i < n; ++i) {
            const int level = n - 1 - i;  // as stacked: the lowest level at the foot
            const double y = i * Row();
            p->fillRect(QRectF(0, y + (Row() - 8) / 2, 10, 8), colours_[static_cast<std::size_t>(level)]);
            p->setPen(QPen(QColor(0x60, 0x60, 0x60), 0));
            p->drawRect(QRectF(0, y + (Row() - 8) / 2, 10, 8));
            p->setPen(Qt::black);
            p->drawText(QPointF(14, y + (Row() + fm.capHeight()) / 2), names_[level]);
        }
    }
    double Row() const { return QFontMetricsF(font_).height(); }
    void Set(std::vector<QColor> colours, QStringList names) {
        prepareGeometryChange();
        colours_ = std::move(colours);
        names_ = std::move(names);
    }

private:
    QFont font_;
    std::vector<QColor> colours_;
    QStringList names_;
};

EnvelopeLine::EnvelopeLine(ChartView* view, QLineSeries* series, QValueAxis* xAxis, Reduction reduction)
    : view_(view), series_(series), xAxis_(xAxis), reduction_(reduction) {
    if (reduction_ == Reduction::LevelShares) band_ = new LevelBandItem(view_->chart(), this);
    view_->OnViewChanged([this] { Refresh(); });
}

EnvelopeLine::~EnvelopeLine() = default;

void EnvelopeLine::SetLevels(std::vector<QColor> colours, QStringList names) {
    if (!band_) return;
    band_->colours_ = std::move(colours);
    band_->names_ = std::move(names);
    if (key_) key_->Set(band_->colours_, band_->names_);
    fittedPlot_ = {};
    Refresh();
}

void EnvelopeLine::SetKey(QPointF topLeft, const QFont& font) {
    if (!band_) return;
    if (!key_) {
        key_ = new LevelKeyItem(view_->chart(), font);
        key_->Set(band_->colours_, band_->names_);
    }
    key_->setPos(topLeft);
    key_->setVisible(band_->isVisible());
}

QRectF EnvelopeLine::KeyRect() const { return key_ && key_->isVisible() ? key_->sceneBoundingRect() : QRectF(); }

void EnvelopeLine::SetData(const RecordChart* data, Field field) {
    data_ = data;
    field_ = field;
    fittedPlot_ = {};
    Refresh();
}

void EnvelopeLine::Clear() {
    data_ = nullptr;
    fittedPlot_ = {};
    series_->clear();
    if (band_) band_->Clear();
    if (key_) key_->hide();
}

Range EnvelopeLine::YRangeOf(double xmin, double xmax) const {
    if (!data_) return {INFINITY, -INFINITY};
    return data_->YRange(field_, xmin, xmax);
}

bool EnvelopeLine::BandAt(double xmin, double xmax) const {
    return band_ && data_ && !band_->colours_.empty() &&
           data_->CountIn(xmin, xmax) > static_cast<std::size_t>(view_->PlotWidth());
}

bool EnvelopeLine::BandShown() const { return band_ && band_->isVisible(); }

const std::vector<EnvelopeLine::BandColumn>& EnvelopeLine::Band() const {
    static const std::vector<BandColumn> none;
    return band_ ? band_->columns_ : none;
}

QRect EnvelopeLine::BandRect() const { return BandShown() ? band_->rect_ : QRect(); }

void EnvelopeLine::Refresh() {
    if (!data_ || data_->size() == 0) return;
    const double lo = xAxis_->min(), hi = xAxis_->max();
    QChart* chart = view_->chart();
    const QRectF plot = chart->plotArea();
    if (lo == fittedMin_ && hi == fittedMax_ && plot == fittedPlot_) return;
    fittedMin_ = lo;
    fittedMax_ = hi;
    fittedPlot_ = plot;
    const int width = view_->PlotWidth();
    if (band_) {
        if (BandAt(lo, hi)) {
            std::vector<LevelColumn> columns = data_->LevelShares(lo, hi, width);
            // Its own strip at the foot of the plot, one step of the mode axis.
            const int levels = static_cast<int>(band_->colours_.size());
            const int height = std::max(4, static_cast<int>(std::lround(plot.height() * kBandShare)));
            const int bottom = static_cast<int>(std::lround(plot.bottom()));
            auto pixel = [&](double x) {
                return static_cast<int>(std::lround(chart->mapToPosition(QPointF(x, 0), series_).x()));
            };
            std::vector<BandColumn> drawn;
            drawn.reserve(columns.size());
            for (const LevelColumn& c : columns) {
                BandColumn d;
                d.data = c;
                d.left = pixel(c.x0);
                d.right = std::max(d.left + 1, pixel(c.x1));
                d.bottom = bottom;
                d.heights.assign(static_cast<std::size_t>(levels), 0);
                const std::uint64_t total = c.Total(levels);
                // Boundaries rounded from the running total, so the stack is
                // exactly the band's height and no share drifts.
                std::uint64_t below = 0;
                int previous = 0;
                for (int l = 0; l < levels && total > 0; ++l) {
                    below += c.counts[static_cast<std::size_t>(l)];
                    const int edge = static_cast<int>(std::lround(
                        static_cast<double>(height) * static_cast<double>(below) / static_cast<double>(total)));
                    d.heights[static_cast<std::size_t>(l)] = edge - previous;
                    previous = edge;
                }
                drawn.push_back(std::move(d));
            }
            const int left = static_cast<int>(std::lround(plot.left())),
                      right = static_cast<int>(std::lround(plot.right()));
            series_->clear();
            band_->Set(QRect(left, bottom - height, right - left, height), std::move(drawn));
            if (key_) key_->show();
            return;
        }
        band_->Clear();
        if (key_) key_->hide();
    }
    series_->replace(ToQt(data_->Envelope(field_, lo, hi, width)));
}

QString EnvelopeLine::BandToolTipAt(double chartX) const {
    if (!BandShown()) return {};
    const auto& columns = band_->columns_;
    const auto it = std::find_if(columns.begin(), columns.end(),
                                 [&](const BandColumn& c) { return chartX >= c.left && chartX < c.right; });
    if (it == columns.end()) return {};
    const std::uint64_t total = it->data.Total(static_cast<int>(band_->colours_.size()));
    const auto from = static_cast<long long>(std::ceil(it->data.x0));
    const auto to = std::next(it) == columns.end() ? static_cast<long long>(std::floor(it->data.x1))
                                                   : static_cast<long long>(std::ceil(it->data.x1)) - 1;
    QString tip = QStringLiteral("%1〜%2 play").arg(from).arg(std::max(from, to));
    for (int l = 0; l < band_->names_.size() && total > 0; ++l) {
        const double share = 100.0 * it->data.counts[static_cast<std::size_t>(l)] / static_cast<double>(total);
        tip += QStringLiteral("\n%1 %2%").arg(band_->names_[l]).arg(share, 0, 'f', 1);
    }
    return tip;
}

ThinnedPoints::ThinnedPoints(ChartView* view, QScatterSeries* series, QValueAxis* xAxis, QValueAxis* yAxis)
    : view_(view), series_(series), xAxis_(xAxis), yAxis_(yAxis) {
    view_->OnViewChanged([this] {
        if (alone_) Refresh();
    });
}

void ThinnedPoints::SetData(const RecordChart* data, std::size_t marker, bool refresh) {
    data_ = data;
    marker_ = marker;
    if (refresh) Refresh();
}

void ThinnedPoints::Clear() {
    data_ = nullptr;
    series_->clear();
}

void ThinnedPoints::Refresh() {
    // A switched-off series keeps its points; it is thinned when shown.
    if (!series_->isVisible() || !data_) return;
    series_->replace(ToQt(data_->Thin(marker_, xAxis_->min(), xAxis_->max(), yAxis_->min(), yAxis_->max(),
                                      view_->PlotWidth(), view_->PlotHeight())));
}

void ThinnedPoints::RefreshTogether(std::span<ThinnedPoints* const> points) {
    std::vector<ThinnedPoints*> shown;
    std::vector<std::size_t> markers;
    for (ThinnedPoints* p : points)
        if (p->series_->isVisible() && p->data_) {
            shown.push_back(p);
            markers.push_back(p->marker_);
        }
    if (shown.empty()) return;
    const ThinnedPoints& first = *shown.front();
    const auto thinned =
        first.data_->ThinMany(markers, first.xAxis_->min(), first.xAxis_->max(), first.yAxis_->min(),
                              first.yAxis_->max(), first.view_->PlotWidth(), first.view_->PlotHeight());
    for (std::size_t i = 0; i < shown.size(); ++i) shown[i]->series_->replace(ToQt(thinned[i]));
}

class MarkerLegend::Item : public QGraphicsItem {
public:
    Item(QGraphicsItem* parent, const QFont& font) : QGraphicsItem(parent), font_(font) {
        setZValue(kMarkZ);
        setAcceptedMouseButtons(Qt::NoButton);
    }
    QRectF boundingRect() const override {
        if (entries_.empty()) return {};
        const QFontMetricsF fm(font_);
        double w = 0;
        for (const Entry& e : entries_) w = std::max(w, fm.horizontalAdvance(e.name));
        return QRectF(0, 0, 2 * kPad + kMarker + kGap + std::ceil(w), 2 * kPad + Row() * entries_.size());
    }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        if (entries_.empty()) return;
        const QRectF r = boundingRect();
        p->fillRect(r, Qt::white);
        p->setPen(QPen(QColor(0x80, 0x80, 0x80), 0));
        p->drawRect(r.adjusted(0, 0, -1, -1));
        p->setFont(font_);
        const QFontMetricsF fm(font_);
        p->setRenderHint(QPainter::Antialiasing, true);
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const Entry& e = entries_[i];
            const QPointF c(kPad + kMarker / 2.0, kPad + Row() * (static_cast<double>(i) + 0.5));
            const double h = kMarker / 2.0;
            p->setPen(QPen(e.border, 1));
            p->setBrush(e.colour);
            switch (e.shape) {
            case QScatterSeries::MarkerShapeTriangle:
                p->drawPolygon(QPolygonF({c + QPointF(0, -h), c + QPointF(h, h), c + QPointF(-h, h)}));
                break;
            case QScatterSeries::MarkerShapeRotatedRectangle:
                p->drawPolygon(
                    QPolygonF({c + QPointF(0, -h), c + QPointF(h, 0), c + QPointF(0, h), c + QPointF(-h, 0)}));
                break;
            case QScatterSeries::MarkerShapeRectangle: p->drawRect(QRectF(c - QPointF(h, h), c + QPointF(h, h))); break;
            default: p->drawEllipse(c, h, h); break;
            }
            p->setPen(Qt::black);
            p->drawText(QPointF(kPad + kMarker + kGap, c.y() + fm.capHeight() / 2), e.name);
        }
    }
    double Row() const { return std::ceil(QFontMetricsF(font_).height()) + 1; }
    void Set(std::vector<Entry> entries) {
        prepareGeometryChange();
        entries_ = std::move(entries);
        setVisible(!entries_.empty());
        update();
    }

    static constexpr double kPad = 4, kMarker = 8, kGap = 4;
    QFont font_;
    std::vector<Entry> entries_;
};

MarkerLegend::MarkerLegend(ChartView* view, QPointF topLeft, const QFont& font) : item_(new Item(view->chart(), font)) {
    item_->setPos(topLeft);
}

MarkerLegend::~MarkerLegend() = default;

void MarkerLegend::SetEntries(std::vector<Entry> entries) { item_->Set(std::move(entries)); }

const std::vector<MarkerLegend::Entry>& MarkerLegend::Entries() const { return item_->entries_; }

QRectF MarkerLegend::Rect() const {
    return item_->entries_.empty() ? QRectF() : item_->mapRectToParent(item_->boundingRect());
}

// A bar's value in a small white box with horizontal lines, the figure
// upright or turned to read from below.
class ValueMark : public QGraphicsItem {
public:
    explicit ValueMark(QGraphicsItem* parent, const QFont& font) : QGraphicsItem(parent), font_(font) {
        setZValue(kMarkZ);
        setAcceptedMouseButtons(Qt::NoButton);
    }
    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), size_); }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QRectF r = boundingRect();
        p->fillRect(r, Qt::white);
        p->fillRect(r, QBrush(QColor(0xC8, 0xC8, 0xC8), Qt::HorPattern));
        p->setPen(QPen(QColor(0x80, 0x80, 0x80), 0));
        p->drawRect(r.adjusted(0, 0, -1, -1));
        p->setPen(Qt::black);
        p->setFont(font_);
        const QFontMetricsF fm(font_);
        const double advance = fm.horizontalAdvance(text_), cap = fm.capHeight();
        if (vertical_) {
            p->translate(r.center());
            p->rotate(-90);
            p->drawText(QPointF(-advance / 2, cap / 2), text_);
        } else {
            p->drawText(QPointF(r.center().x() - advance / 2, r.center().y() + cap / 2), text_);
        }
    }
    void Set(const QString& text, const QRectF& sceneRect, bool vertical) {
        prepareGeometryChange();
        text_ = text;
        vertical_ = vertical;
        size_ = sceneRect.size();
        setPos(sceneRect.topLeft());
        update();
    }
    QString text_;
    bool vertical_ = false;

private:
    QFont font_;
    QSizeF size_;
};

// What the summary's band and lines stand for, at the foot of the chart.
class SummaryKey : public QGraphicsItem {
public:
    SummaryKey(QGraphicsItem* parent, const QFont& font) : QGraphicsItem(parent), font_(font) {
        setZValue(kMarkZ);
        setAcceptedMouseButtons(Qt::NoButton);
    }
    QRectF boundingRect() const override {
        const QFontMetricsF fm(font_);
        double w = 0;
        for (const QString& t : Texts()) w += 14 + fm.horizontalAdvance(t) + 8;
        return QRectF(0, 0, w, fm.height());
    }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QFontMetricsF fm(font_);
        p->setFont(font_);
        double x = 0;
        const double mid = fm.height() / 2;
        const QStringList texts = Texts();
        for (int i = 0; i < texts.size(); ++i) {
            if (i == 0) p->fillRect(QRectF(x, mid - 4, 11, 8), Bars::kBandColour);
            if (i == 1) p->fillRect(QRectF(x, mid - 1, 11, 2), Bars::kMedianColour);
            if (i == 2) p->fillRect(QRectF(x, mid - 1, 11, 2), Bars::kMaximumColour);
            x += 14;
            p->setPen(Qt::black);
            p->drawText(QPointF(x, fm.ascent()), texts[i]);
            x += fm.horizontalAdvance(texts[i]) + 8;
        }
    }

private:
    static QStringList Texts() {
        return {QStringLiteral("四分位の幅"), QStringLiteral("中央値"), QStringLiteral("最大")};
    }
    QFont font_;
};

const QColor Bars::kBandColour(0xFF, 0x8E, 0x8E);
const QColor Bars::kMedianColour(0xB0, 0x00, 0x00);
const QColor Bars::kMaximumColour(0x80, 0x80, 0x80);

// The summary of the bars per group of pixel columns, each drawn only over
// its own columns: a line across the group at the median and at the highest
// value, the band of the quartiles between.
class BarSummaryItem : public QGraphicsItem {
public:
    BarSummaryItem(QGraphicsItem* parent, Bars* owner) : QGraphicsItem(parent), owner_(owner) {
        setZValue(kBandZ + 1);
        setAcceptHoverEvents(true);
        setAcceptedMouseButtons(Qt::NoButton);
        hide();
    }
    QRectF boundingRect() const override { return rect_; }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override {
        p->setRenderHint(QPainter::Antialiasing, false);
        p->setClipRect(rect_);
        for (const Drawn& d : drawn_) {
            p->fillRect(QRect(d.left, d.q3, d.width, std::max(1, d.q1 - d.q3)), Bars::kBandColour);
            p->fillRect(QRect(d.left, d.max - 1, d.width, 2), Bars::kMaximumColour);
            p->fillRect(QRect(d.left, d.median - 1, d.width, 2), Bars::kMedianColour);
        }
    }
    struct Drawn {
        int left, width, q1, median, q3, max;
    };
    void Set(QRectF rect, std::vector<Drawn> drawn) {
        prepareGeometryChange();
        rect_ = rect;
        drawn_ = std::move(drawn);
        show();
        update();
    }
    void Clear() {
        prepareGeometryChange();
        rect_ = {};
        drawn_.clear();
        hide();
    }

protected:
    void hoverMoveEvent(QGraphicsSceneHoverEvent* e) override {
        const QString tip = owner_->ToolTipAt(XAt(e->pos().x()));
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(e->screenPos(), tip);
        }
    }
    void hoverLeaveEvent(QGraphicsSceneHoverEvent*) override { QToolTip::hideText(); }

private:
    double XAt(double chartX) const {
        QChart* chart = static_cast<QChart*>(parentItem());
        return chart->mapToValue(QPointF(chartX, rect_.top()), owner_->Series()).x();
    }
    Bars* owner_;
    QRectF rect_;
    std::vector<Drawn> drawn_;
};

Bars::Bars(ChartView* view, QAreaSeries* series, QValueAxis* xAxis, QValueAxis* yAxis)
    : view_(view),
      series_(series),
      upper_(series->upperSeries()),
      xAxis_(xAxis),
      yAxis_(yAxis),
      outline_(series->pen()) {
    QChart* chart = view_->chart();
    markFont_ = chart->font();
    markFont_.setPixelSize(kMarkPixelSize);
    summary_ = new BarSummaryItem(chart, this);
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

Bars::~Bars() = default;

QString Bars::ToolTipAt(double x) const {
    if (summarized_) {
        const auto it =
            std::find_if(groups_.begin(), groups_.end(), [&](const BarGroup& g) { return x >= g.x0 && x <= g.x1; });
        if (it == groups_.end()) return {};
        const double from = Bar(it->first).x, to = Bar(it->first + it->count - 1).x;
        return QStringLiteral("%1〜%2回目: 中央値 %3（四分位 %4〜%5）、最大 %6")
            .arg(from, 0, 'f', 0)
            .arg(to, 0, 'f', 0)
            .arg(it->median, 0, 'f', it->median == std::floor(it->median) ? 0 : 1)
            .arg(it->q1, 0, 'f', 0)
            .arg(it->q3, 0, 'f', 0)
            .arg(it->max, 0, 'f', 0);
    }
    const double k = std::round(x);
    if (!(k >= 1 && k <= static_cast<double>(heights_.size()))) return {};
    const XY b = Bar(static_cast<std::size_t>(k) - 1);
    return QStringLiteral("%1回目: %2").arg(b.x, 0, 'f', 0).arg(b.y, 0, 'f', 0);
}

void Bars::SetBars(std::span<const std::int32_t> heights, bool refresh) {
    heights_ = heights;
    grouped_.reset();
    // The highest and the widest box once: a run may have millions of BBs
    // but few distinct heights.
    highest_ = 0;
    widestMark_ = 0;
    if (heights.empty()) {
        if (refresh) Refresh();
        return;
    }
    const auto [low, high] = std::minmax_element(heights.begin(), heights.end());
    highest_ = std::max(0.0, static_cast<double>(*high));
    auto widen = [&](std::int32_t h) {
        widestMark_ = std::max(widestMark_, MarkSize(QString::number(static_cast<double>(h), 'f', 0), false).width());
    };
    const std::int64_t span = static_cast<std::int64_t>(*high) - *low + 1;
    if (span <= std::int64_t{1} << 22) {
        std::vector<bool> seen(static_cast<std::size_t>(span));
        for (std::int32_t h : heights) seen[static_cast<std::size_t>(h - *low)] = true;
        for (std::int64_t v = 0; v < span; ++v)
            if (seen[static_cast<std::size_t>(v)]) widen(static_cast<std::int32_t>(*low + v));
    } else {
        std::vector<std::int32_t> distinct(heights.begin(), heights.end());
        std::sort(distinct.begin(), distinct.end());
        distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
        for (std::int32_t h : distinct) widen(h);
    }
    if (refresh) Refresh();
}

void Bars::Clear() {
    heights_ = {};
    highest_ = widestMark_ = 0;
    groups_.clear();
    grouped_.reset();
    upper_->clear();
    summary_->Clear();
    summarized_ = false;
    ShowKey(false);
    PlaceMarks({}, 0);
}

void Bars::Refresh() {
    const double lo = xAxis_->min(), hi = xAxis_->max();
    const auto [first, last] = VisibleBars(heights_.size(), lo, hi);
    const int columns = view_->PlotWidth();
    const double pixelsPerBar = hi > lo ? columns / (hi - lo) : columns;
    summarized_ = pixelsPerBar < 1 && last > first;
    QList<QPointF> outline;
    if (!summarized_) {
        // A pixel or more each: no more bars than pixels.
        std::vector<XY> visible;
        visible.reserve(last - first);
        for (std::size_t k = first; k < last; ++k) visible.push_back(Bar(k));
        // The white outline only where a bar is wide enough to show it inside
        // its fill; on narrower bars it would cover the fill.
        series_->setPen(0.7 * pixelsPerBar >= kMinOutlinedPixels ? outline_ : QPen(Qt::NoPen));
        // Never narrower than a pixel, so no bar falls between two.
        const double half = std::max(0.35, 0.5 / pixelsPerBar);
        for (const XY& b : visible)
            outline << QPointF(b.x - half, 0) << QPointF(b.x - half, b.y) << QPointF(b.x + half, b.y)
                    << QPointF(b.x + half, 0);
        upper_->replace(outline);
        groups_.clear();
        grouped_.reset();
        summary_->Clear();
        ShowKey(false);
        PlaceMarks(visible, pixelsPerBar);
        return;
    }
    upper_->replace(outline);
    PlaceMarks({}, pixelsPerBar);
    const GroupedView view{lo, hi, columns, PixelsPerGroup(pixelsPerBar, kGroupBars)};
    if (grouped_ != view) {
        groups_ = SummarizeBarHeights(heights_, lo, hi, columns, view.pixelsPerGroup);
        grouped_ = view;
    }
    QChart* chart = view_->chart();
    auto at = [&](double x, double y) { return chart->mapToPosition(QPointF(x, y), series_); };
    std::vector<BarSummaryItem::Drawn> drawn;
    drawn.reserve(groups_.size());
    for (const BarGroup& g : groups_) {
        const int left = static_cast<int>(std::lround(at(g.x0, 0).x()));
        const int right = std::max(left + 1, static_cast<int>(std::lround(at(g.x1, 0).x())));
        auto row = [&](double v) { return static_cast<int>(std::lround(at(g.x0, v).y())); };
        drawn.push_back({left, right - left, row(g.q1), row(g.median), row(g.q3), row(g.max)});
    }
    summary_->Set(chart->plotArea(), std::move(drawn));
    ShowKey(true);
}

void Bars::ShowKey(bool on) {
    if (!key_ && !on) return;
    if (!key_) key_ = new SummaryKey(view_->chart(), markFont_);
    const QRectF r = key_->boundingRect();
    const QSizeF size = view_->chart()->size();
    key_->setPos(size.width() - r.width() - 6, size.height() - r.height() - 3);
    key_->setVisible(on);
}

QSizeF Bars::MarkSize(const QString& text, bool vertical) const {
    const QFontMetricsF fm(markFont_);
    // White round the figure inside a 1-pixel border: along the figure two
    // pixels, across it as little as a turned box may take (its digits'
    // outline is a pixel taller than their ink), upright a little more for
    // the lines of the pattern to show.
    const double across = std::ceil(fm.horizontalAdvance(text)) + 4;
    const double digits = std::ceil(fm.tightBoundingRect(QStringLiteral("0123456789")).height());
    return vertical ? QSizeF(digits + 3, across) : QSizeF(across, digits + 6);
}

double Bars::MarkRoom(double lo, double hi) const {
    const double widest = widestMark_;
    if (widest == 0) return 0;
    const double pixelsPerBar = hi > lo ? view_->PlotWidth() / (hi - lo) : view_->PlotWidth();
    if (pixelsPerBar < 1) return 0;  // summarized: no boxes
    // Upright they fit side by side with a pixel between them, however the
    // boxes round to pixels; otherwise they may be turned, and then a
    // short figure's turned box is no lower than an upright one.
    const double upright = MarkSize(QStringLiteral("0"), false).height();
    const double high = widest + 2 <= pixelsPerBar ? upright : std::max(widest, upright);
    return std::max(0.0, kMarkGap + high + 1 - (view_->chart()->plotArea().top() - Ceiling()));
}

double Bars::Ceiling() const { return std::isnan(ceiling_) ? view_->chart()->plotArea().top() : ceiling_; }

int Bars::TryMarks(std::span<const XY> visible, const std::vector<std::size_t>& order, bool vertical,
                   std::vector<QRectF>* rects) const {
    QChart* chart = view_->chart();
    const QRectF plot = chart->plotArea();
    int shown = 0;
    rects->assign(visible.size(), QRectF());
    std::vector<QRectF> placed;
    for (std::size_t i : order) {
        const XY& b = visible[i];
        const QPointF top = chart->mapToPosition(QPointF(b.x, b.y), series_);
        if (top.x() < plot.left() - 1 || top.x() > plot.right() + 1) continue;
        const QSizeF size = MarkSize(QString::number(b.y, 'f', 0), vertical);
        // On whole pixels, so the border and the lines are sharp.
        QRectF r(std::round(top.x() - size.width() / 2), std::round(top.y()) - kMarkGap - size.height(), size.width(),
                 size.height());
        // Over its bar but within the plot's width: beside the plot stand
        // the value axis's figures.
        r.moveLeft(std::max(std::ceil(plot.left()), std::min(r.left(), std::floor(plot.right()) - r.width())));
        // Without room above the bar (a zoomed view), the box stands inside
        // it under its top, or where the bar is too short for that, at the
        // top of the plot.
        if (r.top() < Ceiling()) r.moveTop(std::round(top.y()) + kMarkGap);
        if (r.bottom() > plot.bottom()) r.moveTop(std::ceil(Ceiling()));
        if (r.bottom() > plot.bottom()) continue;
        // The first box without room ends the labelling: every bar from
        // some height up shows its figure, and none below it.
        const QRectF apart = r.adjusted(-0.5, 0, 0.5, 0);
        if (std::any_of(placed.begin(), placed.end(), [&](const QRectF& o) { return o.intersects(apart); })) break;
        placed.push_back(r);
        (*rects)[i] = r;
        ++shown;
    }
    return shown;
}

void Bars::PlaceMarks(std::span<const XY> visible, double pixelsPerBar) {
    std::vector<QRectF> rects;
    bool vertical = false;
    if (!visible.empty() && pixelsPerBar >= 1) {
        // The tallest bars first, so where room runs short the bars that
        // keep their figure are the ones that stand out.
        std::vector<std::size_t> order(visible.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return visible[a].y > visible[b].y; });
        std::vector<QRectF> upright;
        const int across = TryMarks(visible, order, false, &upright);
        if (across < static_cast<int>(visible.size())) {
            const int turned = TryMarks(visible, order, true, &rects);
            vertical = turned > across;
        }
        if (!vertical) rects = std::move(upright);
    }
    marksShown_ = 0;
    markX_.clear();
    std::size_t used = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].isNull()) continue;
        if (used == marks_.size()) marks_.push_back(new ValueMark(view_->chart(), markFont_));
        ValueMark* m = marks_[used++];
        m->Set(QString::number(visible[i].y, 'f', 0), rects[i], vertical);
        m->show();
        markX_.push_back(visible[i].x);
        ++marksShown_;
    }
    for (std::size_t i = used; i < marks_.size(); ++i) marks_[i]->hide();
}

std::vector<Bars::Mark> Bars::ShownMarks() const {
    std::vector<Mark> shown;
    for (std::size_t i = 0; i < marks_.size(); ++i) {
        const ValueMark* m = marks_[i];
        if (m->isVisible()) shown.push_back({m->sceneBoundingRect(), m->text_, markX_[i], m->vertical_});
    }
    return shown;
}

}  // namespace morvane::chart
