#include "shell/run_charts.h"

#include <QCategoryAxis>
#include <QFontMetricsF>
#include <QGraphicsEllipseItem>
#include <QGraphicsLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QPieSeries>
#include <QPieSlice>
#include <algorithm>
#include <cmath>

#include "chart/pie_legend.h"
#include "shell/fonts.h"

namespace morvane {
namespace {

constexpr auto kMarkerKoyaku = RunCharts::kMarkerKoyaku;
static_assert(kAllMarkers[0] == Marker::Cherry4 && kAllMarkers[4] == Marker::Cherry2);

QColor Colour(Rgb rgb) {
    return QColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF), static_cast<int>(rgb & 0xFF));
}

const QColor kSilver(0xC0, 0xC0, 0xC0);

QFont TitleFont() { return JapaneseFont(QStringLiteral("MS UI Gothic"), 12); }
QFont AxisFont() { return JapaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 11); }
QFont PieLegendFont() { return JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 10); }

QLabel* Hint(chart::ChartView* view, int top) {
    auto* l = new QLabel(kChartHint, view);
    l->setFont(JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 11));
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    l->move(124, top);
    l->adjustSize();
    return l;
}

QString Name(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::size_t PieIndex(Page page) { return page == Page::Koyaku ? 0 : page == Page::ModeStay ? 1 : 2; }

chart::ChartView* Pie(QWidget* page, const char* name, QPieSeries*& series, chart::PieLegend*& legend) {
    auto* view = new chart::ChartView(page);
    view->setObjectName(QString::fromLatin1(name));
    view->setRenderHint(QPainter::Antialiasing, true);
    view->setStyleSheet(QStringLiteral("background: transparent"));
    QChart* c = view->chart();
    c->setBackgroundVisible(false);
    c->setMargins(QMargins(0, 0, 0, 0));
    c->layout()->setContentsMargins(0, 0, 0, 0);
    c->legend()->hide();
    series = new QPieSeries;
    c->addSeries(series);
    // The legend is a widget of its own: Qt's boxes follow the font's size,
    // and the page may want it elsewhere than beside the pie.
    legend = new chart::PieLegend(page);
    legend->setObjectName(QString::fromLatin1(name) + QStringLiteral("Legend"));
    legend->setFont(PieLegendFont());
    return view;
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
    // Value boxes may rise above the plot, up to the hint.
    SlumpBSeries->SetMarkCeiling(Label5->geometry().bottom() + 2);
    SlumpChart2->SetHome([this] { HomeBars(); });
    // The bars stand on 0 with room for their figures whatever the view:
    // a zoom or a scroll moves along the BBs only.
    SlumpChart2->SetZoomFit([this](std::vector<chart::ChartView::AxisRange>& ranges) {
        const auto bottom =
            std::find_if(ranges.begin(), ranges.end(), [&](const auto& r) { return r.axis == Bottom2; });
        for (auto& r : ranges)
            if (r.axis == Left2 && bottom != ranges.end()) {
                r.min = 0;
                r.max = BarsTop(bottom->min, bottom->max);
            }
    });
    SlumpChart2->KeepOnScroll(Left2);

    // The slump chart.
    SlumpChart = new chart::ChartView(client);
    SlumpChart->setObjectName(QStringLiteral("SlumpChart"));
    SlumpChart->setGeometry(4, 428, 597, 217);
    SlumpChart->SetGradient(kSilver, Qt::white);
    SlumpChart->chart()->setPlotAreaBackgroundVisible(false);
    SlumpChart->SetTitle(QStringLiteral("スランプグラフ"), TitleFont());
    // The right axis ends short of the legend's column, so the legend
    // covers neither the plot nor an axis label, whichever entries it shows.
    QMargins margins = SlumpChart->chart()->margins();
    margins.setRight(SlumpChart->width() - (kLegendLeft - 2));
    SlumpChart->chart()->setMargins(margins);
    SlumpChart->SetNavigable(true);
    SlumpChart->SetAnimatedZoom(true);
    Bottom = SlumpChart->AddAxis(Qt::AlignBottom, QStringLiteral("play"), AxisFont());
    Left = SlumpChart->AddAxis(Qt::AlignLeft, QStringLiteral("Medal"), AxisFont());
    // Figures where they mean something: the levels for the line, the
    // shares of the band's strip for the band.
    ModeAxis = new QCategoryAxis;
    ModeAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    Right = SlumpChart->AddAxis(Qt::AlignRight, QStringLiteral("滞在モード"), AxisFont(), ModeAxis);
    Right->setRange(0, kModeLevels);
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
    // With more games than pixels a line of modes would be a comb; the band
    // tells per pixel column how its games divide among the modes, in the
    // colours of the mode-stay pie.
    ModeSeries =
        std::make_unique<chart::EnvelopeLine>(SlumpChart, mode, Bottom, chart::EnvelopeLine::Reduction::LevelShares);
    {
        std::vector<QColor> colours;
        QStringList names;
        for (const PieSlice& slice : Presentation().ModeStaySlices()) {
            colours.push_back(Colour(slice.colour));
            names << Name(slice.name);
        }
        ModeSeries->SetLevels(std::move(colours), std::move(names));
    }
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
        Markers[static_cast<std::size_t>(m)]->RefreshWithOthers();
    }
    // All the series shown, in one pass over the run for a view.
    SlumpChart->OnViewChanged([this] { RefreshMarkers(); });
    // The legend stands on its own at 520, 5, so entries coming and going
    // never move the plot; each entry shows its series' marker.
    c->legend()->hide();
    Legend = std::make_unique<chart::MarkerLegend>(SlumpChart, QPointF(kLegendLeft, kLegendTop),
                                                   JapaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 10));
    UpdateLegend();
    // The mode band's colours, in the same column under the legend.
    SlumpChart->OnViewChanged([this] {
        PlaceModeKey();
        LabelModeAxis();
    });
    PlaceModeKey();
    LabelModeAxis();
    Label4 = Hint(SlumpChart, 12);
    Label4->setObjectName(QStringLiteral("Label4"));
    SlumpChart->SetHome([this] { HomeSlump(); });
    // The mode axis keeps its levels (or the band's strip) in every view;
    // a zoom that shows the band leaves it its strip under the balance.
    SlumpChart->SetZoomFit([this](std::vector<chart::ChartView::AxisRange>& ranges) {
        const auto bottom = std::find_if(ranges.begin(), ranges.end(), [&](const auto& r) { return r.axis == Bottom; });
        for (auto& r : ranges) {
            if (r.axis == Right) {
                r.min = 0;
                r.max = kModeLevels;
            } else if (r.axis == Left && bottom != ranges.end() && ModeSeries->BandAt(bottom->min, bottom->max)) {
                r.min -= BandStrip(r.min, r.max);
            }
        }
    });
    SlumpChart->KeepOnScroll(Right);

    KoyakuChart = Pie(koyakuPage, "KoyakuChart", KoyakuSeries, KoyakuLegend);
    ModeStayChart = Pie(modeStayPage, "ModeStayChart", ModeStaySeries, ModeStayLegend);
    KModeChart = Pie(kmodePage, "KModeChart", KModeSeries, KModeLegend);
    const Presentation none;
    for (Page page : {Page::Koyaku, Page::ModeStay, Page::KeizokuSelect}) {
        chart::ChartView* view = PieView(page);
        QObject::connect(view->chart(), &QChart::plotAreaChanged, view, [this, page] { FitPie(page); });
        auto* circle = new QGraphicsEllipseItem(view->chart());
        circle->setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 1));
        circle->setBrush(Qt::NoBrush);
        circle->hide();
        emptyPies_[PieIndex(page)] = circle;
    }
    // The legends name their slices before any run.
    auto name = [](chart::PieLegend* legend, auto slices) {
        std::vector<chart::PieLegend::Entry> entries;
        for (const PieSlice& s : slices) entries.push_back({Name(s.name), Colour(s.colour)});
        legend->SetEntries(std::move(entries));
    };
    name(KoyakuLegend, none.KoyakuSlices());
    name(ModeStayLegend, none.ModeStaySlices());
    name(KModeLegend, none.KModeSlices());
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
    for (QGraphicsEllipseItem* circle : emptyPies_) circle->hide();
    plays_ = 0;
    data_.reset();
}

