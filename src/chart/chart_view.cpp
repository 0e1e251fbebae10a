#include "chart/chart_view.h"

#include <QApplication>
#include <QBuffer>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QRubberBand>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace morvane::chart {
namespace {

// The tick count an axis was last set up for, kept on the axis itself.
constexpr const char* kTargetTicks = "morvaneTargetTicks";

}  // namespace

ChartView::ChartView(QWidget* parent) : QChartView(parent) {
    auto* c = new QChart;
    c->setDropShadowEnabled(false);
    c->setBackgroundRoundness(0);
    c->legend()->hide();
    c->setMargins(QMargins(4, 4, 4, 2));
    setChart(c);
    setRenderHint(QPainter::Antialiasing, false);
    setFrameStyle(QFrame::NoFrame);
    // A zoom moves the plot and every axis label at once; a partial update
    // left pieces of the old labels on screen.
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    connect(c, &QChart::plotAreaChanged, this, [this] {
        for (QAbstractAxis* a : chart()->axes())
            if (auto* axis = qobject_cast<QValueAxis*>(a)) FitTickLabels(axis);
        NotifyViewChanged();
    });
}

void ChartView::FitTickLabels(QValueAxis* axis, bool onlyWider) {
    // Labels of big game numbers side by side run into each other: a
    // bottom axis keeps no more ticks than its widest label leaves room
    // for. The figures drawn stay as they are; only the labels thin out.
    if (axis->orientation() != Qt::Horizontal || axis->tickType() != QValueAxis::TicksDynamic ||
        !(axis->tickInterval() > 0))
        return;
    const double room = chart()->plotArea().width();
    const double span = axis->max() - axis->min();
    if (!(room > 1) || !(span > 0)) return;
    const bool whole = axis->labelFormat().contains(QLatin1Char('d'));
    const auto label = [&](double v) {
        return whole ? QString::number(std::llround(v))
                     : QString::asprintf(axis->labelFormat().toLatin1().constData(), v);
    };
    const QFontMetricsF fm(axis->labelsFont());
    const double widest = std::max(fm.horizontalAdvance(label(axis->min())), fm.horizontalAdvance(label(axis->max())));
    const double each = widest + fm.horizontalAdvance(QStringLiteral("00"));  // a gap of two digits
    // Labels a step apart stand step / span x room pixels apart. Steps of
    // 2.5 x 10^k as well keep a few more of them than 1, 2, 5 alone would.
    const double least = span * each / room;
    const double p = std::pow(10.0, std::floor(std::log10(least)));
    double step = 10 * p;
    for (double f : {1.0, 2.0, 2.5, 5.0}) {
        if (f == 2.5 && whole && p < 10) continue;  // whole figures stay whole
        if (f * p >= least) {
            step = f * p;
            break;
        }
    }
    if (whole) step = std::max(1.0, step);
    const int wanted = axis->property(kTargetTicks).toInt();
    step = std::max(step, wanted > 0 && !onlyWider ? NiceStep(span, wanted, whole ? 1 : 0) : axis->tickInterval());
    if (step != axis->tickInterval()) axis->setTickInterval(step);
}

void ChartView::SetTitle(const QString& text, const QFont& font) {
    // Qt Charts centres its title; ours stands at the top left.
    if (!title_) {
        title_ = new QGraphicsSimpleTextItem(chart());
        title_->setBrush(Qt::black);
        title_->setPos(8, 3);
    }
    title_->setFont(font);
    title_->setText(text);
    QMargins m = chart()->margins();
    m.setTop(static_cast<int>(title_->boundingRect().height()) + 2);
    chart()->setMargins(m);
}

QString ChartView::Title() const { return title_ ? title_->text() : QString(); }

void ChartView::SetGradient(const QColor& top, const QColor& bottom) {
    QLinearGradient g(0, 0, 0, 1);
    g.setCoordinateMode(QGradient::ObjectBoundingMode);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    chart()->setBackgroundBrush(g);
    chart()->setBackgroundPen(Qt::NoPen);
}

QValueAxis* ChartView::AddAxis(Qt::Alignment side, const QString& title, const QFont& font, QValueAxis* axis) {
    if (!axis) axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setTitleFont(font);
    axis->setLabelsFont(font);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setGridLineVisible(side == Qt::AlignBottom || side == Qt::AlignLeft);
    chart()->addAxis(axis, side);
    connect(axis, &QValueAxis::rangeChanged, this, [this, axis] {
        FitTickLabels(axis);
        NotifyViewChanged();
    });
    // A new interval may come before its range (see SetRangeWithTicks):
    // measured against the old range, it may only grow.
    connect(axis, &QValueAxis::tickIntervalChanged, this, [this, axis] { FitTickLabels(axis, true); });
    return axis;
}

