// What the charts hold after a presentation, and how they zoom and scroll.
#include <QCheckBox>
#include <QComboBox>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QMenu>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>
#include <set>

#include <QGraphicsTextItem>
#include <QLabel>

#include "chart/pie_legend.h"
#include "fake_services.h"
#include "model/theory.h"
#include "run/checkpointed_run.h"
#include "shell/main_form.h"
#include "shell/result_list.h"
#include "shell/run_charts.h"
#include "support/held_records.h"
#include "test_window.h"

using namespace morvane;
using morvane::testing::FakeServices;
using morvane::testing::Window;

namespace {

QList<QString> LegendNames(RunCharts& c) {
    QList<QString> names;
    for (const auto& e : c.Legend->Entries()) names << e.name;
    return names;
}

// The axes' labels and titles as drawn, in chart coordinates.
std::vector<std::pair<QString, QRectF>> AxisTexts(QChart* c) {
    std::vector<std::pair<QString, QRectF>> texts;
    for (QGraphicsItem* item : c->scene()->items()) {
        if (item->type() != QGraphicsTextItem::Type || !item->isVisible()) continue;
        const QString t = static_cast<QGraphicsTextItem*>(item)->toPlainText();
        if (!t.isEmpty()) texts.emplace_back(t, item->sceneBoundingRect());
    }
    return texts;
}

// The figures of the value axis left of the plot.
QStringList LeftFigures(QChart* c) {
    QStringList figures;
    for (const auto& [text, rect] : AxisTexts(c)) {
        bool number = false;
        text.toInt(&number);
        if (number && rect.right() <= c->plotArea().left()) figures << text;
    }
    return figures;
}

// The mode axis's figures right of the plot, from the bottom up.
QStringList RightFigures(QChart* c) {
    static const QRegularExpression figure(QStringLiteral("^[0-9]+%?$"));
    std::vector<std::pair<double, QString>> figures;
    for (const auto& [text, rect] : AxisTexts(c))
        if (rect.left() >= c->plotArea().right() && figure.match(text).hasMatch())
            figures.emplace_back(-rect.center().y(), text);
    std::sort(figures.begin(), figures.end());
    QStringList out;
    for (const auto& f : figures) out << f.second;
    return out;
}

// A rubber band drawn with the mouse from `a` to `b`, shares of the plot.
void DragZoom(chart::ChartView* view, QPointF a, QPointF b) {
    const QRectF plot = view->chart()->plotArea();
    auto at = [&](QPointF share) {
        return view->mapFromScene(
            QPointF(plot.left() + plot.width() * share.x(), plot.top() + plot.height() * share.y()));
    };
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(a));
    QTest::mouseMove(view->viewport(), at(b));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(b));
}

void DragScroll(chart::ChartView* view, QPoint by) {
    const QPoint start = view->viewport()->rect().center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + by), view->viewport()->mapToGlobal(QPointF(start + by)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, start + by);
}

// The bars as points: bar k + 1 at its height.
std::vector<chart::XY> BarPoints(const chart::Bars& bars) {
    std::vector<chart::XY> points;
    for (std::size_t k = 0; k < bars.Count(); ++k) points.push_back(bars.Bar(k));
    return points;
}

// The value boxes of the bars in view, each over its own bar: just above
// it, under the hint, within the plot's width (centred on the bar but at
// the plot's edge), and clear of every axis label.
void CheckMarksStandOverTheirBars(Window& w) {
    chart::ChartView* view = w.charts().SlumpChart2;
    const chart::Bars& series = *w.charts().SlumpBSeries;
    QChart* c = view->chart();
    const QRectF plot = c->plotArea();
    const QRect hint = w.charts().Label5->geometry();
    const double ceiling = view->mapToScene(hint.bottomLeft()).y();
    const auto texts = AxisTexts(c);
    const std::vector<chart::XY> bars = BarPoints(series);
    for (const chart::Bars::Mark& m : series.ShownMarks()) {
        const auto bar = std::find_if(bars.begin(), bars.end(), [&](const chart::XY& b) { return b.x == m.x; });
        QVERIFY(bar != bars.end());
        const QPointF top = c->mapToPosition(QPointF(bar->x, bar->y), series.Series());
        QVERIFY2(std::abs(m.rect.bottom() - (top.y() - 4)) <= 1, qPrintable(m.text));
        QVERIFY2(m.rect.top() > ceiling, qPrintable(m.text));
        QVERIFY2(m.rect.left() >= plot.left() && m.rect.right() <= plot.right(), qPrintable(m.text));
        const bool centred = std::abs(m.rect.center().x() - top.x()) <= 1;
        const bool atEdge = (m.rect.left() - plot.left() < 1 || plot.right() - m.rect.right() < 1) &&
                            m.rect.left() <= top.x() && top.x() <= m.rect.right();
        QVERIFY2(centred || atEdge, qPrintable(m.text));
        for (const auto& [text, rect] : texts) QVERIFY2(!m.rect.intersects(rect), qPrintable(m.text + " / " + text));
    }
}

double YAt(const QLineSeries* s, double x) {
    for (const QPointF& p : s->points())
        if (p.x() == x) return p.y();
    return -99;
}

}  // namespace

class ChartsTest : public QObject {
    Q_OBJECT
private slots:
    void markersSitOnTheSlumpLine();
    void barsAtTheBonusOrdinals();
    void modeLineAroundEachBB();
    void piesHoldEverySliceInOrder();
    void legendListsOnlySwitchedOnMarkers();
    void switchedOnSeriesFillAtTheNextPresentation();
    void bottomAxisRunsOneToN();
    void bottomLabelsStandApartAtAnyLength_data();
    void bottomLabelsStandApartAtAnyLength();
    void barsReadAtEveryScale_data();
    void barsReadAtEveryScale();
    void everyBarOfAnEightThousandGameRunShowsItsValue_data();
    void everyBarOfAnEightThousandGameRunShowsItsValue();
    void barsZoomAndScrollAlongTheBBsOnly_data();
    void barsZoomAndScrollAlongTheBBsOnly();
    void modeBandHasAStripUnderTheLine_data();
    void modeBandHasAStripUnderTheLine();
    void modeBandSharesMatchARecount();
    void checkpointsDrawWhatTheHistoryDraws_data();
    void checkpointsDrawWhatTheHistoryDraws();
    void modeBandAtTenMillionGamesSlow();
    void runWithoutBBLeavesTheBarsEmpty();
    void piesKeepTheirSizeBesideWideLists();
    void zoomShowsExactPointsAndDoubleClickGoesHome();
    void rightDragScrolls();
    void imagesHaveTheChartsSize();
    void rightClickWithoutADragOpensTheMenu();
};

