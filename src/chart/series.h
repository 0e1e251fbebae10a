#pragma once
// Series that keep their full data outside Qt Charts and give the chart
// only what the visible range can show.
#include <QAreaSeries>
#include <QColor>
#include <QLineSeries>
#include <QScatterSeries>
#include <QStringList>
#include <QValueAxis>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "chart/bands.h"
#include "chart/envelope.h"
#include "chart/record_chart.h"

class QGraphicsItem;

namespace morvane::chart {

class ChartView;
class LevelBandItem;
class LevelKeyItem;
class ValueMark;
class BarSummaryItem;

// A fast line of one value of a run's records against the game number.
// Dense stretches show each pixel column's extremes; a line of levels (the mode) shows
// instead, once it has more games than pixels, how each pixel column's games
// divide among the levels, stacked in a band at the foot of the plot.
class EnvelopeLine {
public:
    enum class Reduction { Extremes, LevelShares };
    EnvelopeLine(ChartView* view, QLineSeries* series, QValueAxis* xAxis, Reduction reduction = Reduction::Extremes);
    ~EnvelopeLine();
    // The data must stay until Clear() or the next SetData().
    void SetData(const RecordChart* data, Field field);
    void Clear();
    void Refresh();
    QLineSeries* Series() const { return series_; }
    // The y range of the data with xmin <= x <= xmax.
    Range YRangeOf(double xmin, double xmax) const;

    // The levels' colours and names, from level 0 up (LevelShares only).
    void SetLevels(std::vector<QColor> colours, QStringList names);
    // While the band shows, a key of its colours stands at `topLeft` (chart
    // coordinates), the highest level at the top.
    void SetKey(QPointF topLeft, const QFont& font);
    QRectF KeyRect() const;
    // One column of the band as drawn: its pixels (chart coordinates) and,
    // from the bottom up, the pixel height of each level.
    struct BandColumn {
        LevelColumn data;
        int left = 0, right = 0;  // pixels [left, right)
        int bottom = 0;           // the band's lowest pixel row + 1
        std::vector<int> heights;
    };
    // The band's share of the plot's height, at its foot.
    static constexpr double kBandShare = 0.2;
    // Whether the band rather than the line shows while the x axis spans
    // xmin .. xmax: with more games in view than pixels across.
    bool BandAt(double xmin, double xmax) const;
    bool BandShown() const;
    const std::vector<BandColumn>& Band() const;
    // The band's rectangle in chart coordinates; empty while it is hidden.
    QRect BandRect() const;
    // "<from>〜<to> play" and each level's share of the column at chart x.
    QString BandToolTipAt(double chartX) const;

private:
    ChartView* view_;
    QLineSeries* series_;
    QValueAxis* xAxis_;
    Reduction reduction_;
    const RecordChart* data_ = nullptr;
    Field field_ = Field::Balance;
    LevelBandItem* band_ = nullptr;
    LevelKeyItem* key_ = nullptr;
    // The view last fitted; a change of the y axes alone needs no refit.
    double fittedMin_ = 0, fittedMax_ = -1;
    QRectF fittedPlot_;
};

// Point markers only, at most one per pixel cell of the view: one marker
// series of a run's records.
class ThinnedPoints {
public:
    ThinnedPoints(ChartView* view, QScatterSeries* series, QValueAxis* xAxis, QValueAxis* yAxis);
    // The data must stay until Clear() or the next SetData(); refreshed
    // at once unless `refresh` is false.
    void SetData(const RecordChart* data, std::size_t marker, bool refresh = true);
    void Clear();
    void Refresh();
    // Several series of one chart's data on the same axes, refreshed in
    // one pass over the run: a block played again serves every series
    // shown that needs it.
    static void RefreshTogether(std::span<ThinnedPoints* const> points);
    // A change of view leaves this series to RefreshTogether.
    void RefreshWithOthers() { alone_ = false; }
    // The series' points in the whole run, drawn or not.
    std::size_t Count() const { return data_ ? data_->MarkerPoints(marker_) : 0; }
    QScatterSeries* Series() const { return series_; }

private:
    ChartView* view_;
    QScatterSeries* series_;
    QValueAxis* xAxis_;
    QValueAxis* yAxis_;
    const RecordChart* data_ = nullptr;
    std::size_t marker_ = 0;
    bool alone_ = true;
};

// A legend of point-marker series at a fixed place in the chart, apart from
// the chart's layout, so entries coming and going never move the plot: per
// entry the series' marker and its name, one row each.
class MarkerLegend {
public:
    struct Entry {
        QString name;
        QScatterSeries::MarkerShape shape;
        QColor colour;
        QColor border;
    };
    MarkerLegend(ChartView* view, QPointF topLeft, const QFont& font);
    ~MarkerLegend();
    void SetEntries(std::vector<Entry> entries);
    const std::vector<Entry>& Entries() const;
    // In chart coordinates; empty while there is no entry.
    QRectF Rect() const;

private:
    class Item;
    Item* item_;
};

// Vertical bars at x = 1, 2, ... While each bar has a pixel or more, every
// bar is drawn and shows its value in a small box above it where there is
// room: the tallest bars first, down to the first that finds none, so the
// bars with a figure are the tallest ones; narrower, each pixel column (or a few, so
// that each holds several bars) shows the quartiles of its bars as a band,
// their median as a line and their highest as a thin line above.
class Bars {
public:
    Bars(ChartView* view, QAreaSeries* series, QValueAxis* xAxis, QValueAxis* yAxis);
    ~Bars();
    // Bar k + 1 stands heights[k] high; the heights must stay until Clear()
    // or the next SetBars(). Drawn now, or (refresh false) at the next
    // change of view.
    void SetBars(std::span<const std::int32_t> heights, bool refresh = true);
    void Clear();
    void Refresh();
    std::span<const std::int32_t> Heights() const { return heights_; }
    std::size_t Count() const { return heights_.size(); }
    XY Bar(std::size_t k) const { return {static_cast<double>(k + 1), static_cast<double>(heights_[k])}; }
    // The tallest bar's height; 0 without bars.
    double Highest() const { return highest_; }
    QAreaSeries* Series() const { return series_; }
    int MarksShown() const { return marksShown_; }
    struct Mark {
        QRectF rect;  // scene coordinates
        QString text;
        double x;  // the bar's
        bool vertical;
    };
    // The boxes shown now.
    std::vector<Mark> ShownMarks() const;
    // Whether the view shows the per-column summary rather than the bars.
    bool Summarized() const { return summarized_; }
    const std::vector<BarGroup>& Groups() const { return groups_; }
    // The bar at x, or in a summary the group at x, as the mouse tells it.
    QString ToolTipAt(double x) const;
    // The colours of the summary: the quartiles' band, the median, the highest.
    static const QColor kBandColour, kMedianColour, kMaximumColour;
    // The room the tallest bar needs under the plot's top for its value
    // box and the 4-pixel gap, while the bottom axis spans lo .. hi.
    double MarkRoom(double lo, double hi) const;
    // How high (chart y) a box may reach: above the plot, up to what stands
    // over it. The plot's top unless set.
    void SetMarkCeiling(double chartY) { ceiling_ = chartY; }

