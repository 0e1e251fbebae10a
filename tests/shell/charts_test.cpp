// What the charts hold after a presentation, and how they zoom and scroll.
#include <QCheckBox>
#include <QComboBox>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QPieSeries>
#include <QPieSlice>
#include <QMenu>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QtTest>

#include "fake_services.h"
#include "test_window.h"
#include "shell/main_form.h"
#include "shell/run_charts.h"

using namespace morvane;
using morvane::testing::FakeServices;
using morvane::testing::Window;

namespace {


QList<QString> LegendNames(RunCharts& c) {
    QList<QString> names;
    for (QLegendMarker* m : c.SlumpChart->chart()->legend()->markers())
        if (m->isVisible()) names << m->label();
    return names;
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
    void barsReadAtEveryScale_data();
    void barsReadAtEveryScale();
    void runWithoutBBLeavesTheBarsEmpty();
    void zoomShowsExactPointsAndDoubleClickGoesHome();
    void rightDragScrolls();
    void imagesHaveTheChartsSize();
    void rightClickWithoutADragOpensTheMenu();
};

void ChartsTest::markersSitOnTheSlumpLine() {
    Window w(11, Window::OnScreen);
    w.Start(8000, 6);
    const PlayHistory& h = w.form.History();
    std::size_t total = 0;
    for (Marker m : kAllMarkers) {
        const auto& points = w.charts().Markers[static_cast<std::size_t>(m)]->Points();
        QCOMPARE(points.size(), w.form.Shown().MarkerPointCount(m));
        for (const auto& p : points) {
            const auto j = static_cast<std::size_t>(p.x) - 1;
            QCOMPARE(p.y, static_cast<double>(h.MedalLog()[j]));
            const int k = h.KoyakuLog()[j];
            const Marker expected = k == Cherry2 ? Marker::Cherry2 : k == Cherry4 ? Marker::Cherry4
                                  : k == Suika_A ? Marker::Suika_A : k == Suika_B ? Marker::Suika_B : Marker::Chance;
            QCOMPARE(static_cast<int>(expected), static_cast<int>(m));
            QVERIFY(k != Chance || m == Marker::Chance);
        }
        total += points.size();
    }
    QVERIFY(total > 100);
    // Switched off: the series keeps its points but gives the chart none yet.
    QVERIFY(w.charts().Markers[0]->Series()->points().isEmpty());
}

void ChartsTest::barsAtTheBonusOrdinals() {
    Window w(11, Window::OnScreen);
    w.Start(8000, 6);
    const auto& bars = w.charts().SlumpBSeries->Values();
    QCOMPARE(bars.size(), w.form.Shown().BarCount());
    QVERIFY(bars.size() > 5);
    const PlayHistory& h = w.form.History();
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
    // 600 games fit the chart's width: the line holds every point exactly.
    Window w(3, Window::OnScreen);
    w.Start(600, 6);
    const PlayHistory& h = w.form.History();
    const QLineSeries* mode = w.charts().ModeSeries->Series();
    QCOMPARE(mode->count(), 600);
    int checked = 0;
    for (std::size_t j = 1; j < h.size(); ++j) {
        if (h.BBLog()[j] == 0) continue;
        const double x = h.PlayNumLog()[j];
        QCOMPARE(YAt(mode, x), static_cast<double>(h.ModeLog()[j]));
        if (h.PlayNum2Log()[j] != 1500) {
            QCOMPARE(YAt(mode, x - 1), static_cast<double>(h.BBLog()[j] + 3));  // Blue7 or Red7 before
            ++checked;
        }
    }
    QVERIFY(checked > 0);
    QCOMPARE(w.charts().SlumpSeries->Series()->count(), 600);
    QCOMPARE(w.charts().SlumpSeries->Series()->at(599), QPointF(600, h.MedalLog()[599]));
}

void ChartsTest::piesHoldEverySliceInOrder() {
    Window w(5, Window::OnScreen);
    w.Start(3000, 2);
    const QPieSeries* koyaku = w.charts().KoyakuSeries;
    QCOMPARE(koyaku->count(), 8);
    const QStringList names = {"2枚チェリー", "4枚チェリー", "スイカA", "スイカB", "リプレイA", "リプレイB", "ベル", "チャンス目"};
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
    QVERIFY(LegendNames(w.charts()).isEmpty());
    QVERIFY(!w.charts().SlumpChart->chart()->legend()->isVisible());
    w.form.ChanceCheckBox->click();
    w.form.Che2CheckBox->click();
    QApplication::processEvents();  // the legend lays out its entries
    QCOMPARE(LegendNames(w.charts()), (QList<QString>{"Chance", "Cherry2"}));
    // Drawn under the bottom axis's labels and title, clear of the plot and
    // of the side axes, each entry with its series' marker.
    QChart* c = w.charts().SlumpChart->chart();
    const QRectF legend = c->legend()->geometry(), plot = c->plotArea();
    const QFontMetricsF axisText(w.charts().Bottom->labelsFont());
    QVERIFY(legend.top() >= plot.bottom() + 2 * axisText.height());
    QVERIFY(legend.bottom() <= c->size().height());
    QCOMPARE(c->legend()->markerShape(), QLegend::MarkerShapeFromSeries);
    QVERIFY(w.charts().MarkerOn(Marker::Cherry2));
    QVERIFY(!w.charts().Markers[static_cast<std::size_t>(Marker::Cherry2)]->Series()->points().isEmpty());
    const std::size_t kept = w.charts().Markers[static_cast<std::size_t>(Marker::Cherry2)]->Points().size();
    w.form.Che2CheckBox->click();
    QApplication::processEvents();
    QCOMPARE(LegendNames(w.charts()), (QList<QString>{"Chance"}));
    QVERIFY(!w.charts().MarkerOn(Marker::Cherry2));
    QCOMPARE(w.charts().Markers[static_cast<std::size_t>(Marker::Cherry2)]->Points().size(), kept);
}

void ChartsTest::switchedOnSeriesFillAtTheNextPresentation() {
    Window w(8, Window::OnScreen);
    w.Start(2000, 1);
    w.form.Che4CheckBox->click();
    w.Start(4000, 1);
    auto& s = *w.charts().Markers[static_cast<std::size_t>(Marker::Cherry4)];
    QVERIFY(w.charts().MarkerOn(Marker::Cherry4));
    QCOMPARE(s.Points().size(), w.form.Shown().MarkerPointCount(Marker::Cherry4));
    QVERIFY(!s.Series()->points().isEmpty());
    for (const QPointF& p : s.Series()->points()) QVERIFY(p.x() >= 1 && p.x() <= 4000);
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
    QTest::newRow("8000") << 8000;
    QTest::newRow("100000") << 100000;
    QTest::newRow("2000000") << 2000000;
}

void ChartsTest::barsReadAtEveryScale() {
    QFETCH(int, games);
    Window w(12, Window::OnScreen);
    w.Start(games, 6);
    chart::ChartView* view = w.charts().SlumpChart2;
    const QImage drawn = view->grab().toImage();
    const QRectF plot = view->chart()->plotArea();
    const auto& bars = w.charts().SlumpBSeries->Values();
    QVERIFY(bars.size() > 20);
    // Halfway up every bar the user sees the bar's colour (within a pixel
    // of where the bar stands), however narrow the bars are.
    const QColor fill(0xFF, 0x8E, 0x8E);
    const double pixelsPerPlay = plot.height() / w.charts().Left2->max();
    int looked = 0;
    for (const chart::XY& b : bars) {
        const QPoint mid =
            view->mapFromScene(view->chart()->mapToPosition(QPointF(b.x, b.y / 2), w.charts().SlumpBSeries->Series()));
        if (!plot.adjusted(2, 2, -2, -2).contains(mid) || b.y * pixelsPerPlay < 6) continue;
        const bool seen = drawn.pixelColor(mid) == fill || drawn.pixelColor(mid + QPoint(1, 0)) == fill ||
                          drawn.pixelColor(mid - QPoint(1, 0)) == fill;
        QVERIFY2(seen, qPrintable(QStringLiteral("bar %1 of height %2").arg(b.x).arg(b.y)));
        ++looked;
    }
    QVERIFY(looked > static_cast<int>(bars.size()) / 3);
    // Value boxes never overlap; a bar without one tells its value.
    const std::vector<QRectF> boxes = w.charts().SlumpBSeries->ShownMarks();
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = i + 1; j < boxes.size(); ++j) QVERIFY(!boxes[i].intersects(boxes[j]));
    QCOMPARE(static_cast<int>(boxes.size()), w.charts().SlumpBSeries->MarksShown());
    if (bars.size() <= chart::Bars::kMaxMarks) QVERIFY(!boxes.empty());
    const chart::XY& some = bars[bars.size() / 2];
    QCOMPARE(w.charts().SlumpBSeries->ToolTipAt(some.x + 0.2),
             QStringLiteral("%1回目: %2").arg(some.x).arg(some.y));
    QVERIFY(w.charts().SlumpBSeries->ToolTipAt(0).isEmpty());
}

void ChartsTest::runWithoutBBLeavesTheBarsEmpty() {
    Window w(1, Window::OnScreen);
    w.Start(30, 1);
    QCOMPARE(w.form.Shown().BarCount(), std::size_t{0});
    QVERIFY(w.charts().SlumpBSeries->Values().empty());
    QCOMPARE(w.charts().KModeSeries->count(), 4);
    for (const QPieSlice* s : w.charts().KModeSeries->slices()) QCOMPARE(s->value(), 0.0);
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
    const PlayHistory& h = w.form.History();
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
    QMouseEvent move(QEvent::MouseMove, QPointF(start - QPoint(100, 0)), view->viewport()->mapToGlobal(QPointF(start - QPoint(100, 0))),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
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
    QMouseEvent move(QEvent::MouseMove, QPointF(at - QPoint(60, 0)), view->viewport()->mapToGlobal(QPointF(at - QPoint(60, 0))),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
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