void ChartsTest::markersSitOnTheSlumpLine() {
    Window w(11, Window::OnScreen);
    w.Start(8000, 6);
    const PlayHistory h = test::Held(w.form.History());
    // Switched off: the series gives the chart no point yet.
    QVERIFY(w.charts().Markers[0]->Series()->points().isEmpty());
    // Each point of series m a game of its small win, on the line, within
    // the games in view.
    auto expectOwnGames = [&](Marker m) {
        const auto& series = *w.charts().Markers[static_cast<std::size_t>(m)];
        const QList<QPointF> points = series.Series()->points();
        QVERIFY(!points.isEmpty() && static_cast<std::size_t>(points.size()) <= series.Count());
        for (const QPointF& p : points) {
            QVERIFY(p.x() >= w.charts().Bottom->min() && p.x() <= w.charts().Bottom->max());
            const auto j = static_cast<std::size_t>(p.x()) - 1;
            QCOMPARE(p.y(), static_cast<double>(h.MedalLog()[j]));
            QCOMPARE(h.BBLog()[j], 0);
            const int k = h.KoyakuLog()[j];
            const Marker expected = k == Cherry2   ? Marker::Cherry2
                                    : k == Cherry4 ? Marker::Cherry4
                                    : k == Suika_A ? Marker::Suika_A
                                    : k == Suika_B ? Marker::Suika_B
                                                   : Marker::Chance;
            QCOMPARE(static_cast<int>(expected), static_cast<int>(m));
            QVERIFY(k != Chance || m == Marker::Chance);
        }
    };
    std::size_t total = 0;
    for (Marker m : kAllMarkers) {
        w.charts().SetMarkerOn(m, true);
        const auto& series = *w.charts().Markers[static_cast<std::size_t>(m)];
        QCOMPARE(series.Count(), w.form.Shown().MarkerPointCount(m));
        expectOwnGames(m);
        if (QTest::currentTestFailed()) return;
        total += series.Count();
    }
    QVERIFY(total > 100);
    // All five shown through a zoom, thinned together: each keeps its own.
    chart::ChartView* view = w.charts().SlumpChart;
    view->SetAnimatedZoom(false);
    const QRect area = view->viewport()->rect();
    view->ZoomTo(QRect(area.width() / 3, 10, area.width() / 3, area.height() - 30));
    QVERIFY(w.charts().Bottom->max() - w.charts().Bottom->min() < 6000);  // of 8000
    for (Marker m : kAllMarkers) {
        expectOwnGames(m);
        if (QTest::currentTestFailed()) return;
    }
}

void ChartsTest::barsAtTheBonusOrdinals() {
    Window w(11, Window::OnScreen);
    w.Start(8000, 6);
    const auto bars = BarPoints(*w.charts().SlumpBSeries);
    QCOMPARE(bars.size(), w.form.Shown().BarCount());
    QVERIFY(bars.size() > 5);
    const PlayHistory h = test::Held(w.form.History());
    for (std::size_t k = 0; k < bars.size(); ++k) {
        QCOMPARE(bars[k].x, static_cast<double>(k + 1));
        QCOMPARE(bars[k].y, static_cast<double>(h.PlayNum2Log()[w.form.Shown().BBPlay(k)]));
    }
    // Few bars: each shows its value, in a box where that does not crowd
    // its neighbour's, else under the mouse.
    QVERIFY(w.charts().SlumpBSeries->MarksShown() > 0);
    for (const chart::XY& b : bars)
        QCOMPARE(w.charts().SlumpBSeries->ToolTipAt(b.x), QStringLiteral("%1回目: %2").arg(b.x).arg(b.y));
}

void ChartsTest::modeLineAroundEachBB() {
    // Fewer games in view than pixels: the line holds every point exactly.
    Window w(3, Window::OnScreen);
    w.Start(600, 6);
    const PlayHistory h = test::Held(w.form.History());
    const QLineSeries* mode = w.charts().ModeSeries->Series();
    int checked = 0;
    for (const auto& [lo, hi] : {std::pair{1.0, 300.0}, std::pair{301.0, 600.0}}) {
        chart::SetRangeWithTicks(w.charts().Bottom, lo, hi, 8, 1);
        QVERIFY(!w.charts().ModeSeries->BandShown());
        QVERIFY(mode->count() >= 300);
        for (std::size_t j = 1; j < h.size(); ++j) {
            const double x = h.PlayNumLog()[j];
            if (h.BBLog()[j] == 0 || x < lo + 1 || x > hi) continue;
            QCOMPARE(YAt(mode, x), static_cast<double>(h.ModeLog()[j]));
            if (h.PlayNum2Log()[j] != 1500) {
                QCOMPARE(YAt(mode, x - 1), static_cast<double>(h.BBLog()[j] + 3));  // Blue7 or Red7 before
                ++checked;
            }
        }
    }
    QVERIFY(checked > 0);
    chart::SetRangeWithTicks(w.charts().Bottom, 1, 300, 8, 1);
    QCOMPARE(w.charts().SlumpSeries->Series()->count(), 301);
    QCOMPARE(w.charts().SlumpSeries->Series()->at(299), QPointF(300, h.MedalLog()[299]));
    // At home the 600 games outnumber the pixels: the band, not a line.
    w.charts().SlumpChart->ResetZoom();
    QVERIFY(w.charts().ModeSeries->BandShown());
    QCOMPARE(mode->count(), 0);
}

void ChartsTest::piesHoldEverySliceInOrder() {
    Window w(5, Window::OnScreen);
    w.Start(3000, 2);
    const QPieSeries* koyaku = w.charts().KoyakuSeries;
    QCOMPARE(koyaku->count(), 8);
    const QStringList names = {"2枚チェリー", "4枚チェリー", "スイカA", "スイカB",
                               "リプレイA",   "リプレイB",   "ベル",    "チャンス目"};
    const auto counts = w.form.Shown().Counts().koyaku;
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(koyaku->slices()[i]->label(), names[i]);
        QCOMPARE(koyaku->slices()[i]->value(), static_cast<double>(counts[static_cast<std::size_t>(i)]));
        QVERIFY(!koyaku->slices()[i]->isLabelVisible());
    }
    QCOMPARE(koyaku->slices()[7]->brush().color(), QColor(Qt::white));
    QCOMPARE(w.charts().ModeStaySeries->count(), 6);
    QCOMPARE(w.charts().ModeStaySeries->slices()[0]->brush().color(), QColor(0x00, 0x00, 0x80));
    QCOMPARE(w.charts().KModeSeries->count(), 4);
    QCOMPARE(w.charts().KModeSeries->slices()[3]->label(), QStringLiteral("継続D(88%)"));
}

void ChartsTest::legendListsOnlySwitchedOnMarkers() {
    Window w(7, Window::OnScreen);
    w.Start(5000, 6);
    QChart* c = w.charts().SlumpChart->chart();
    const QRectF plot = c->plotArea();
    QVERIFY(LegendNames(w.charts()).isEmpty());
    QVERIFY(w.charts().Legend->Rect().isEmpty());
    w.form.ChanceCheckBox->click();
    w.form.Che2CheckBox->click();
    QApplication::processEvents();
    QCOMPARE(LegendNames(w.charts()), (QList<QString>{"Chance", "Cherry2"}));
    w.form.Che4CheckBox->click();
    w.form.SuikaACheckBox->click();
    w.form.SuikaBCheckBox->click();
    QApplication::processEvents();
    QCOMPARE(LegendNames(w.charts()), (QList<QString>{"Cherry4", "Suika_A", "Suika_B", "Chance", "Cherry2"}));
    // All five at 520, 5, inside the chart, clear of the plot and of every
    // axis label and title; the plot kept its place and size.
    const QRectF legend = w.charts().Legend->Rect();
    QCOMPARE(legend.topLeft(), QPointF(520, 5));
    QVERIFY(QRectF(QPointF(0, 0), c->size()).contains(legend));
    QCOMPARE(c->plotArea(), plot);
    QVERIFY(!legend.intersects(plot));
    int texts = 0;
    for (QGraphicsItem* item : c->scene()->items()) {
        if (item->type() != QGraphicsTextItem::Type || !item->isVisible()) continue;
        const auto* t = static_cast<QGraphicsTextItem*>(item);
        if (t->toPlainText().isEmpty()) continue;
        ++texts;
        QVERIFY2(!item->sceneBoundingRect().intersects(legend), qPrintable(t->toPlainText()));
    }
    QVERIFY(texts > 10);  // the labels and titles of three axes were looked at
    const QRect hint = w.charts().Label4->geometry();
    QVERIFY(!legend.intersects(QRectF(w.charts().SlumpChart->mapToScene(hint.topLeft()), QSizeF(hint.size()))));
    QVERIFY(w.charts().MarkerOn(Marker::Cherry2));
    QVERIFY(!w.charts().Markers[static_cast<std::size_t>(Marker::Cherry2)]->Series()->points().isEmpty());
    const std::size_t kept = w.charts().Markers[static_cast<std::size_t>(Marker::Cherry2)]->Count();
    for (QCheckBox* box : {w.form.Che2CheckBox, w.form.Che4CheckBox, w.form.SuikaACheckBox, w.form.SuikaBCheckBox})
        box->click();
    QApplication::processEvents();
    QCOMPARE(LegendNames(w.charts()), (QList<QString>{"Chance"}));
    QCOMPARE(c->plotArea(), plot);
    QVERIFY(!w.charts().MarkerOn(Marker::Cherry2));
    QCOMPARE(w.charts().Markers[static_cast<std::size_t>(Marker::Cherry2)]->Count(), kept);
    // Each entry shows its series' own marker.
    QCOMPARE(w.charts().Legend->Entries()[0].shape, QScatterSeries::MarkerShapeRotatedRectangle);
}

