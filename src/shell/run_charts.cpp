#include "shell/run_charts.h"

#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QPieSeries>
#include <QPieSlice>
#include <algorithm>
#include <cmath>

#include "shell/fonts.h"

namespace morvane {
namespace {

// A history column as the chart reads it: values one record apart.
chart::Samples Samples(Column c) { return {c.first(), c.size(), Column::kStrideBytes}; }

QColor Colour(Rgb rgb) { return QColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF)); }

const QColor kSilver(0xC0, 0xC0, 0xC0);
const QRectF kPieLegend(152, 1, 106, 171);

// The legend stands at the right of its pie view.
QRectF PieLegendPlace(qreal viewWidth) {
    return {viewWidth - kPieLegend.width() - 2, kPieLegend.top(), kPieLegend.width(), kPieLegend.height()};
}
constexpr int kPieLeft = 324;
constexpr int kPieRight = kPieLeft + 260;

QFont TitleFont() { return JapaneseFont(QStringLiteral("MS UI Gothic"), 12); }
QFont AxisFont() { return JapaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 11); }

QLabel* Hint(chart::ChartView* view, int top) {
    auto* l = new QLabel(kChartHint, view);
    l->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 11));
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->move(124, top);
    l->adjustSize();
    return l;
}

chart::ChartView* Pie(QWidget* page, const char* name, QPieSeries*& series) {
    auto* view = new chart::ChartView(page);
    view->setObjectName(QString::fromLatin1(name));
    view->setGeometry(kPieLeft, 4, 260, 173);
    view->setRenderHint(QPainter::Antialiasing, true);
    QChart* c = view->chart();
    c->setBackgroundVisible(false);
    c->setMargins(QMargins(0, 0, 0, 0));
    series = new QPieSeries;
    series->setPieSize(0.86);
    series->setHorizontalPosition(0.3);
    c->addSeries(series);
    // The legend stands on its own at the right, tall enough for all eight
    // slice names and wide enough for "継続A(75%)".
    QLegend* legend = c->legend();
    legend->setVisible(true);
    legend->setAlignment(Qt::AlignRight);
    legend->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 10));
    legend->setContentsMargins(0, 0, 0, 0);
    legend->detachFromChart();
    legend->setGeometry(kPieLegend);
    legend->setBackgroundVisible(true);
    legend->setBrush(Qt::white);
    legend->setPen(QPen(Qt::black, 1));
    legend->setMarkerShape(QLegend::MarkerShapeRectangle);
    return view;
}

void FillPie(chart::ChartView* view, QPieSeries* series, std::span<const PieSlice> slices) {
    series->clear();
    for (const PieSlice& s : slices) {
        auto* slice = series->append(QString::fromUtf8(s.name.data(), static_cast<qsizetype>(s.name.size())),
                                     static_cast<qreal>(s.value));
        slice->setBrush(Colour(s.colour));
        slice->setPen(QPen(Qt::black, 1));
        slice->setLabelVisible(false);
    }
    // A detached legend lays out its new entries only when placed again.
    view->chart()->legend()->setGeometry(PieLegendPlace(view->width()));
    view->chart()->legend()->update();
}

}  // namespace