void RunCharts::Present(const Presentation& p, const RunRecords& records) {
    plays_ = records.size();
    if (plays_ == 0) return;
    // One pass over the records; every view then reads what it shows.
    data_ = std::make_unique<chart::RecordChart>(records, kMarkerKoyaku);
    // Thinned with the home view's axes, below.
    for (std::size_t m = 0; m < Markers.size(); ++m) Markers[m]->SetData(data_.get(), m, false);
    // The home view then fits the lines.
    ModeSeries->SetData(data_.get(), chart::Field::Mode);
    SlumpSeries->SetData(data_.get(), chart::Field::Balance);
    const chart::Range r = SlumpSeries->YRangeOf(-INFINITY, INFINITY);
    slumpMin_ = r.min;
    slumpMax_ = r.max;
    SlumpChart->ResetZoom();
    // Summed up once, for the new run's axes the zoom's reset sets.
    SlumpBSeries->SetBars(data_->BarHeights(), false);
    SlumpChart2->ResetZoom();

    FillPie(Page::Koyaku, p.KoyakuSlices());
    FillPie(Page::ModeStay, p.ModeStaySlices());
    FillPie(Page::KeizokuSelect, p.KModeSlices());
}

void RunCharts::HomeSlump() {
    if (plays_ == 0) return;
    // One game cannot span an axis: it stands in the middle of 0.5 .. 1.5.
    if (plays_ == 1) {
        chart::SetRangeWithTicks(Bottom, 0.5, 1.5, 8, 1);
    } else {
        chart::SetRangeWithTicks(Bottom, 1, static_cast<double>(plays_), 8, 1);
    }
    // The balance's own range with a little room for markers at its edges,
    // and under it the band's strip, which the line never crosses.
    const double pad = std::max(1.0, (slumpMax_ - slumpMin_) * 0.05);
    const double lo = slumpMin_ - pad, hi = slumpMax_ + pad;
    if (ModeSeries->BandAt(Bottom->min(), Bottom->max())) {
        chart::SetRangeWithTicks(Left, lo - BandStrip(lo, hi), hi, 6, 1);
    } else {
        chart::SetRangeWithTicks(Left, lo, hi, 5, 1);
    }
    Right->setRange(0, kModeLevels);
}

