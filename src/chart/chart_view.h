#pragma once
// A chart on Qt Charts with the behaviour the result area needs: a title at
// the top left, a background gradient, zoom by a rectangle drawn with the
// left button, scroll by dragging with the right button, and a return to the
// home view by a double-click or the middle button, and a context menu on a
// right click that does not drag. Series that hold more
// points than pixels listen to ViewChanged and hand the chart only what the
// visible range can show.
#include <QChartView>
#include <QValueAxis>
#include <functional>
#include <vector>

class QGraphicsSimpleTextItem;
class QMenu;
class QRubberBand;
class QVariantAnimation;

namespace morvane::chart {

class ChartView : public QChartView {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);

    void SetTitle(const QString& text, const QFont& font);
    QString Title() const;
    // Vertical gradient from `top` to `bottom` behind the whole chart.
    void SetGradient(const QColor& top, const QColor& bottom);
    // A new value axis, or `axis` (a kind of value axis) when given.
    QValueAxis* AddAxis(Qt::Alignment side, const QString& title, const QFont& font, QValueAxis* axis = nullptr);
    // Enables zooming and scrolling (pies have neither).
    void SetNavigable(bool on);
    void SetAnimatedZoom(bool on);

    // Called to restore the home view: after a presentation and on unzoom.
    void SetHome(std::function<void()> home) { home_ = std::move(home); }
    void ResetZoom();
    // Zooms every axis to a rectangle of the viewport (what a drag draws).
    void ZoomTo(const QRect& viewportRect);
    // Where a zoom takes an axis, before it goes there.
    struct AxisRange {
        QValueAxis* axis;
        double min, max;
    };
    // Lets the chart's owner change where a zoom takes the axes: an axis
    // that keeps its range, or one that needs room the rectangle lacks.
    void SetZoomFit(std::function<void(std::vector<AxisRange>&)> fit) { zoomFit_ = std::move(fit); }
    // Scrolls by a drag of `pixels` (the content follows the mouse); axes
    // kept out of scrolling stay.
    void ScrollBy(QPointF pixels);
    void KeepOnScroll(QValueAxis* axis) { keptOnScroll_.push_back(axis); }
    // Re-fits what depends on the view (decimated series, marks, ticks).
    void OnViewChanged(std::function<void()> f) { viewChanged_.push_back(std::move(f)); }
    void NotifyViewChanged();
    int PlotWidth() const;
    // Thins a bottom axis's ticks until its labels stand apart; back to
    // the ticks it was set up for where they fit, unless `onlyWider`.
    void FitTickLabels(QValueAxis* axis, bool onlyWider = false);
    int PlotHeight() const;

    enum class ImageFormat { Png, Svg };
    // Writes the chart as shown, at the view's size in pixels; false when
    // the file could not be written (an existing file then stays whole).
    bool SaveImage(const QString& path, ImageFormat format);
    // The context menu, filled by the chart's owner; a right click without
    // a drag opens it (an empty menu is not shown).
    QMenu* Menu();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QGraphicsSimpleTextItem* title_ = nullptr;
    std::function<void()> home_;
    std::vector<std::function<void()>> viewChanged_;
    std::function<void(std::vector<AxisRange>&)> zoomFit_;
    std::vector<QValueAxis*> keptOnScroll_;
    bool navigable_ = false;
    bool animated_ = false;
    bool scrolling_ = false;
    bool notifying_ = false;
    QPointF last_;
    QPointF pressed_;
    QMenu* menu_ = nullptr;
    QRubberBand* band_ = nullptr;
    QPoint bandOrigin_;
    QVariantAnimation* animation_ = nullptr;
};

// Tick spacing of about `targetTicks` round steps (1, 2 or 5 x 10^k) over
// a span, never below `minimum`.
double NiceStep(double span, int targetTicks, double minimum);
// Sets a range with about `targetTicks` round ticks; the interval is set
// first, since an old interval over a much wider range would make the axis
// lay out a label for every one of thousands of ticks.
void SetRangeWithTicks(QValueAxis* axis, double min, double max, int targetTicks, double minimumStep);

}  // namespace morvane::chart