RunCharts::RunCharts(QWidget* client, QWidget* koyakuPage, QWidget* modeStayPage, QWidget* kmodePage) {
    // The bonus-interval bars.
    SlumpChart2 = new chart::ChartView(client);
    SlumpChart2->setObjectName(QStringLiteral("SlumpChart2"));
    SlumpChart2->setGeometry(4, 284, 597, 149);
    SlumpChart2->SetGradient(Qt::white, kSilver);
    SlumpChart2->SetTitle(QStringLiteral("スランプグラフ"), TitleFont());
    SlumpChart2->SetNavigable(true);
    Bottom2 = SlumpChart2->AddAxis(Qt::AlignBottom, QStringLiteral("ボーナス回数"), AxisFont());
    Left2 = SlumpChart2->AddAxis(Qt::AlignLeft, QStringLiteral("Play数"), AxisFont());
    auto* upper = new QLineSeries;
    auto* area = new QAreaSeries(upper);
    upper->setParent(area);  // an area series does not own its outline
    area->setName(QStringLiteral("SlumpBSeries"));
    area->setBrush(QColor(0xFF, 0x8E, 0x8E));
    area->setPen(QPen(Qt::white, 1));
    SlumpChart2->chart()->addSeries(area);
    area->attachAxis(Bottom2);
    area->attachAxis(Left2);
    SlumpBSeries = std::make_unique<chart::Bars>(SlumpChart2, area, Bottom2, Left2);
    Label5 = Hint(SlumpChart2, 8);
    Label5->setObjectName(QStringLiteral("Label5"));
    SlumpChart2->SetHome([this] { HomeBars(); });

    // The slump chart.
    SlumpChart = new chart::ChartView(client);
    SlumpChart->setObjectName(QStringLiteral("SlumpChart"));
    SlumpChart->setGeometry(4, 428, 597, 217);
    SlumpChart->SetGradient(kSilver, Qt::white);
    SlumpChart->chart()->setPlotAreaBackgroundVisible(false);
    SlumpChart->SetTitle(QStringLiteral("スランプグラフ"), TitleFont());
    SlumpChart->SetNavigable(true);
    SlumpChart->SetAnimatedZoom(true);
    Bottom = SlumpChart->AddAxis(Qt::AlignBottom, QStringLiteral("play"), AxisFont());
    Left = SlumpChart->AddAxis(Qt::AlignLeft, QStringLiteral("Medal"), AxisFont());
    Right = SlumpChart->AddAxis(Qt::AlignRight, QStringLiteral("滞在モード"), AxisFont());
    Right->setRange(0, 5);
    Right->setTickType(QValueAxis::TicksDynamic);
    Right->setTickAnchor(0);
    Right->setTickInterval(1);
    Right->setMinorTickCount(4);
    chart::SetRangeWithTicks(Bottom, 1, 24, 8, 1);
    chart::SetRangeWithTicks(Left, 0, 1, 5, 1);
    chart::SetRangeWithTicks(Bottom2, 0, 1, 10, 1);
    chart::SetRangeWithTicks(Left2, 0, 1, 4, 1);

    QChart* c = SlumpChart->chart();
    auto* mode = new QLineSeries;
    mode->setName(QStringLiteral("ModeSeries"));
    mode->setPen(QPen(QColor(0x00, 0x80, 0xFF), 1));
    auto* slump = new QLineSeries;
    slump->setName(QStringLiteral("SlumpSeries"));
    slump->setPen(QPen(Qt::red, 2));
    c->addSeries(mode);
    c->addSeries(slump);
    mode->attachAxis(Bottom);
    mode->attachAxis(Right);
    slump->attachAxis(Bottom);
    slump->attachAxis(Left);
    // At a game or more per pixel, a band from the lowest to the highest
    // mode would cover the plot; the mode that prevails in each column reads.
    ModeSeries = std::make_unique<chart::EnvelopeLine>(SlumpChart, mode, Bottom, chart::EnvelopeLine::Reduction::Prevailing);
    SlumpSeries = std::make_unique<chart::EnvelopeLine>(SlumpChart, slump, Bottom);
    for (Marker m : kAllMarkers) {
        auto* s = new QScatterSeries;
        s->setName(QString::fromUtf8(MarkerName(m).data(), static_cast<qsizetype>(MarkerName(m).size())));
        const bool circle = m == Marker::Cherry4 || m == Marker::Cherry2;
        const bool triangle = m == Marker::Suika_A || m == Marker::Suika_B;
        s->setMarkerShape(circle     ? QScatterSeries::MarkerShapeCircle
                          : triangle ? QScatterSeries::MarkerShapeTriangle
                                     : QScatterSeries::MarkerShapeRotatedRectangle);
        s->setMarkerSize(7);
        s->setColor(Colour(MarkerColour(m)));
        s->setBorderColor(QColor(0x40, 0x40, 0x40));
        s->setPointLabelsVisible(false);
        s->setVisible(false);
        c->addSeries(s);
        s->attachAxis(Bottom);
        s->attachAxis(Left);
        Markers[static_cast<std::size_t>(m)] = std::make_unique<chart::ThinnedPoints>(SlumpChart, s, Bottom, Left);
    }
    // The legend takes a row of its own under the bottom axis, so it covers
    // neither axis nor the line; each entry shows its series' marker.
    QLegend* legend = c->legend();
    legend->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 10));
    legend->setAlignment(Qt::AlignBottom);
    legend->setMarkerShape(QLegend::MarkerShapeFromSeries);
    legend->setBackgroundVisible(false);
    legend->setContentsMargins(0, 0, 0, 0);
    UpdateLegend();
    Label4 = Hint(SlumpChart, 12);
    Label4->setObjectName(QStringLiteral("Label4"));
    SlumpChart->SetHome([this] { HomeSlump(); });

    KoyakuChart = Pie(koyakuPage, "KoyakuChart", KoyakuSeries);
    ModeStayChart = Pie(modeStayPage, "ModeStayChart", ModeStaySeries);
    KModeChart = Pie(kmodePage, "KModeChart", KModeSeries);
}

RunCharts::~RunCharts() = default;

void RunCharts::Clear() {
    SlumpSeries->Clear();
    ModeSeries->Clear();
    SlumpBSeries->Clear();
    for (Marker m : {Marker::Cherry2, Marker::Cherry4, Marker::Suika_A, Marker::Suika_B, Marker::Chance})
        Markers[static_cast<std::size_t>(m)]->Clear();
    KoyakuSeries->clear();
    ModeStaySeries->clear();
    KModeSeries->clear();
    plays_ = 0;
}

