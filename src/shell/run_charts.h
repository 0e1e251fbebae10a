#pragma once
// The charts of a run: the slump chart with its mode line and small-win
// markers, the bonus-interval bars and the three pies, and how a
// presentation fills them.
#include <QString>
#include <array>
#include <memory>

#include "chart/chart_view.h"
#include "chart/series.h"
#include "present/presentation.h"

class QGraphicsEllipseItem;
class QCategoryAxis;
class QLabel;
class QPieSeries;
class QWidget;

namespace morvane::chart {
class PieLegend;
}

namespace morvane {

inline const QString kChartHint =
    QStringLiteral("・マウスで範囲指定して拡大できます。右クリックでドラッグしてスクロールできます。");

class RunCharts {
public:
    // The small win each marker series shows, in the order of kAllMarkers.
    static constexpr std::array<std::int32_t, kMarkerCount> kMarkerKoyaku = {Cherry4, Suika_A, Suika_B, Chance,
                                                                             Cherry2};

    // The slump charts go on `client`, each pie on its rate page.
    RunCharts(QWidget* client, QWidget* koyakuPage, QWidget* modeStayPage, QWidget* kmodePage);
    ~RunCharts();

    // Presentation step 1: every series emptied.
    void Clear();
    // Steps 2, 4, 5 and 6 from a finished presentation: the pies from p,
    // every line, marker and bar from the run's records, which must stay
    // unchanged until Clear() or the next Present().
    void Present(const Presentation& p, const RunRecords& records);
    // What the charts read from the records; null while they show none.
    const chart::RecordChart* Data() const { return data_.get(); }
    // A rate page's pie beside its list (`list`, in page coordinates): at
    // its own place unless the list reaches into it, always at its own size;
    // the legend at the pie's right, or under the list where the page has no
    // room left beside the pie.
    void PlacePie(Page page, const QRect& list);
    chart::ChartView* PieView(Page page) const;
    QPieSeries* PieSeries(Page page) const;
    chart::PieLegend* PieLegendOf(Page page) const;
    // The circle the pie is drawn in, in its view's coordinates.
    QRectF PieCircle(Page page) const;
    // A marker series on or off; its points stay either way.
    void SetMarkerOn(Marker m, bool on);
    bool MarkerOn(Marker m) const;

    chart::ChartView* SlumpChart;
    chart::ChartView* SlumpChart2;
    chart::ChartView* KoyakuChart;
    chart::ChartView* ModeStayChart;
    chart::ChartView* KModeChart;
    QLabel* Label4;
    QLabel* Label5;
    QValueAxis* Bottom;  // SlumpChart: "play"
    QValueAxis* Left;    // "Medal"
    QValueAxis* Right;   // "滞在モード", 0 .. 5; while the band shows, its strip is 0 .. 1
    static constexpr int kModeLevels = 5;
    QCategoryAxis* ModeAxis;  // Right as the axis of figures it is
    QValueAxis* Bottom2;      // SlumpChart2: "ボーナス回数"
    QValueAxis* Left2;        // "Play数"
    std::unique_ptr<chart::EnvelopeLine> ModeSeries;
    std::unique_ptr<chart::EnvelopeLine> SlumpSeries;
    std::array<std::unique_ptr<chart::ThinnedPoints>, kMarkerCount> Markers;
    std::unique_ptr<chart::Bars> SlumpBSeries;
    // The slump chart's legend: the marker series switched on.
    std::unique_ptr<chart::MarkerLegend> Legend;
    QPieSeries* KoyakuSeries;
    QPieSeries* ModeStaySeries;
    QPieSeries* KModeSeries;
    chart::PieLegend* KoyakuLegend;
    chart::PieLegend* ModeStayLegend;
    chart::PieLegend* KModeLegend;

    // Where the slump chart's legend stands, and the pie's designed place.
    static constexpr int kLegendLeft = 520;
    static constexpr int kLegendTop = 5;
    static constexpr int kPieLeft = 324;
    static constexpr int kPieTop = 4;
    static constexpr int kPieWidth = 260;
    static constexpr int kPieHeight = 173;
    static constexpr int kPieDiameter = 150;

private:
    void HomeSlump();
    void HomeBars();
    // The top of the bars' value axis while the bottom axis spans lo .. hi.
    double BarsTop(double lo, double hi) const;
    // What the medal axis adds under lo .. hi for the band's strip.
    static double BandStrip(double lo, double hi);
    void LabelModeAxis();
    void UpdateLegend();
    void RefreshMarkers();
    void PlaceModeKey();
    void FillPie(Page page, std::span<const PieSlice> slices);
    void FitPie(Page page);

    std::array<QGraphicsEllipseItem*, 3> emptyPies_{};
    std::unique_ptr<chart::RecordChart> data_;
    double slumpMin_ = 0, slumpMax_ = 1;
    std::size_t plays_ = 0;
};

}  // namespace morvane