void ChartsTest::switchedOnSeriesFillAtTheNextPresentation() {
    Window w(8, Window::OnScreen);
    w.Start(2000, 1);
    w.form.Che4CheckBox->click();
    w.Start(4000, 1);
    auto& s = *w.charts().Markers[static_cast<std::size_t>(Marker::Cherry4)];
    QVERIFY(w.charts().MarkerOn(Marker::Cherry4));
    QCOMPARE(s.Count(), w.form.Shown().MarkerPointCount(Marker::Cherry4));
    QVERIFY(!s.Series()->points().isEmpty());
    for (const QPointF& p : s.Series()->points()) QVERIFY(p.x() >= 1 && p.x() <= 4000);
}

void ChartsTest::bottomLabelsStandApartAtAnyLength_data() {
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<bool>("zoom");
    QTest::newRow("24 games") << 1.0 << 24.0 << false;
    QTest::newRow("8000 games") << 1.0 << 8000.0 << false;
    QTest::newRow("1G games") << 1.0 << 1e9 << false;
    QTest::newRow("the longest run") << 1.0 << 2147483647.0 << false;
    QTest::newRow("a zoom at 1G") << 612345678.0 << 613345678.0 << true;
    QTest::newRow("a zoom at the longest run's end") << 2147480000.0 << 2147483647.0 << true;
}

