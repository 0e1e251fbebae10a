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

class QLabel;
class QPieSeries;
class QWidget;

namespace morvane {

inline const QString kChartHint =
    QStringLiteral("・マウスで範囲指定して拡大できます。右クリックでドラッグしてスクロールできます。");

class RunCharts {
public:
    // The slump charts go on `client`, each pie on its rate page.
    RunCharts(QWidget* client, QWidget* koyakuPage, QWidget* modeStayPage, QWidget* kmodePage);
    ~RunCharts();

    // Presentation step 1: every series emptied.
    void Clear();
    // Steps 2, 4, 5 and 6 from a finished presentation.
    void Present(const Presentation& p);
    // A rate page's pie fills the page right of `left`, legend at its right.
    void PlacePie(Page page, int left);
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
    QValueAxis* Bottom;   // SlumpChart: "play"
    QValueAxis* Left;     // "Medal"
    QValueAxis* Right;    // "滞在モード", 0 .. 5
    QValueAxis* Bottom2;  // SlumpChart2: "ボーナス回数"
    QValueAxis* Left2;    // "Play数"
    std::unique_ptr<chart::EnvelopeLine> ModeSeries;
    std::unique_ptr<chart::EnvelopeLine> SlumpSeries;
    std::array<std::unique_ptr<chart::ThinnedPoints>, kMarkerCount> Markers;
    std::unique_ptr<chart::Bars> SlumpBSeries;
    QPieSeries* KoyakuSeries;
    QPieSeries* ModeStaySeries;
    QPieSeries* KModeSeries;

private:
    void HomeSlump();
    void HomeBars();
    void UpdateLegend();

    double slumpMin_ = 0, slumpMax_ = 1;
    std::size_t plays_ = 0;
};

}  // namespace morvane