void ChartView::SetNavigable(bool on) {
    // The rectangle is drawn here rather than by QChartView, so a zoom can
    // be animated by our own hand (Qt's axis animation is not safe here).
    navigable_ = on;
    setRubberBand(QChartView::NoRubberBand);
}

void ChartView::SetAnimatedZoom(bool on) { animated_ = on; }

void ChartView::ResetZoom() {
    if (animation_) animation_->stop();
    if (home_) home_();
    NotifyViewChanged();
}

void ChartView::ZoomTo(const QRect& viewportRect) {
    const QRectF plot = chart()->plotArea();
    const QRectF r = QRectF(mapToScene(viewportRect.topLeft()), mapToScene(viewportRect.bottomRight()))
                         .normalized()
                         .intersected(plot);
    if (r.width() < 2 || r.height() < 2) return;
    struct Target {
        QValueAxis* axis;
        double fromMin, fromMax, toMin, toMax;
        int ticks;
        double minStep;
    };
    std::vector<Target> targets;
    for (QAbstractAxis* a : chart()->axes()) {
        auto* axis = qobject_cast<QValueAxis*>(a);
        if (!axis) continue;
        const double lo = axis->min(), span = axis->max() - axis->min();
        double toMin, toMax;
        if (axis->orientation() == Qt::Horizontal) {
            toMin = lo + (r.left() - plot.left()) / plot.width() * span;
            toMax = lo + (r.right() - plot.left()) / plot.width() * span;
        } else {
            toMin = lo + (plot.bottom() - r.bottom()) / plot.height() * span;
            toMax = lo + (plot.bottom() - r.top()) / plot.height() * span;
        }
        // As many ticks as the axis was set up for: counted from what it
        // shows now, each zoom would round them down until one was left.
        const bool dynamic = axis->tickType() == QValueAxis::TicksDynamic && axis->tickInterval() > 0;
        const int wanted = axis->property(kTargetTicks).toInt();
        const int ticks = !dynamic     ? 0
                          : wanted > 0 ? wanted
                                       : std::max(1, static_cast<int>(std::lround(span / axis->tickInterval())));
        const double minStep = dynamic && axis->labelFormat().contains(QLatin1Char('d')) ? 1 : 0;
        targets.push_back({axis, axis->min(), axis->max(), toMin, toMax, ticks, minStep});
    }
    if (zoomFit_) {
        std::vector<AxisRange> ranges;
        for (const Target& g : targets) ranges.push_back({g.axis, g.toMin, g.toMax});
        zoomFit_(ranges);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            targets[i].toMin = ranges[i].min;
            targets[i].toMax = ranges[i].max;
        }
    }
    auto apply = [targets](double t) {
        for (const Target& g : targets) {
            const double lo = g.fromMin + (g.toMin - g.fromMin) * t, hi = g.fromMax + (g.toMax - g.fromMax) * t;
            if (g.ticks > 0)
                SetRangeWithTicks(g.axis, lo, hi, g.ticks, g.minStep);
            else
                g.axis->setRange(lo, hi);
        }
    };
    if (!animated_) {
        apply(1);
        return;
    }
    if (!animation_) {
        animation_ = new QVariantAnimation(this);
        animation_->setDuration(200);
        animation_->setStartValue(0.0);
        animation_->setEndValue(1.0);
        animation_->setEasingCurve(QEasingCurve::OutCubic);
    }
    animation_->stop();
    animation_->disconnect(this);
    connect(animation_, &QVariantAnimation::valueChanged, this, [apply](const QVariant& v) { apply(v.toDouble()); });
    animation_->start();
}

void ChartView::ScrollBy(QPointF pixels) {
    const QRectF plot = chart()->plotArea();
    if (plot.isEmpty()) return;
    for (QAbstractAxis* a : chart()->axes()) {
        auto* axis = qobject_cast<QValueAxis*>(a);
        if (!axis || std::find(keptOnScroll_.begin(), keptOnScroll_.end(), axis) != keptOnScroll_.end()) continue;
        const double span = axis->max() - axis->min();
        const double shift = axis->orientation() == Qt::Horizontal ? -pixels.x() / plot.width() * span
                                                                   : pixels.y() / plot.height() * span;
        axis->setRange(axis->min() + shift, axis->max() + shift);
    }
}

void ChartView::NotifyViewChanged() {
    // Refits change axis ranges themselves; one pass is enough.
    if (notifying_) return;
    notifying_ = true;
    for (auto& f : viewChanged_) f();
    notifying_ = false;
}