void ChartsTest::bottomLabelsStandApartAtAnyLength() {
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(bool, zoom);
    Window w(9, Window::OnScreen);
    w.Start(2000, 6);
    chart::ChartView* view = w.charts().SlumpChart;
    view->SetAnimatedZoom(false);
    // As a presentation or a zoom sets the bottom axis.
    chart::SetRangeWithTicks(w.charts().Bottom, lo, hi, 8, 1);
    if (zoom) {
        const QRect area = view->viewport()->rect();
        view->ZoomTo(QRect(area.width() / 4, 20, area.width() / 2, area.height() / 2));
    }
    const double shownLo = w.charts().Bottom->min(), shownHi = w.charts().Bottom->max();
    QApplication::processEvents();
    QChart* c = view->chart();
    std::vector<QRectF> labels;
    for (const auto& [text, rect] : AxisTexts(c)) {
        bool number = false;
        text.toLongLong(&number);
        if (number && rect.top() >= c->plotArea().bottom()) labels.push_back(rect);
    }
    std::sort(labels.begin(), labels.end(), [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
    // Still labelled, every label clear of the next, and the range drawn
    // the one asked for.
    QVERIFY2(labels.size() >= 3, qPrintable(QString::number(labels.size())));
    for (std::size_t i = 1; i < labels.size(); ++i)
        QVERIFY2(labels[i - 1].right() < labels[i].left(),
                 qPrintable(QStringLiteral("%1 > %2").arg(labels[i - 1].right()).arg(labels[i].left())));
    QCOMPARE(w.charts().Bottom->min(), shownLo);
    QCOMPARE(w.charts().Bottom->max(), shownHi);
}

void ChartsTest::bottomAxisRunsOneToN() {
    Window w(9, Window::OnScreen);
    QChart* c = w.charts().SlumpChart->chart();
    // Where the chart draws game x, as a share of the plot's width.
    auto drawnAt = [&](double x) {
        const QPointF p = c->mapToPosition(QPointF(x, 0), w.charts().SlumpSeries->Series());
        return (p.x() - c->plotArea().left()) / c->plotArea().width();
    };
    w.Start(8000, 6);
    QCOMPARE(w.charts().Bottom->min(), 1.0);
    QCOMPARE(w.charts().Bottom->max(), 8000.0);
    QCOMPARE(drawnAt(1), 0.0);
    QCOMPARE(drawnAt(8000), 1.0);
    QCOMPARE(w.charts().Right->min(), 0.0);
    QCOMPARE(w.charts().Right->max(), 5.0);
    // A short run after a longer, zoomed one: its one game sits in the
    // middle of the plot, whatever the view was.
    const QRect area = w.charts().SlumpChart->viewport()->rect();
    w.charts().SlumpChart->SetAnimatedZoom(false);
    w.charts().SlumpChart->ZoomTo(QRect(area.width() / 2, 20, area.width() / 4, area.height() / 2));
    w.Start(1, 6);
    QCOMPARE(drawnAt(1), 0.5);
    QCOMPARE(w.charts().SlumpSeries->Series()->count(), 1);
    w.Start(2, 6);
    QCOMPARE(drawnAt(1), 0.0);
    QCOMPARE(drawnAt(2), 1.0);
}

void ChartsTest::barsReadAtEveryScale_data() {
    QTest::addColumn<int>("games");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("seed");
    QTest::newRow("8000") << 8000 << 6 << 12;
    QTest::newRow("16000") << 16000 << 6 << 12;
    QTest::newRow("100000") << 100000 << 6 << 12;
    QTest::newRow("2000000") << 2000000 << 6 << 12;
    // Runs whose tallest box once found no room above its bar, or whose
    // first bar's box reached past the plot into the axis's figures.
    QTest::newRow("12000 at 6, seed 8") << 12000 << 6 << 8;
    QTest::newRow("16000 at 1, seed 1") << 16000 << 1 << 1;
    QTest::newRow("16000 at 6, seed 4") << 16000 << 6 << 4;
    QTest::newRow("24000 at 6, seed 11") << 24000 << 6 << 11;
}

void ChartsTest::barsReadAtEveryScale() {
    QFETCH(int, games);
    QFETCH(int, setting);
    QFETCH(int, seed);
    Window w(static_cast<std::uint32_t>(seed), Window::OnScreen);
    w.Start(games, setting);
    chart::ChartView* view = w.charts().SlumpChart2;
    chart::Bars& series = *w.charts().SlumpBSeries;
    const QImage drawn = view->grab().toImage();
    QChart* c = view->chart();
    const QRectF plot = c->plotArea();
    const auto bars = BarPoints(series);
    QVERIFY(bars.size() > 20);
    const QColor fill(0xFF, 0x8E, 0x8E);
    // The pixel the chart draws (x, y) on.
    auto at = [&](double x, double y) {
        const QPointF p = c->mapToPosition(QPointF(x, y), series.Series());
        return view->mapFromScene(QPointF(std::lround(p.x()), std::lround(p.y())));
    };
    auto near = [&](QPoint p, const QColor& colour, int dy) {
        for (int d = -dy; d <= dy; ++d)
            for (int dx = -1; dx <= 1; ++dx)
                if (drawn.pixelColor(p + QPoint(dx, d)) == colour) return true;
        return false;
    };
    if (!series.Summarized()) {
        // Each bar a pixel or more: halfway up every bar the user sees the
        // bar's colour, however narrow the bars are.
        const double pixelsPerPlay = plot.height() / w.charts().Left2->max();
        int looked = 0;
        for (const chart::XY& b : bars) {
            const QPoint mid = at(b.x, b.y / 2);
            if (!plot.adjusted(2, 2, -2, -2).contains(mid) || b.y * pixelsPerPlay < 6) continue;
            QVERIFY2(near(mid, fill, 0), qPrintable(QStringLiteral("bar %1 of height %2").arg(b.x).arg(b.y)));
            ++looked;
        }
        QVERIFY(looked > static_cast<int>(bars.size()) / 3);
        // Value boxes never overlap, each tells its own bar's value, and the
        // bars with a box are the tallest: none without one is taller.
        const std::vector<chart::Bars::Mark> marks = series.ShownMarks();
        QVERIFY(!marks.empty());
        QCOMPARE(static_cast<int>(marks.size()), series.MarksShown());
        double lowestLabelled = INFINITY;
        for (std::size_t i = 0; i < marks.size(); ++i) {
            for (std::size_t j = i + 1; j < marks.size(); ++j) QVERIFY(!marks[i].rect.intersects(marks[j].rect));
            const auto bar =
                std::find_if(bars.begin(), bars.end(), [&](const chart::XY& b) { return b.x == marks[i].x; });
            QVERIFY(bar != bars.end());
            QCOMPARE(marks[i].text, QString::number(bar->y));
            lowestLabelled = std::min(lowestLabelled, bar->y);
        }
        for (const chart::XY& b : bars) {
            const bool labelled =
                std::any_of(marks.begin(), marks.end(), [&](const chart::Bars::Mark& m) { return m.x == b.x; });
            QVERIFY2(labelled || b.y <= lowestLabelled, qPrintable(QStringLiteral("bar %1 of %2").arg(b.x).arg(b.y)));
        }
        // The tallest bar's box has its room above it at every scale.
        const auto tallest =
            std::max_element(bars.begin(), bars.end(), [](const auto& a, const auto& b) { return a.y < b.y; });
        QVERIFY(std::any_of(marks.begin(), marks.end(), [&](const chart::Bars::Mark& m) { return m.x == tallest->x; }));
        CheckMarksStandOverTheirBars(w);
    } else {
        // Narrower than a pixel: per pixel column the median as a line in a
        // band of the quartiles, the highest above, each as recounted from
        // the bars of that column.
        QVERIFY(series.ShownMarks().empty());
        const auto& groups = series.Groups();
        QVERIFY(groups.size() > static_cast<std::size_t>(plot.width()) / 2);
        int checked = 0;
        for (std::size_t k = 0; k < groups.size(); k += 7) {
            const chart::BarGroup& g = groups[k];
            std::vector<double> v;
            for (const chart::XY& b : bars)
                if (b.x >= g.x0 && (b.x < g.x1 || (k + 1 == groups.size() && b.x <= g.x1 + 0.5))) v.push_back(b.y);
            std::sort(v.begin(), v.end());
            QCOMPARE(v.size(), g.count);
            auto quantile = [&](double p) {
                const double h = (v.size() - 1) * p;
                const auto i = static_cast<std::size_t>(h);
                return i + 1 < v.size() ? v[i] + (h - i) * (v[i + 1] - v[i]) : v[i];
            };
            QCOMPARE(g.median, quantile(0.5));
            QCOMPARE(g.max, v.back());
            const double x = g.x0;  // the group's first pixel column
            QVERIFY2(near(at(x, quantile(0.5)), QColor(0xB0, 0x00, 0x00), 1), qPrintable(QString::number(k)));
            if (at(x, quantile(0.25)).y() - at(x, quantile(0.75)).y() >= 8) {
                const double between = (quantile(0.25) + quantile(0.5)) / 2;
                if (at(x, quantile(0.5)).y() - at(x, between).y() <= -3 ||
                    at(x, quantile(0.5)).y() - at(x, between).y() >= 3)
                    QVERIFY2(near(at(x, between), fill, 0), qPrintable(QString::number(k)));
            }
            if (at(x, quantile(0.75)).y() - at(x, v.back()).y() >= 3)
                QVERIFY2(near(at(x, v.back()), QColor(0x80, 0x80, 0x80), 1), qPrintable(QString::number(k)));
            ++checked;
        }
        QVERIFY(checked > 20);
        const chart::BarGroup& some = groups[groups.size() / 2];
        QVERIFY(series.ToolTipAt((some.x0 + some.x1) / 2).contains(QStringLiteral("中央値")));
    }
    const chart::XY& some = bars[bars.size() / 2];
    if (!series.Summarized())
        QCOMPARE(series.ToolTipAt(some.x + 0.2), QStringLiteral("%1回目: %2").arg(some.x).arg(some.y));
    QVERIFY(series.ToolTipAt(-5).isEmpty());
}

void ChartsTest::everyBarOfAnEightThousandGameRunShowsItsValue_data() {
    QTest::addColumn<int>("seed");
    // 33, 39, 39, 34 and 35 BBs at setting 6.
    for (int seed : {2, 5, 8, 11, 13}) QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void ChartsTest::everyBarOfAnEightThousandGameRunShowsItsValue() {
    QFETCH(int, seed);
    Window w(static_cast<std::uint32_t>(seed), Window::OnScreen);
    w.Start(8000, 6);
    chart::ChartView* view = w.charts().SlumpChart2;
    chart::Bars& series = *w.charts().SlumpBSeries;
    QChart* c = view->chart();
    const auto bars = BarPoints(series);
    QVERIFY(bars.size() >= 30 && bars.size() <= 40);
    const std::vector<chart::Bars::Mark> marks = series.ShownMarks();
    QCOMPARE(marks.size(), bars.size());
    const QRect hint = w.charts().Label5->geometry();
    const QRectF hintRect(view->mapToScene(hint.topLeft()), QSizeF(hint.size()));
    const QImage drawn = view->grab().toImage();
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const chart::Bars::Mark& m = marks[i];
        const auto bar = std::find_if(bars.begin(), bars.end(), [&](const chart::XY& b) { return b.x == m.x; });
        QVERIFY(bar != bars.end());
        QCOMPARE(m.text, QString::number(bar->y));
        // Over its own bar, 4 pixels above its top, inside the chart and
        // clear of the hint above the plot.
        const QPointF top = c->mapToPosition(QPointF(bar->x, bar->y), series.Series());
        QVERIFY(std::abs(m.rect.center().x() - top.x()) <= 1);
        QVERIFY2(std::abs(m.rect.bottom() - (top.y() - 4)) <= 1, qPrintable(m.text));
        QVERIFY(QRectF(QPointF(0, 0), c->size()).contains(m.rect));
        QVERIFY(!m.rect.intersects(hintRect));
        for (std::size_t j = i + 1; j < marks.size(); ++j) QVERIFY(!m.rect.intersects(marks[j].rect));
        // White with the pattern's horizontal lines, seen beside the figure.
        const QRect r = QRect(view->mapFromScene(m.rect.topLeft()), m.rect.size().toSize()).adjusted(1, 1, -1, -1);
        const QColor line(0xC8, 0xC8, 0xC8);
        std::set<int> lineRows;
        int white = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            int grey = 0;
            for (int x = r.left(); x <= r.right(); ++x) {
                white += drawn.pixelColor(x, y) == QColor(Qt::white);
                grey += drawn.pixelColor(x, y) == line;
            }
            if (grey >= 2) lineRows.insert(y);
        }
        QVERIFY2(white >= r.width() && (r.height() < 10 || !lineRows.empty()), qPrintable(m.text));
    }
}

namespace {

// The band of the mode line as drawn, checked against the play history:
// each drawn column stands for a stretch of games that the chart maps onto
// its pixels; those games recounted by mode give each level's share of the
// band's height. Returns the share of the band's pixels drawn in 高確, or -1.
double CheckModeBand(Window& w) {
    RunCharts& charts = w.charts();
    const chart::EnvelopeLine& band = *charts.ModeSeries;
    const auto& columns = band.Band();
    if (!band.BandShown() || columns.empty()) {
        qWarning("no band");
        return -1;
    }
    QChart* c = charts.SlumpChart->chart();
    const QRectF plot = c->plotArea();
    const QRect rect = band.BandRect();
    const PlayHistory h = test::Held(w.form.History());
    const double lo = charts.Bottom->min(), hi = charts.Bottom->max();
    // The chart's own map from a game to its x pixel, checked on two games.
    auto pixel = [&](double x) { return plot.left() + (x - lo) / (hi - lo) * plot.width(); };
    for (double x : {lo, (lo + hi) / 3})
        if (std::abs(c->mapToPosition(QPointF(x, 0), band.Series()).x() - pixel(x)) > 1e-6) return -1;
    // The columns tile the plot: each stretch of games follows the last and
    // is drawn on the pixels the chart maps it to.
    if (columns.front().data.x0 != lo || columns.back().data.x1 != hi) return -1;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto& col = columns[i];
        if (i > 0 && (col.left != columns[i - 1].right || col.data.x0 != columns[i - 1].data.x1)) return -1;
        if (std::abs(pixel(col.data.x0) - col.left) > 0.5 + 1e-9 ||
            std::abs(pixel(col.data.x1) - col.right) > 0.5 + 1e-9)
            return -1;
    }
    std::vector<std::array<std::uint64_t, 6>> recount(columns.size());
    std::size_t k = 0;
    for (std::size_t g = 0; g < h.size(); ++g) {
        const double x = h.PlayNumLog()[g];
        if (x < lo || x > hi) continue;
        while (k + 1 < columns.size() && x >= columns[k].data.x1) ++k;
        const int mode = h.ModeLog()[g];
        if (mode >= 0 && mode < 6) ++recount[k][static_cast<std::size_t>(mode)];
    }
    const double height = rect.height();
    std::uint64_t high = 0, all = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const auto& col = columns[i];
        std::uint64_t total = 0;
        for (std::uint64_t n : recount[i]) total += n;
        int stacked = 0;
        for (std::size_t l = 0; l < 6; ++l) {
            const double want = height * static_cast<double>(recount[i][l]) / static_cast<double>(total);
            // Within the pixel that rounding takes.
            if (std::abs(col.heights[l] - want) > 1) {
                qWarning("column %zu level %zu: drawn %d, recount %.2f", i, l, col.heights[l], want);
                return -1;
            }
            stacked += col.heights[l];
        }
        if (stacked != rect.height()) return -1;
        high += static_cast<std::uint64_t>(col.heights[2]) * static_cast<std::uint64_t>(col.right - col.left);
        all += static_cast<std::uint64_t>(rect.height()) * static_cast<std::uint64_t>(col.right - col.left);
    }
    // What the user sees: each level's colour where its height says, but
    // where the slump line or a marker crosses the band.
    const QImage drawn = charts.SlumpChart->grab().toImage();
    const std::vector<QColor> colours = {QColor(0x00, 0x00, 0x80), QColor(0xFF, 0x00, 0xFF), QColor(0x00, 0xFF, 0x00),
                                         QColor(0xFF, 0xFF, 0x00), QColor(0xFF, 0x00, 0x00), QColor(0xFF, 0xFF, 0xFF)};
    int sampled = 0, matched = 0;
    for (const auto& col : columns) {
        int bottom = col.bottom;
        for (std::size_t l = 0; l < 6; ++l) {
            if (col.heights[l] >= 3) {
                const QPoint at = charts.SlumpChart->mapFromScene(QPointF(col.left, bottom - (col.heights[l] + 1) / 2));
                ++sampled;
                matched += drawn.pixelColor(at) == colours[l];
            }
            bottom -= col.heights[l];
        }
    }
    if (sampled <= static_cast<int>(columns.size()) || matched < sampled * 95 / 100) {
        qWarning("%d of %d sampled pixels in their level's colour", matched, sampled);
        return -1;
    }
    return static_cast<double>(high) / static_cast<double>(all);
}

}  // namespace