void RunCharts::Present(const Presentation& p) {
    plays_ = p.Plays();
    if (plays_ == 0) return;
    const PlayHistory& h = *p.History();

    std::vector<chart::XY> bars;
    bars.reserve(p.BarCount());
    for (std::size_t k = 0; k < p.BarCount(); ++k) bars.push_back({p.Bar(k).x, p.Bar(k).y});
    for (Marker m : kAllMarkers) {
        std::vector<chart::XY> points;
        points.reserve(p.MarkerPointCount(m));
        for (std::size_t k = 0; k < p.MarkerPointCount(m); ++k)
            points.push_back({p.MarkerPoint(m, k).x, p.MarkerPoint(m, k).y});
        Markers[static_cast<std::size_t>(m)]->SetPoints(std::move(points));
    }
    // The lines index their data once; the home view then fits them.
    ModeSeries->SetData(Samples(h.PlayNumLog()), Samples(h.ModeLog()));
    SlumpSeries->SetData(Samples(h.PlayNumLog()), Samples(h.MedalLog()));
    const chart::Range r = SlumpSeries->YRangeOf(-INFINITY, INFINITY);
    slumpMin_ = r.min;
    slumpMax_ = r.max;
    SlumpChart->ResetZoom();
    SlumpBSeries->SetBars(std::move(bars));
    SlumpChart2->ResetZoom();

    FillPie(KoyakuChart, KoyakuSeries, p.KoyakuSlices());
    FillPie(ModeStayChart, ModeStaySeries, p.ModeStaySlices());
    FillPie(KModeChart, KModeSeries, p.KModeSlices());
}

void RunCharts::HomeSlump() {
    if (plays_ == 0) return;
    // One game cannot span an axis: it stands in the middle of 0.5 .. 1.5.
    if (plays_ == 1) {
        chart::SetRangeWithTicks(Bottom, 0.5, 1.5, 8, 1);
    } else {
        chart::SetRangeWithTicks(Bottom, 1, static_cast<double>(plays_), 8, 1);
    }
    // The balance's own range with a little room for markers at its edges.
    const double pad = std::max(1.0, (slumpMax_ - slumpMin_) * 0.05);
    chart::SetRangeWithTicks(Left, slumpMin_ - pad, slumpMax_ + pad, 5, 1);
    Right->setRange(0, 5);
}

void RunCharts::HomeBars() {
    const auto& bars = SlumpBSeries->Values();
    double top = 1;
    for (const chart::XY& b : bars) top = std::max(top, b.y);
    chart::SetRangeWithTicks(Bottom2, 0, static_cast<double>(bars.size()) + 1, 10, 1);
    // Headroom for the value boxes above the tallest bar.
    chart::SetRangeWithTicks(Left2, 0, top * 1.3 + 1, 4, 1);
}

void RunCharts::PlacePie(Page page, int left) {
    chart::ChartView* view = page == Page::Koyaku ? KoyakuChart : page == Page::ModeStay ? ModeStayChart : KModeChart;
    QPieSeries* series = page == Page::Koyaku ? KoyakuSeries : page == Page::ModeStay ? ModeStaySeries : KModeSeries;
    // Never left of the designed place; the right edge stays where it was.
    left = std::max(left + 4, kPieLeft);
    const int width = std::max(static_cast<int>(kPieLegend.width()) + 40, kPieRight - left);
    view->setGeometry(left, 4, width, 173);
    // The pie in the room left of the legend, as large as that room allows.
    const qreal room = width - kPieLegend.width() - 4;
    const qreal side = std::min<qreal>(room, 173);
    series->setHorizontalPosition(room / 2 / width);
    series->setPieSize(0.9 * side / std::min<qreal>(width, 173));
    QLegend* legend = view->chart()->legend();
    legend->setGeometry(PieLegendPlace(width));
    legend->update();
}

void RunCharts::SetMarkerOn(Marker m, bool on) {
    auto& s = Markers[static_cast<std::size_t>(m)];
    s->Series()->setVisible(on);
    if (on) s->Refresh();
    UpdateLegend();
}

bool RunCharts::MarkerOn(Marker m) const { return Markers[static_cast<std::size_t>(m)]->Series()->isVisible(); }

void RunCharts::UpdateLegend() {
    QLegend* legend = SlumpChart->chart()->legend();
    int shown = 0;
    for (QLegendMarker* marker : legend->markers()) {
        const bool on = marker->series()->type() == QAbstractSeries::SeriesTypeScatter && marker->series()->isVisible();
        marker->setVisible(on);
        shown += on;
    }
    legend->setVisible(shown > 0);
}

}  // namespace morvane