int ChartView::PlotWidth() const { return std::max(1, static_cast<int>(chart()->plotArea().width())); }
int ChartView::PlotHeight() const { return std::max(1, static_cast<int>(chart()->plotArea().height())); }

bool ChartView::SaveImage(const QString& path, ImageFormat format) {
    // The chart alone (no hint laid over it), one pixel per pixel of the
    // view whatever the screen's scale.
    QWidget* drawn = viewport();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (format == ImageFormat::Png) {
        // As the widget shows itself, background included: a pie's view is
        // transparent and shows the page behind it.
        QImage image = drawn->grab().toImage();
        if (image.size() != drawn->size())
            image = image.scaled(drawn->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!image.save(&buffer, "PNG")) return false;
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(drawn->size());
        svg.setViewBox(drawn->rect());
        svg.setTitle(Title());
        QPainter painter;
        if (!painter.begin(&svg)) return false;
        drawn->render(&painter);
        painter.end();
        // The generator gives the size in millimetres at its own resolution,
        // which viewers turn into pixels each their own way; in pixels every
        // viewer shows the chart's size.
        static const QRegularExpression kSize(QStringLiteral("width=\"[0-9.]+mm\" height=\"[0-9.]+mm\""));
        QString text = QString::fromUtf8(bytes);
        text.replace(kSize, QStringLiteral("width=\"%1\" height=\"%2\"").arg(drawn->width()).arg(drawn->height()));
        bytes = text.toUtf8();
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QMenu* ChartView::Menu() {
    if (!menu_) menu_ = new QMenu(this);
    return menu_;
}

void ChartView::contextMenuEvent(QContextMenuEvent* e) {
    e->accept();
    // A navigable chart's right button scrolls: its release opens the menu.
    if (navigable_ && e->reason() == QContextMenuEvent::Mouse) return;
    if (menu_ && !menu_->isEmpty()) menu_->popup(e->globalPos());
}

void ChartView::mousePressEvent(QMouseEvent* e) {
    if (navigable_ && e->button() == Qt::RightButton) {
        scrolling_ = true;
        last_ = e->position();
        pressed_ = e->position();
        setCursor(Qt::ClosedHandCursor);
        e->accept();
        return;
    }
    if (navigable_ && e->button() == Qt::MiddleButton) {
        ResetZoom();
        e->accept();
        return;
    }
    if (navigable_ && e->button() == Qt::LeftButton) {
        if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, viewport());
        bandOrigin_ = e->position().toPoint();
        band_->setGeometry(QRect(bandOrigin_, QSize()));
        band_->show();
        e->accept();
        return;
    }
    QChartView::mousePressEvent(e);
}

void ChartView::mouseMoveEvent(QMouseEvent* e) {
    if (scrolling_) {
        const QPointF d = e->position() - last_;
        last_ = e->position();
        ScrollBy(d);
        e->accept();
        return;
    }
    if (band_ && band_->isVisible()) {
        band_->setGeometry(QRect(bandOrigin_, e->position().toPoint()).normalized());
        e->accept();
        return;
    }
    QChartView::mouseMoveEvent(e);
}

void ChartView::mouseReleaseEvent(QMouseEvent* e) {
    // QChartView would zoom out on a right release; the right button scrolls.
    if (e->button() == Qt::RightButton) {
        if (scrolling_) {
            scrolling_ = false;
            unsetCursor();
            const bool dragged = (e->position() - pressed_).manhattanLength() >= QApplication::startDragDistance();
            if (!dragged && menu_ && !menu_->isEmpty()) menu_->popup(e->globalPosition().toPoint());
        }
        e->accept();
        return;
    }
    if (e->button() == Qt::LeftButton && band_ && band_->isVisible()) {
        band_->hide();
        const QRect r = QRect(bandOrigin_, e->position().toPoint()).normalized();
        if (r.width() >= 4 && r.height() >= 4) ZoomTo(r);
        e->accept();
        return;
    }
    QChartView::mouseReleaseEvent(e);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (navigable_ && e->button() == Qt::LeftButton) {
        ResetZoom();
        e->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(e);
}

void ChartView::resizeEvent(QResizeEvent* e) {
    QChartView::resizeEvent(e);
    NotifyViewChanged();
}

double NiceStep(double span, int targetTicks, double minimum) {
    if (!(span > 0) || targetTicks < 1) return std::max(minimum, 1.0);
    const double raw = span / targetTicks;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / p;
    const double step = (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * p;
    return std::max(step, minimum);
}

void SetRangeWithTicks(QValueAxis* axis, double min, double max, int targetTicks, double minimumStep) {
    axis->setProperty(kTargetTicks, targetTicks);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(NiceStep(max - min, targetTicks, minimumStep));
    axis->setRange(min, max);
}

}  // namespace morvane::chart