void ChartsTest::barsZoomAndScrollAlongTheBBsOnly_data() {
    QTest::addColumn<int>("games");
    QTest::addColumn<int>("setting");
    QTest::newRow("16000 at 1") << 16000 << 1;
    QTest::newRow("100000 at 6") << 100000 << 6;
}

void ChartsTest::barsZoomAndScrollAlongTheBBsOnly() {
    QFETCH(int, games);
    QFETCH(int, setting);
    Window w(12, Window::OnScreen);
    w.Start(games, setting);
    chart::ChartView* view = w.charts().SlumpChart2;
    const double span = w.charts().Bottom2->max() - w.charts().Bottom2->min();
    // A band drawn over the bars' upper half: the BBs zoom, the value axis
    // keeps its foot and room for the boxes.
    DragZoom(view, {0.4, 0.1}, {0.55, 0.5});
    QApplication::processEvents();
    const double lo = w.charts().Bottom2->min(), hi = w.charts().Bottom2->max();
    QVERIFY(hi - lo < span * 0.2 && hi - lo > span * 0.1);
    QCOMPARE(w.charts().Left2->min(), 0.0);
    double tallest = 0;
    for (const chart::XY& b : BarPoints(*w.charts().SlumpBSeries))
        if (b.x >= lo && b.x <= hi) tallest = std::max(tallest, b.y);
    QVERIFY(w.charts().Left2->max() > tallest);
    QVERIFY(w.charts().SlumpBSeries->MarksShown() > 0);
    CheckMarksStandOverTheirBars(w);
    QVERIFY(LeftFigures(view->chart()).contains(QStringLiteral("0")));
    // A right-drag down and to the left: later BBs, the same value axis.
    const double top = w.charts().Left2->max();
    DragScroll(view, QPoint(-80, 40));
    QVERIFY(w.charts().Bottom2->min() > lo);
    QVERIFY(std::abs((w.charts().Bottom2->max() - w.charts().Bottom2->min()) - (hi - lo)) < 1e-6 * span);
    QCOMPARE(w.charts().Left2->min(), 0.0);
    QCOMPARE(w.charts().Left2->max(), top);
    CheckMarksStandOverTheirBars(w);
}

void ChartsTest::modeBandHasAStripUnderTheLine_data() {
    QTest::addColumn<int>("games");
    QTest::addColumn<int>("setting");
    QTest::newRow("8000 at 6") << 8000 << 6;
    QTest::newRow("100000 at 1") << 100000 << 1;
    QTest::newRow("100000 at 6") << 100000 << 6;
}

