#include "chart/builders.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>

#include "chart/chart_view.h"

namespace morvane::chart {

void ClearChart(QChart* c) {
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) {
        // Hidden first: Qt leaves a removed axis's labels drawn otherwise.
        a->setVisible(false);
        c->removeAxis(a);
        delete a;
    }
}

QBarSeries* BuildBarChart(QChart* c, const QStringList& categories, const std::vector<double>& values,
                          const BarChartLook& look) {
    auto* set = new QBarSet(look.name);
    set->setColor(look.color);
    set->setBorderColor(Qt::white);
    set->setLabelColor(Qt::black);
    for (double v : values) *set << v;
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(look.labelFormat);
    series->setLabelsPrecision(look.labelPrecision);
    c->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsFont(look.font);
    auto* y = new QValueAxis;
    y->setRange(0, look.top);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(look.tickInterval);
    y->setLabelFormat(look.axisFormat);
    y->setLabelsFont(look.font);
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    return series;
}

QAreaSeries* BuildHistogram(QChart* c, std::int64_t low, std::int64_t width, const std::vector<std::int64_t>& counts,
                            const HistogramLook& look) {
    auto* upper = new QLineSeries;
    std::int64_t most = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double x0 = static_cast<double>(low + static_cast<std::int64_t>(i) * width);
        const auto n = static_cast<double>(counts[i]);
        upper->append(x0, n);
        upper->append(x0 + static_cast<double>(width), n);
        most = std::max(most, counts[i]);
    }
    auto* area = new QAreaSeries(upper);
    area->setName(look.name);
    area->setColor(look.fill);
    area->setBorderColor(look.border);
    c->addSeries(area);
    c->legend()->hide();
    // Round ticks: the bins' edges are round too.
    auto* x = new QValueAxis;
    x->setTitleText(look.xTitle);
    x->setLabelFormat(QStringLiteral("%d"));
    const double right = static_cast<double>(low + static_cast<std::int64_t>(counts.size()) * width);
    SetRangeWithTicks(x, static_cast<double>(low), right, 8, static_cast<double>(width));
    auto* y = new QValueAxis;
    y->setTitleText(look.yTitle);
    y->setLabelFormat(QStringLiteral("%d"));
    SetRangeWithTicks(y, 0, static_cast<double>(most) * 1.1 + 1, 5, 1);
    for (QValueAxis* a : {x, y}) {
        a->setLabelsFont(look.font);
        a->setTitleFont(look.font);
    }
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    area->attachAxis(x);
    area->attachAxis(y);
    return area;
}

std::vector<QLineSeries*> BuildLineChart(QChart* c, const std::vector<Line>& lines, const LineChartLook& look) {
    std::vector<QLineSeries*> all;
    double left = 0, right = 1, bottom = 0, top = 0;
    bool first = true;
    for (const Line& line : lines) {
        auto* s = new QLineSeries;
        s->setName(line.name);
        s->setColor(line.color);
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(line.x.size()));
        for (std::size_t i = 0; i < line.x.size() && i < line.y.size(); ++i) {
            points.append({line.x[i], line.y[i]});
            if (first) left = right = line.x[i], first = false;
            left = std::min(left, line.x[i]);
            right = std::max(right, line.x[i]);
            bottom = std::min(bottom, line.y[i]);
            top = std::max(top, line.y[i]);
        }
        s->replace(points);
        c->addSeries(s);
        all.push_back(s);
    }
    c->legend()->setVisible(true);
    c->legend()->setFont(look.font);
    auto* x = new QValueAxis;
    x->setTitleText(look.xTitle);
    x->setLabelFormat(QStringLiteral("%d"));
    SetRangeWithTicks(x, left, std::max(right, left + 1), 8, 1);
    auto* y = new QValueAxis;
    y->setTitleText(look.yTitle);
    y->setLabelFormat(QStringLiteral("%d"));
    SetRangeWithTicks(y, bottom, std::max(top, bottom + 1), 6, 1);
    for (QValueAxis* a : {x, y}) {
        a->setLabelsFont(look.font);
        a->setTitleFont(look.font);
    }
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : all) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    return all;
}

}  // namespace morvane::chart