    static constexpr double kMinOutlinedPixels = 4;
    // Bars per group once they are narrower than a pixel.
    static constexpr int kGroupBars = 8;
    static constexpr int kMarkPixelSize = 10;
    static constexpr int kMarkGap = 4;

private:
    // The boxes, horizontal or turned upright, whichever labels more bars.
    void PlaceMarks(std::span<const XY> visible, double pixelsPerBar);
    int TryMarks(std::span<const XY> visible, const std::vector<std::size_t>& order, bool vertical,
                 std::vector<QRectF>* rects) const;
    QSizeF MarkSize(const QString& text, bool vertical) const;
    double Ceiling() const;
    void ShowKey(bool on);

    ChartView* view_;
    QAreaSeries* series_;
    QLineSeries* upper_;
    BarSummaryItem* summary_;
    QValueAxis* xAxis_;
    QValueAxis* yAxis_;
    QPen outline_;
    QFont markFont_;
    std::span<const std::int32_t> heights_;
    double highest_ = 0;
    double widestMark_ = 0;  // the widest upright box of any bar
    std::vector<BarGroup> groups_;
    // The view groups_ was summed up for: a view shown again (a new run's
    // axes are set more than once) reuses it until the bars change.
    struct GroupedView {
        double lo = 0, hi = 0;
        int columns = 0, pixelsPerGroup = 0;
        friend bool operator==(const GroupedView&, const GroupedView&) = default;
    };
    std::optional<GroupedView> grouped_;
    std::vector<ValueMark*> marks_;
    std::vector<double> markX_;
    QGraphicsItem* key_ = nullptr;
    int marksShown_ = 0;
    bool summarized_ = false;
    double ceiling_ = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace morvane::chart