void ChartsTest::modeBandHasAStripUnderTheLine() {
    QFETCH(int, games);
    QFETCH(int, setting);
    Window w(21, Window::OnScreen);
    w.Start(games, setting);
    RunCharts& charts = w.charts();
    chart::ChartView* view = charts.SlumpChart;
    QChart* c = view->chart();
    // Every point of the balance in view drawn above the band, and the
    // mode axis saying that the band holds shares, with no level figures.
    auto check = [&](const char* where) {
        QVERIFY2(charts.ModeSeries->BandShown(), where);
        const QRect band = charts.ModeSeries->BandRect();
        QCOMPARE(band.bottom() + 1, static_cast<int>(std::lround(c->plotArea().bottom())));
        int looked = 0;
        for (const QPointF& p : charts.SlumpSeries->Series()->points()) {
            if (p.x() < charts.Bottom->min() || p.x() > charts.Bottom->max()) continue;
            const double y = c->mapToPosition(p, charts.SlumpSeries->Series()).y();
            QVERIFY2(
                y < band.top(),
                qPrintable(
                    QStringLiteral("%1: game %2 at %3, band from %4").arg(where).arg(p.x()).arg(y).arg(band.top())));
            ++looked;
        }
        QVERIFY2(looked > 100, where);
        QCOMPARE(charts.Right->min(), 0.0);
        QCOMPARE(charts.Right->max(), 5.0);
        QCOMPARE(charts.Right->titleText(), QStringLiteral("滞在モード比率"));
        QCOMPARE(RightFigures(c), (QStringList{"0%", "100%"}));
        // The medal axis shows its figures: several, all different.
        const QStringList figures = LeftFigures(c);
        const auto distinct = QSet<QString>(figures.begin(), figures.end()).size();
        QVERIFY2(figures.size() >= 3 && distinct == figures.size(), qPrintable(figures.join(QLatin1Char(' '))));
    };
    check("home");
    // A band drawn over the line and into the strip.
    view->SetAnimatedZoom(false);
    DragZoom(view, {0.3, 0.1}, {0.45, 0.95});
    QVERIFY(charts.Bottom->max() - charts.Bottom->min() < games * 0.2);
    check("zoomed");
    // Along the games, then down: the balance follows, the mode axis stays.
    DragScroll(view, QPoint(-60, 0));
    check("scrolled");
    const double medal = charts.Left->min();
    DragScroll(view, QPoint(0, 30));
    QVERIFY(charts.Left->min() > medal);
    QCOMPARE(charts.Right->min(), 0.0);
    QCOMPARE(charts.Right->max(), 5.0);
    // Fewer games than pixels: the modes as a line over the whole plot,
    // on the axis of their levels.
    const double from = charts.Bottom->min();
    chart::SetRangeWithTicks(charts.Bottom, from, from + 200, 8, 1);
    QApplication::processEvents();
    QVERIFY(!charts.ModeSeries->BandShown());
    QCOMPARE(charts.Right->titleText(), QStringLiteral("滞在モード"));
    QCOMPARE(RightFigures(c), (QStringList{"0", "1", "2", "3", "4", "5"}));
    QCOMPARE(charts.Right->max(), 5.0);
    view->ResetZoom();
    QApplication::processEvents();
    check("home again");
}

void ChartsTest::modeBandSharesMatchARecount() {
    Window w(21, Window::OnScreen);
    w.Start(100000, 6);
    QVERIFY(CheckModeBand(w) >= 0);
    // Zoomed into a tenth, the band follows; into fewer games than pixels,
    // the exact line returns.
    chart::SetRangeWithTicks(w.charts().Bottom, 40000, 50000, 8, 1);
    QVERIFY(CheckModeBand(w) >= 0);
    chart::SetRangeWithTicks(w.charts().Bottom, 40000, 40200, 8, 1);
    QVERIFY(!w.charts().ModeSeries->BandShown());
    QVERIFY(w.charts().ModeSeries->Series()->count() >= 200);
    // The mouse over a column tells its shares.
    w.charts().SlumpChart->ResetZoom();
    const auto& home = w.charts().ModeSeries->Band();
    const QString tip = w.charts().ModeSeries->BandToolTipAt(home[10].left);
    QVERIFY2(tip.startsWith(QStringLiteral("%1〜").arg(static_cast<long long>(std::ceil(home[10].data.x0)))) &&
                 tip.contains(QStringLiteral("高確")),
             qPrintable(tip));
}

void ChartsTest::modeBandAtTenMillionGamesSlow() {
    if (qEnvironmentVariableIsEmpty("MORVANE_SLOW_TESTS")) QSKIP("run by charts_tests_Slow");
    Window w(4, Window::OnScreen);
    w.Start(10000000, 4);
    const double high = CheckModeBand(w);
    QVERIFY(high >= 0);
    // The share of 高確 the band shows over the whole run is the one the
    // machine's tables give in the long run.
    const double theory = SettingTheory(4).LongRun().modeShare[2];
    qInfo("高確: %.4f drawn, %.4f in theory", high, theory);
    QVERIFY2(std::abs(high - theory) < 0.01,
             qPrintable(QStringLiteral("%1 drawn, %2 in theory").arg(high).arg(theory)));
}

namespace {

// Everything the run's charts hand to Qt, or draw themselves, in one view.
struct Drawn {
    QList<QPointF> slump, mode, bars;
    std::vector<QList<QPointF>> markers;
    std::vector<std::tuple<double, double, std::size_t, std::vector<int>>> band;
    std::vector<std::tuple<std::size_t, std::size_t, double, double, double, double>> groups;
    bool operator==(const Drawn&) const = default;
};

Drawn DrawnNow(RunCharts& c) {
    // As the window shows it once its layout has settled.
    QApplication::processEvents();
    Drawn d;
    d.slump = c.SlumpSeries->Series()->points();
    d.mode = c.ModeSeries->Series()->points();
    for (const auto& m : c.Markers) d.markers.push_back(m->Series()->points());
    for (const auto& col : c.ModeSeries->Band())
        d.band.emplace_back(col.data.x0, col.data.x1, col.data.games, col.heights);
    d.bars = c.SlumpBSeries->Series()->upperSeries()->points();
    for (const chart::BarGroup& g : c.SlumpBSeries->Groups())
        d.groups.emplace_back(g.first, g.count, g.q1, g.median, g.q3, g.max);
    return d;
}

// The views looked at: the whole run, inside one block, across block
// edges, a short stretch and one game; the bars whole and zoomed.
std::vector<Drawn> DrawnInViews(RunCharts& c, std::size_t games, std::size_t block) {
    const auto n = static_cast<double>(games), k = static_cast<double>(block);
    std::vector<Drawn> all;
    c.SlumpChart->ResetZoom();
    c.SlumpChart2->ResetZoom();
    all.push_back(DrawnNow(c));
    for (const auto& [lo, hi] : {std::pair{k + 50, 2 * k - 50}, std::pair{k / 2 + 0.5, n * 0.7},
                                 std::pair{3 * k - 100, 3 * k + 200}, std::pair{9.0, 9.0}}) {
        chart::SetRangeWithTicks(c.Bottom, lo, hi, 8, 1);
        chart::SetRangeWithTicks(c.Bottom2, lo / 300, hi / 300 + 2, 8, 1);
        all.push_back(DrawnNow(c));
    }
    return all;
}

}  // namespace

void ChartsTest::checkpointsDrawWhatTheHistoryDraws_data() {
    QTest::addColumn<int>("games");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("seed");
    QTest::newRow("200000 at 1") << 200'000 << 1 << 3;
    QTest::newRow("300000 at 6") << 300'000 << 6 << 4;
}

