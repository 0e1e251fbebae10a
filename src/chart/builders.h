#pragma once
// Charts the analysis windows build from figures: a bar per category, a
// histogram of counts, and the teardown before a chart is built anew.
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class QChart;
class QBarSeries;
class QAreaSeries;
class QLineSeries;

namespace morvane::chart {

// Removes every series and axis, so a chart can be built again from nothing.
void ClearChart(QChart* c);

struct BarChartLook {
    QString name;  // the bar set's name
    QColor color;
    QString labelFormat;  // Qt's @value form, e.g. "@value%"
    int labelPrecision = 4;
    double top = 0;  // the value axis' end
    double tickInterval = 0;
    QString axisFormat;  // e.g. "%d%%"
    QFont font;
};
// One bar per category, labelled with its value above it.
QBarSeries* BuildBarChart(QChart* c, const QStringList& categories, const std::vector<double>& values,
                          const BarChartLook& look);

struct HistogramLook {
    QString name;
    QString xTitle, yTitle;
    QColor fill, border;
    QFont font;
};
// Bins of `width` from `low` upward; the axes' ticks fall on round values.
QAreaSeries* BuildHistogram(QChart* c, std::int64_t low, std::int64_t width, const std::vector<std::int64_t>& counts,
                            const HistogramLook& look);

struct Line {
    QString name;
    QColor color;
    std::vector<double> x, y;
};
struct LineChartLook {
    QString xTitle, yTitle;
    QFont font;
};
// One line per entry with a legend of their names; the axes span every
// point, with round ticks, and the value axis always shows 0.
std::vector<QLineSeries*> BuildLineChart(QChart* c, const std::vector<Line>& lines, const LineChartLook& look);

}  // namespace morvane::chart