double RunCharts::BandStrip(double lo, double hi) {
    // The strip takes the band's share of the plot; the line the rest.
    constexpr double share = chart::EnvelopeLine::kBandShare;
    return (hi - lo) * share / (1 - share);
}

void RunCharts::LabelModeAxis() {
    // The band's height is shares of games, not levels: the axis says so,
    // with the shares at the strip and no level figures.
    const bool band = ModeSeries->BandShown();
    const QString title = band ? QStringLiteral("滞在モード比率") : QStringLiteral("滞在モード");
    if (Right->titleText() != title) Right->setTitleText(title);
    QStringList figures;
    if (band) {
        figures << QStringLiteral("0%") << QStringLiteral("100%");
    } else {
        for (int level = 0; level <= kModeLevels; ++level) figures << QString::number(level);
    }
    if (ModeAxis->categoriesLabels() == figures) return;
    for (const QString& c : ModeAxis->categoriesLabels()) ModeAxis->remove(c);
    // Each figure stands at its category's end; the first ends at 0.
    ModeAxis->setStartValue(-1);
    const double strip = chart::EnvelopeLine::kBandShare * kModeLevels;
    for (int i = 0; i < figures.size(); ++i) ModeAxis->append(figures[i], band ? i * strip : i);
}

void RunCharts::HomeBars() {
    // Half a bar's room either side: every bar gets the most width.
    const double hi = static_cast<double>(std::max<std::size_t>(SlumpBSeries->Count(), 1)) + 0.5;
    chart::SetRangeWithTicks(Bottom2, 0.5, hi, 10, 1);
    chart::SetRangeWithTicks(Left2, 0, BarsTop(0.5, hi), 4, 1);
}

double RunCharts::BarsTop(double lo, double hi) const {
    const double top = std::max(1.0, SlumpBSeries->Highest());
    // Room above the tallest bar for its value box, as the boxes stand
    // while the bottom axis spans lo .. hi.
    const double room = SlumpBSeries->MarkRoom(lo, hi);
    const double height = SlumpChart2->PlotHeight();
    const double max = room > 0 && height > room + 20 ? top * height / (height - room) : top * 1.3 + 1;
    return std::ceil(max);
}

chart::ChartView* RunCharts::PieView(Page page) const {
    return page == Page::Koyaku ? KoyakuChart : page == Page::ModeStay ? ModeStayChart : KModeChart;
}

QPieSeries* RunCharts::PieSeries(Page page) const {
    return page == Page::Koyaku ? KoyakuSeries : page == Page::ModeStay ? ModeStaySeries : KModeSeries;
}

chart::PieLegend* RunCharts::PieLegendOf(Page page) const {
    return page == Page::Koyaku ? KoyakuLegend : page == Page::ModeStay ? ModeStayLegend : KModeLegend;
}

QRectF RunCharts::PieCircle(Page page) const {
    const QRectF plot = PieView(page)->chart()->plotArea();
    const QPieSeries* series = PieSeries(page);
    const qreal d = std::min(plot.width(), plot.height()) * series->pieSize();
    const QPointF centre(plot.left() + plot.width() * series->horizontalPosition(),
                         plot.top() + plot.height() * series->verticalPosition());
    return {centre.x() - d / 2, centre.y() - d / 2, d, d};
}