void ChartsTest::checkpointsDrawWhatTheHistoryDraws() {
    // The same run held in memory and kept as checkpoints (smaller blocks,
    // so that views cut many of them): every point and column alike.
    QFETCH(int, games);
    QFETCH(int, setting);
    QFETCH(int, seed);
    Window w(static_cast<std::uint32_t>(seed), Window::OnScreen);
    w.Start(games, setting);
    RunCharts& c = w.charts();
    for (Marker m : kAllMarkers) c.SetMarkerOn(m, true);
    constexpr std::size_t kBlock = 1000;
    const PlayHistory h = test::Held(w.form.History());
    const HistoryRecords heldRecords(h);
    c.Present(w.form.Shown(), heldRecords);
    const std::vector<Drawn> held = DrawnInViews(c, h.size(), kBlock);
    // The held run's home view against the plain envelope over its columns.
    const chart::Samples x(h.PlayNumLog().first(), h.size(), Column::kStrideBytes),
        balance(h.MedalLog().first(), h.size(), Column::kStrideBytes);
    chart::SetRangeWithTicks(c.Bottom, 1000.5, 170'000, 8, 1);
    QList<QPointF> plain;
    for (const chart::XY& p : chart::Envelope(x, balance, c.Bottom->min(), c.Bottom->max(), c.SlumpChart->PlotWidth()))
        plain.append(QPointF(p.x, p.y));
    QCOMPARE(c.SlumpSeries->Series()->points(), plain);

    Slot slot(static_cast<std::uint32_t>(seed));
    CheckpointedRun run(kBlock);
    run.Simulate(slot, {false, setting}, games);
    QCOMPARE(run.size(), h.size());
    QCOMPARE(run.at(run.size() - 1), h.records().back());
    c.Present(w.form.Shown(), run);
    const std::vector<Drawn> played = DrawnInViews(c, run.size(), kBlock);
    QCOMPARE(played.size(), held.size());
    for (std::size_t v = 0; v < held.size(); ++v) {
        QVERIFY2(!held[v].slump.isEmpty() && (!held[v].bars.isEmpty() || !held[v].groups.empty()),
                 qPrintable(QString::number(v)));
        QVERIFY2(played[v] == held[v], qPrintable(QStringLiteral("view %1").arg(v)));
    }
    QVERIFY(!held.front().band.empty() && !held.front().groups.empty());
    QVERIFY(!held.front().markers.front().isEmpty());

    // Its bars kept, as the window plays it: nothing played again for the
    // figures, and the home view as Present leaves it, with no
    // reset of its own, already the run's.
    Slot again(static_cast<std::uint32_t>(seed));
    CheckpointedRun drawn(kBlock);
    drawn.KeepBars();
    drawn.Simulate(again, {false, setting}, games);
    c.Present(w.form.Shown(), drawn);
    QVERIFY(c.Data()->Bytes() < chart::RecordChart(run, RunCharts::kMarkerKoyaku).Bytes());
    QVERIFY(DrawnNow(c) == held.front());
    const std::vector<Drawn> fromTheRun = DrawnInViews(c, drawn.size(), kBlock);
    for (std::size_t v = 0; v < held.size(); ++v)
        QVERIFY2(fromTheRun[v] == held[v], qPrintable(QStringLiteral("view %1").arg(v)));
}

void ChartsTest::runWithoutBBLeavesTheBarsEmpty() {
    Window w(1, Window::OnScreen);
    w.Start(30, 1);
    QCOMPARE(w.form.Shown().BarCount(), std::size_t{0});
    QCOMPARE(w.charts().SlumpBSeries->Count(), std::size_t{0});
    QCOMPARE(w.charts().KModeSeries->count(), 4);
    for (const QPieSlice* s : w.charts().KModeSeries->slices()) QCOMPARE(s->value(), 0.0);
    // The pie of four empty slices: the outline of an empty circle where it
    // would stand, and no line from its centre or anywhere else.
    w.form.PageControl1->setCurrentIndex(static_cast<int>(Page::KeizokuSelect));
    QApplication::processEvents();
    const QImage drawn = w.charts().KModeChart->grab().toImage();
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor p = drawn.pixelColor(x, y);
            QVERIFY2(p.alpha() == 0 || p.value() > 0x60,
                     qPrintable(QStringLiteral("dark pixel at %1, %2").arg(x).arg(y)));
        }
    const QRectF circle = w.charts().PieCircle(Page::KeizokuSelect);
    QCOMPARE(circle.width(), static_cast<double>(RunCharts::kPieDiameter));
    auto outlined = [&](QPointF p) {
        for (int d = -1; d <= 1; ++d)
            for (int e = -1; e <= 1; ++e) {
                const QColor c = drawn.pixelColor(p.toPoint() + QPoint(d, e));
                if (c.alpha() > 0 && c.value() < 0xD0) return true;
            }
        return false;
    };
    const QPointF centre = circle.center();
    for (const QPointF edge : {QPointF(circle.left(), centre.y()), QPointF(circle.right(), centre.y()),
                               QPointF(centre.x(), circle.top()), QPointF(centre.x(), circle.bottom())})
        QVERIFY(outlined(edge));
    QVERIFY(!outlined(centre));
    // A run with BBs draws its pie without the outline.
    w.Start(3000, 6);
    QVERIFY(w.charts().KModeSeries->sum() > 0);
    const QImage full = w.charts().KModeChart->grab().toImage();
    QVERIFY(full.pixelColor(centre.toPoint() + QPoint(30, 30)) != drawn.pixelColor(centre.toPoint() + QPoint(30, 30)));
}

void ChartsTest::piesKeepTheirSizeBesideWideLists() {
    Window w(5, Window::OnScreen);
    bool legendUnderList = false;
    for (int games : {8000, 100000}) {
        w.Start(games, 6);
        for (Page page : {Page::Koyaku, Page::ModeStay, Page::KeizokuSelect}) {
            w.form.PageControl1->setCurrentIndex(static_cast<int>(page));
            QApplication::processEvents();
            chart::ChartView* view = w.charts().PieView(page);
            const QRect list = w.form.List(page)->geometry();
            const QRect sheet = view->parentWidget()->rect();
            const QString where = QStringLiteral("%1 games, page %2").arg(games).arg(static_cast<int>(page));
            // The pie at its designed size, whole on the page, right of the
            // list: at its designed place unless the list reaches into it.
            const QRectF circle = w.charts().PieCircle(page).translated(view->geometry().topLeft());
            QCOMPARE(circle.width(), static_cast<double>(RunCharts::kPieDiameter));
            QVERIFY2(circle.left() > list.right() && QRectF(sheet).contains(circle), qPrintable(where));
            if (list.right() + 6 <= RunCharts::kPieLeft) QCOMPARE(view->geometry().left(), RunCharts::kPieLeft);
            // And drawn there: the slices' colours just inside its edge, all
            // round, and nothing of them just outside.
            const QImage pie = view->grab().toImage();
            const QRectF local = w.charts().PieCircle(page);
            std::vector<QColor> colours;
            for (const QPieSlice* sl : w.charts().PieSeries(page)->slices()) colours.push_back(sl->brush().color());
            int inside = 0;
            for (int a = 0; a < 360; a += 15) {
                const double r = local.width() / 2, t = a * M_PI / 180;
                const QPoint in = (local.center() + QPointF(std::cos(t), std::sin(t)) * (r - 4)).toPoint();
                const QPoint out = (local.center() + QPointF(std::cos(t), std::sin(t)) * (r + 4)).toPoint();
                inside += std::find(colours.begin(), colours.end(), pie.pixelColor(in)) != colours.end();
                QVERIFY2(pie.pixelColor(out) == pie.pixelColor(QPoint(1, 1)), qPrintable(where));
            }
            QVERIFY2(inside >= 20, qPrintable(where));
            // The legend whole on the page, clear of the list and the pie,
            // with colour boxes 15 pixels wide as drawn.
            chart::PieLegend* legend = w.charts().PieLegendOf(page);
            QVERIFY2(legend->isVisible() && sheet.contains(legend->geometry()), qPrintable(where));
            QVERIFY2(!legend->geometry().intersects(list), qPrintable(where));
            QVERIFY2(!QRectF(legend->geometry()).intersects(circle), qPrintable(where));
            legendUnderList |= legend->geometry().top() > list.bottom();
            const QImage key = legend->grab().toImage();
            for (int i = 0; i < static_cast<int>(legend->Entries().size()); ++i) {
                const QRect box = legend->BoxRect(i);
                const int y = box.center().y();
                // From the box's left border to its right one.
                int left = box.left() - 3;
                while (key.pixelColor(left, y) != QColor(Qt::black)) ++left;
                int right = left + 1;
                while (right < key.width() && key.pixelColor(right, y) != QColor(Qt::black)) ++right;
                QCOMPARE(key.pixelColor(left + 1, y), legend->Entries()[static_cast<std::size_t>(i)].colour);
                QCOMPARE(right - left + 1, chart::PieLegend::kBoxWidth);
            }
        }
    }
    // The continuation list widens at 100,000 games: its legend gave way.
    QVERIFY(legendUnderList);
}

