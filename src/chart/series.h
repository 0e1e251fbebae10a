#pragma once
// Series that keep their full data outside Qt Charts and give the chart
// only what the visible range can show.
#include <QAreaSeries>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#include <cstdint>
#include <span>
#include <vector>

#include "chart/envelope.h"

class QGraphicsRectItem;
class QGraphicsSimpleTextItem;

namespace morvane::chart {

class ChartView;

// A fast line over two columns of a history (x ascending). Dense stretches
// show each pixel column's extremes, or for a line of levels (the mode) the
// level that prevails in it.
class EnvelopeLine {
public:
    enum class Reduction { Extremes, Prevailing };
    EnvelopeLine(ChartView* view, QLineSeries* series, QValueAxis* xAxis, Reduction reduction = Reduction::Extremes);
    // The columns must stay unchanged until Clear() or the next SetData().
    void SetData(Samples x, Samples y);
    void Clear();
    void Refresh();
    QLineSeries* Series() const { return series_; }
    Samples X() const { return x_; }
    Samples Y() const { return y_; }
    // The y range of the data with xmin <= x <= xmax.
    Range YRangeOf(double xmin, double xmax) const { return YRange(x_, y_, xmin, xmax, &index_); }

private:
    ChartView* view_;
    QLineSeries* series_;
    QValueAxis* xAxis_;
    Reduction reduction_;
    Samples x_, y_;
    SeriesIndex index_;
    LevelIndex levels_;
    // The view last fitted; a change of the y axes alone needs no refit.
    double fittedMin_ = 0, fittedMax_ = -1;
    int fittedWidth_ = 0;
};

// Point markers only, at most one per pixel cell of the view.
class ThinnedPoints {
public:
    ThinnedPoints(ChartView* view, QScatterSeries* series, QValueAxis* xAxis, QValueAxis* yAxis);
    void SetPoints(std::vector<XY> points);
    void Clear();
    void Refresh();
    const std::vector<XY>& Points() const { return points_; }
    QScatterSeries* Series() const { return series_; }

private:
    ChartView* view_;
    QScatterSeries* series_;
    QValueAxis* xAxis_;
    QValueAxis* yAxis_;
    std::vector<XY> points_;
};

// Vertical bars at whole x values, each with its value in a small box above
// it while few enough bars are in view to read them.
class Bars {
public:
    Bars(ChartView* view, QAreaSeries* series, QValueAxis* xAxis, QValueAxis* yAxis);
    void SetBars(std::vector<XY> bars);
    void Clear();
    void Refresh();
    const std::vector<XY>& Values() const { return bars_; }
    QAreaSeries* Series() const { return series_; }
    int MarksShown() const { return marksShown_; }
    // The boxes shown now, in scene coordinates.
    std::vector<QRectF> ShownMarks() const;
    // "k回目: value" of the bar at x, or empty; shown when the mouse is over it.
    QString ToolTipAt(double x) const;

    static constexpr int kMaxMarks = 60;
    static constexpr double kMinOutlinedPixels = 4;

private:
    void PlaceMarks(std::span<const XY> visible);

    ChartView* view_;
    QAreaSeries* series_;
    QLineSeries* upper_;
    QValueAxis* xAxis_;
    QValueAxis* yAxis_;
    QPen outline_;
    std::vector<XY> bars_;
    std::vector<QGraphicsRectItem*> boxes_;
    std::vector<QGraphicsSimpleTextItem*> texts_;
    int marksShown_ = 0;
};

}  // namespace morvane::chart