void RunCharts::FitPie(Page page) {
    const QRectF plot = PieView(page)->chart()->plotArea();
    if (plot.isEmpty()) return;
    QPieSeries* series = PieSeries(page);
    series->setHorizontalPosition(0.5);
    series->setVerticalPosition(0.5);
    series->setPieSize(std::min<qreal>(1, kPieDiameter / std::min(plot.width(), plot.height())));
    emptyPies_[PieIndex(page)]->setRect(PieCircle(page));
}

void RunCharts::FillPie(Page page, std::span<const PieSlice> slices) {
    QPieSeries* series = PieSeries(page);
    series->clear();
    std::int64_t total = 0;
    for (const PieSlice& s : slices) {
        auto* slice = series->append(Name(s.name), static_cast<qreal>(s.value));
        slice->setBrush(Colour(s.colour));
        // An empty slice has no edge to draw: its outline would be a stray
        // line from the centre.
        slice->setPen(s.value > 0 ? QPen(Qt::black, 1) : QPen(Qt::NoPen));
        slice->setLabelVisible(false);
        total += s.value;
    }
    // With no slice at all, the outline of where the pie would be.
    FitPie(page);
    emptyPies_[PieIndex(page)]->setVisible(total == 0 && !slices.empty());
}

void RunCharts::PlacePie(Page page, const QRect& list) {
    chart::ChartView* view = PieView(page);
    chart::PieLegend* legend = PieLegendOf(page);
    const QWidget* sheet = view->parentWidget();
    const int right = std::max(kPieLeft + kPieWidth, sheet->width() - 4);
    // The pie keeps its size; it stands where it was designed unless the
    // list reaches into that place.
    const int side = kPieDiameter + 10;
    const int left = std::min(std::max(kPieLeft, list.right() + 6), right - side);
    view->setGeometry(left, kPieTop, side, kPieHeight);
    // The legend takes what room is left: beside the pie, else under the
    // list in as many columns as its width takes.
    legend->SetColumns(1);
    const QSize one = legend->SizeFor(1);
    const int besideLeft = left + side + 4;
    QRect place(besideLeft, kPieTop + (kPieHeight - one.height()) / 2, one.width(), one.height());
    if (besideLeft + one.width() > right) {
        int columns = 1;
        while (columns < static_cast<int>(legend->Entries().size()) &&
               legend->SizeFor(columns + 1).width() <= list.width())
            ++columns;
        const QSize size = legend->SizeFor(columns);
        if (list.bottom() + 5 + size.height() <= sheet->height() - 2) {
            legend->SetColumns(columns);
            place = QRect(list.left(), list.bottom() + 5, size.width(), size.height());
        } else {
            place.setWidth(std::max(kPieDiameter / 4, right - besideLeft));
        }
    }
    legend->setGeometry(place);
    legend->show();
    legend->raise();
    FitPie(page);
}

void RunCharts::SetMarkerOn(Marker m, bool on) {
    auto& s = Markers[static_cast<std::size_t>(m)];
    s->Series()->setVisible(on);
    if (on) s->Refresh();
    UpdateLegend();
}

void RunCharts::RefreshMarkers() {
    std::array<chart::ThinnedPoints*, kMarkerCount> all;
    for (std::size_t m = 0; m < Markers.size(); ++m) all[m] = Markers[m].get();
    chart::ThinnedPoints::RefreshTogether(all);
}

bool RunCharts::MarkerOn(Marker m) const { return Markers[static_cast<std::size_t>(m)]->Series()->isVisible(); }

void RunCharts::UpdateLegend() {
    std::vector<chart::MarkerLegend::Entry> entries;
    for (Marker m : kAllMarkers) {
        const QScatterSeries* s = Markers[static_cast<std::size_t>(m)]->Series();
        if (s->isVisible()) entries.push_back({s->name(), s->markerShape(), s->color(), s->borderColor()});
    }
    Legend->SetEntries(std::move(entries));
}

void RunCharts::PlaceModeKey() {
    // At the foot of the legend's column, level with the plot's bottom.
    const QFont font = JapaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 10);
    const qreal rows = static_cast<qreal>(Presentation().ModeStaySlices().size());
    const qreal bottom = SlumpChart->chart()->plotArea().bottom();
    ModeSeries->SetKey(QPointF(kLegendLeft + 4, bottom - rows * QFontMetricsF(font).height()), font);
}

}  // namespace morvane