void ChartsTest::zoomShowsExactPointsAndDoubleClickGoesHome() {
    Window w(4, Window::OnScreen);
    w.Start(100000, 6);
    chart::ChartView* view = w.charts().SlumpChart;
    const QRectF plot = view->chart()->plotArea();
    QVERIFY(w.charts().SlumpSeries->Series()->count() < 5000);  // an envelope, not 100000 points
    // A drag over the middle 1% of the plot.
    const QPoint a = view->mapFromScene(QPointF(plot.left() + plot.width() * 0.50, plot.top() + 2));
    const QPoint b = view->mapFromScene(QPointF(plot.left() + plot.width() * 0.51, plot.bottom() - 2));
    view->SetAnimatedZoom(false);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, a);
    QTest::mouseMove(view->viewport(), b);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, b);
    const double lo = w.charts().Bottom->min(), hi = w.charts().Bottom->max();
    QVERIFY(hi - lo < 2000 && hi - lo > 500);
    // Every game in view is on the line exactly.
    const PlayHistory h = test::Held(w.form.History());
    const QLineSeries* slump = w.charts().SlumpSeries->Series();
    for (int x = static_cast<int>(std::ceil(lo)); x <= static_cast<int>(hi); x += 37)
        QCOMPARE(YAt(slump, x), static_cast<double>(h.MedalLog()[static_cast<std::size_t>(x) - 1]));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, a);
    QCOMPARE(w.charts().Bottom->min(), 1.0);
    QCOMPARE(w.charts().Bottom->max(), 100000.0);
    QCOMPARE(w.charts().Right->max(), 5.0);
}

void ChartsTest::rightDragScrolls() {
    Window w(4, Window::OnScreen);
    w.Start(10000, 6);
    chart::ChartView* view = w.charts().SlumpChart;
    const double before = w.charts().Bottom->min();
    const double span = w.charts().Bottom->max() - before;
    const QPoint start = view->viewport()->rect().center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start - QPoint(100, 0)),
                     view->viewport()->mapToGlobal(QPointF(start - QPoint(100, 0))), Qt::NoButton, Qt::RightButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, start - QPoint(100, 0));
    // Dragging left by 100 pixels shows later games; the span stays.
    QVERIFY(w.charts().Bottom->min() > before);
    QVERIFY(std::abs((w.charts().Bottom->max() - w.charts().Bottom->min()) - span) < 1e-6 * span);
    QVERIFY(!w.charts().SlumpSeries->Series()->points().isEmpty());
}

namespace {

QAction* MenuItem(chart::ChartView* view, const char* name) {
    return view->Menu()->findChild<QAction*>(QString::fromLatin1(name));
}

}  // namespace

void ChartsTest::imagesHaveTheChartsSize() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Window w(11, Window::OnScreen);
    w.Start(8000, 6);
    w.form.PageControl1->setCurrentIndex(static_cast<int>(Page::Koyaku));
    QApplication::processEvents();
    for (chart::ChartView* view : {w.charts().SlumpChart, w.charts().KoyakuChart}) {
        const QString png = dir.filePath(view->objectName() + QStringLiteral(".png"));
        const QString svg = dir.filePath(view->objectName() + QStringLiteral(".svg"));
        w.services.imageAnswers = {png, svg};
        MenuItem(view, "SavePngAction")->trigger();
        MenuItem(view, "SaveSvgAction")->trigger();
        QCOMPARE(w.services.imageFormats.takeFirst(), QStringLiteral("png"));
        QCOMPARE(w.services.imageFormats.takeFirst(), QStringLiteral("svg"));
        QVERIFY(w.services.imageInitials.takeFirst().endsWith(view->objectName() + QStringLiteral(".png")));
        w.services.imageInitials.clear();
        QVERIFY(w.services.boxes.empty());

        // Pixel for pixel what the screen shows of the chart.
        const QImage image(png);
        QCOMPARE(image.size(), view->size());
        QCOMPARE(image.convertToFormat(QImage::Format_RGB32),
                 view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32));
        QSvgRenderer drawing(svg);
        QVERIFY(drawing.isValid());
        QCOMPARE(drawing.defaultSize(), view->size());
        QCOMPARE(drawing.viewBox(), QRect(QPoint(0, 0), view->size()));
    }
    // The slump chart's SVG holds its texts as text, so it scales sharply.
    QFile svg(dir.filePath(QStringLiteral("SlumpChart.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(svg.readAll());
    QVERIFY(xml.contains(QStringLiteral(">スランプグラフ<")));
    QVERIFY(xml.contains(QStringLiteral(">Medal<")));

    // Cancelled: nothing written. Unwritable: said, and an old file stays.
    w.services.imageAnswers = {QString()};
    MenuItem(w.charts().SlumpChart2, "SavePngAction")->trigger();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 4);
    w.services.imageAnswers = {dir.filePath(QStringLiteral("missing/b.png"))};
    MenuItem(w.charts().SlumpChart2, "SavePngAction")->trigger();
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    QCOMPARE(w.services.boxes[0].text,
             QStringLiteral("画像を保存できませんでした。\n") + dir.filePath(QStringLiteral("missing/b.png")));
    // The next dialog starts in the folder last chosen.
    QCOMPARE(w.services.imageInitials.last(), dir.path() + QStringLiteral("/SlumpChart2.png"));
}

void ChartsTest::rightClickWithoutADragOpensTheMenu() {
    Window w(4, Window::OnScreen);
    w.Start(3000, 6);
    chart::ChartView* view = w.charts().SlumpChart;
    const double before = w.charts().Bottom->min();
    const QPoint at = view->viewport()->rect().center();
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at);
    QTRY_VERIFY(view->Menu()->isVisible());
    QCOMPARE(w.charts().Bottom->min(), before);
    view->Menu()->hide();
    // A drag scrolls and opens nothing.
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
    QMouseEvent move(QEvent::MouseMove, QPointF(at - QPoint(60, 0)),
                     view->viewport()->mapToGlobal(QPointF(at - QPoint(60, 0))), Qt::NoButton, Qt::RightButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at - QPoint(60, 0));
    QApplication::processEvents();
    QVERIFY(!view->Menu()->isVisible());
    QVERIFY(w.charts().Bottom->min() > before);
    QCOMPARE(view->Menu()->actions().size(), 2);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ChartsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "charts_test.moc"
