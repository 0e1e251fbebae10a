// Plays a seeded run in the real window and saves a PNG of the window with
// each result page shown. Run it under Xvfb: scripts/screenshot. With a
// fourth argument "charts" it saves only the two run charts, at home and
// after a rubber-band zoom and a right-drag made with the mouse; with "end",
// the lists scrolled to the run's end and the slump chart zoomed.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <functional>

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>

#include "chart/envelope.h"
#include "shell/about_box.h"
#include "shell/estimate_form.h"
#include "shell/fonts.h"
#include "shell/hall_form.h"
#include "shell/main_form.h"
#include "shell/money_box.h"
#include "shell/now_panel.h"
#include "shell/result_list.h"
#include "shell/run_charts.h"
#include "shell/services.h"
#include "shell/spread_form.h"
#include "shell/startup.h"
#include "shell/theory_form.h"
#include "shell/value_form.h"

namespace {

// The pictures go into the manual: each face the window draws with has to be
// a proportional one that holds Japanese, not a fixed-pitch or Latin stand-in.
bool ProportionalJapanese(const QFont& font, const char* role) {
    const QFontMetrics m(font);
    const QString family = QFontInfo(font).family();
    const bool proportional = m.horizontalAdvance(QStringLiteral("iiii")) < m.horizontalAdvance(QStringLiteral("WWWW"));
    const bool japanese = m.inFont(QChar(0x30A2)) && m.inFont(QChar(0x8A2D));  // ア, 設
    std::fprintf(stderr, "%s font: %s\n", role, qPrintable(family));
    if (proportional && japanese) return true;
    std::fprintf(stderr, "morvane-screenshot: %s is %s; install fonts-ipafont-gothic and fonts-ipafont-mincho\n",
                 qPrintable(family), proportional ? "without Japanese" : "fixed-pitch");
    return false;
}

// A drag over `from` .. `to` (viewport pixels) with `button`, as the mouse
// makes it.
void Drag(QWidget* viewport, Qt::MouseButton button, QPoint from, QPoint to) {
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton b, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), viewport->mapToGlobal(QPointF(at)), b, held, Qt::NoModifier);
        QApplication::sendEvent(viewport, &e);
    };
    send(QEvent::MouseButtonPress, from, button, button);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
    send(QEvent::MouseMove, to, Qt::NoButton, button);
    send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

// The two run charts, home, zoomed by a rubber band over the middle of each
// plot, then scrolled by a right-drag: what the user sees after each step.
void SaveCharts(morvane::TMainForm& form, const QString& out, const QString& tag) {
    morvane::RunCharts& charts = form.Charts();
    // Long enough for the slump chart's animated zoom to end.
    auto settle = [] {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 600) QApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    // As the screen shows it, so what a repaint missed shows too.
    auto save = [&](const QString& step) {
        settle();
        QWidget* client = charts.SlumpChart->parentWidget();
        const QRect area = charts.SlumpChart2->geometry().united(charts.SlumpChart->geometry());
        const QPoint at = client->mapToGlobal(area.topLeft());
        const QString file = QDir(out).filePath(QStringLiteral("charts-%1%2.png").arg(tag, step));
        QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), area.width(), area.height()).save(file);
        std::printf("%s\n", qPrintable(file));
    };
    save(QString());
    for (morvane::chart::ChartView* view : {charts.SlumpChart2, charts.SlumpChart}) {
        const QRectF plot = view->chart()->plotArea();
        const QPoint a =
            view->mapFromScene(QPointF(plot.left() + plot.width() * 0.40, plot.top() + plot.height() * 0.05));
        const QPoint b =
            view->mapFromScene(QPointF(plot.left() + plot.width() * 0.55, plot.bottom() - plot.height() * 0.1));
        Drag(view->viewport(), Qt::LeftButton, a, b);
        settle();
    }
    save(QStringLiteral("-zoom"));
    for (morvane::chart::ChartView* view : {charts.SlumpChart2, charts.SlumpChart}) {
        const QPoint c = view->viewport()->rect().center();
        Drag(view->viewport(), Qt::RightButton, c, c + QPoint(-80, 30));
    }
    save(QStringLiteral("-scroll"));
}

// The end of a long run: the three play lists scrolled to their last
// rows, then the slump chart with every marker series on, zoomed by a
// rubber band over the middle of its plot; last the count box holding the
// largest count.
void SaveEnd(morvane::TMainForm& form, const QString& out) {
    auto save = [&](const QString& name) {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 600) QApplication::processEvents(QEventLoop::AllEvents, 20);
        const QString file = QDir(out).filePath(name);
        form.grab().save(file);
        std::printf("%s\n", qPrintable(file));
    };
    for (morvane::Page page : {morvane::Page::Play, morvane::Page::BB, morvane::Page::ModeChange}) {
        form.PageControl1->setCurrentIndex(static_cast<int>(page));
        form.List(page)->scrollToBottom();
        save(QStringLiteral("end-page%1.png").arg(static_cast<int>(page) + 1));
    }
    form.PageControl1->setCurrentIndex(0);
    for (QCheckBox* c :
         {form.Che2CheckBox, form.Che4CheckBox, form.SuikaACheckBox, form.SuikaBCheckBox, form.ChanceCheckBox})
        c->click();
    morvane::chart::ChartView* view = form.Charts().SlumpChart;
    const QRectF plot = view->chart()->plotArea();
    const QPoint a = view->mapFromScene(QPointF(plot.left() + plot.width() * 0.30, plot.top() + 2));
    const QPoint b = view->mapFromScene(QPointF(plot.left() + plot.width() * 0.70, plot.bottom() - 2));
    Drag(view->viewport(), Qt::LeftButton, a, b);
    save(QStringLiteral("end-zoom.png"));
    // The count box with the largest count it takes, shown whole.
    form.PlayNumEdit->setText(QStringLiteral("2147483647"));
    form.PlayNumEdit->setCursorPosition(0);
    save(QStringLiteral("end-playnum.png"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    morvane::ConfigureApplication(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    const int games = argc > 2 ? std::atoi(argv[2]) : 8000;
    const QString setting = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("6");
    QDir().mkpath(out);

    bool fonts = ProportionalJapanese(QApplication::font(), "window");
    fonts = ProportionalJapanese(morvane::JapaneseFont(QStringLiteral("ＭＳ Ｐ明朝"), 11), "chart axis") && fonts;
    if (!fonts) return 1;
    morvane::DesktopServices services;
    morvane::TMainForm form(services, 20261209u);
    form.show();
    QTimer::singleShot(300, [&] {
        form.PlayNumEdit->setText(QString::number(games));
        form.FlevelComboBox->setEditText(setting);
        form.FileStartMenuClick();
        QApplication::processEvents();
        if (argc > 4 && QString::fromLocal8Bit(argv[4]) == QStringLiteral("end")) {
            SaveEnd(form, out);
            app.quit();
            return;
        }
        if (argc > 4 && QString::fromLocal8Bit(argv[4]) == QStringLiteral("charts")) {
            const QString tag =
                argc > 5 ? QString::fromLocal8Bit(argv[5]) : QStringLiteral("%1-s%2").arg(games).arg(setting);
            SaveCharts(form, out, tag);
            app.quit();
            return;
        }
        for (int page = 0; page < form.PageControl1->count(); ++page) {
            form.PageControl1->setCurrentIndex(page);
            QApplication::processEvents();
            const QString file = QDir(out).filePath(QStringLiteral("window-page%1.png").arg(page + 1));
            form.grab().save(file);
            std::printf("%s\n", qPrintable(file));
            // The page alone, for the manual's section on that page.
            const QString alone = QDir(out).filePath(QStringLiteral("page%1.png").arg(page + 1));
            form.PageControl1->grab().save(alone);
            std::printf("%s\n", qPrintable(alone));
        }
        // The charts with every small-win marker switched on, then zoomed into
        // a 200-game stretch.
        form.PageControl1->setCurrentIndex(0);
        for (QCheckBox* c :
             {form.Che2CheckBox, form.Che4CheckBox, form.SuikaACheckBox, form.SuikaBCheckBox, form.ChanceCheckBox})
            c->click();
        QApplication::processEvents();
        auto save = [&](const char* name) {
            const QString file = QDir(out).filePath(QString::fromLatin1(name));
            form.grab().save(file);
            std::printf("%s\n", qPrintable(file));
        };
        save("charts-markers.png");
        morvane::RunCharts& charts = form.Charts();
        const double from = games / 2.0, to = from + 200;
        const auto r = charts.SlumpSeries->YRangeOf(from, to);
        morvane::chart::SetRangeWithTicks(charts.Bottom, from, to, 8, 1);
        morvane::chart::SetRangeWithTicks(charts.Left, r.min - 10, r.max + 10, 5, 1);
        QApplication::processEvents();
        save("charts-zoom.png");
        // The bonus-interval bars zoomed into forty bars, each with its value.
        const double bars = static_cast<double>(charts.SlumpBSeries->Count());
        const double first = std::max(0.5, bars / 2 - 20);
        morvane::chart::SetRangeWithTicks(charts.Bottom2, first, std::min(bars + 0.5, first + 40), 10, 1);
        QApplication::processEvents();
        save("bars-zoom.png");
        charts.SlumpChart2->ResetZoom();
        charts.SlumpChart->ResetZoom();
        QApplication::processEvents();
        // The slump chart's context menu, as the screen shows it over the window.
        {
            QWidget* chart = charts.SlumpChart;
            const QPoint at = chart->mapToGlobal(QPoint(chart->width() / 2, chart->height() / 3));
            QMenu* menu = charts.SlumpChart->Menu();
            menu->popup(at);
            for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 50);
            const QRect area = chart->rect().translated(chart->mapToGlobal(QPoint(0, 0)));
            const QString file = QDir(out).filePath(QStringLiteral("chart-menu.png"));
            QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(file);
            std::printf("%s\n", qPrintable(file));
            menu->hide();
            QApplication::processEvents();
        }

        // The analysis windows: the figures per setting and the estimate of
        // the run on screen.
        auto saveWidget = [&](QWidget* w, const QString& name) {
            QApplication::processEvents();
            const QString file = QDir(out).filePath(name);
            w->grab().save(file);
            std::printf("%s\n", qPrintable(file));
        };
        form.AnalysisTheoryMenu->trigger();
        morvane::TTheoryForm* theory = form.TheoryForm();
        for (int page = 0; page < theory->Pages->count(); ++page) {
            theory->Pages->setCurrentIndex(page);
            saveWidget(theory, QStringLiteral("theory-page%1.png").arg(page + 1));
        }
        // Each analysis window once its figures are in, keep or quit too.
        auto settle = [](const std::function<bool()>& busy) {
            QElapsedTimer waited;
            waited.start();
            while (busy() && waited.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 50);
        };
        form.AnalysisEstimateMenu->trigger();
        settle(
            [&] { return !form.EstimateForm()->Now->Keep().has_value() || form.EstimateForm()->Now->MoreComputing(); });
        saveWidget(form.EstimateForm(), QStringLiteral("estimate.png"));

        // Hall data entered by hand.
        form.AnalysisHallMenu->trigger();
        morvane::THallForm* hall = form.HallForm();
        hall->GamesEdit->setText(QStringLiteral("1800"));
        hall->PasteIntoBBTable(QStringLiteral("312\t青\t5\n45\t赤\t2\n880\t青\n260\t?\t1\n"));
        hall->Counts[0].edit->setText(QStringLiteral("19"));
        hall->Counts[5].edit->setText(QStringLiteral("40"));
        settle([&] { return hall->Computing() || !hall->Now->Keep().has_value() || hall->Now->MoreComputing(); });
        saveWidget(hall, QStringLiteral("hall.png"));
        // The machine now in cash at 5.6 medals per 100 yen.
        hall->Now->Money->ExchangeBox->setEditText(QStringLiteral("5.6"));
        hall->Now->Money->CashButton->setChecked(true);
        settle([&] { return hall->Now->Running() || !hall->Now->Priced().has_value() || hall->Now->MoreComputing(); });
        saveWidget(hall, QStringLiteral("hall-cash.png"));
        // Up to the ceiling's 1500 games the purchases are followed; past them the money is refused.
        hall->Now->HorizonEdit->setText(QStringLiteral("1500"));
        settle([&] { return hall->Now->Running() || !hall->Now->Priced().has_value() || hall->Now->MoreComputing(); });
        saveWidget(hall, QStringLiteral("hall-cash-1500.png"));
        hall->Now->HorizonEdit->setText(QStringLiteral("1501"));
        settle([&] { return hall->Now->Running() || hall->Now->MoreComputing(); });
        saveWidget(hall, QStringLiteral("hall-cash-1501.png"));
        hall->hide();

        // The spread of a day's sessions, played to the end.
        form.AnalysisSpreadMenu->trigger();
        morvane::TSpreadForm* spread = form.SpreadForm();
        spread->SetSeed(42);
        spread->PlayNumEdit->setText(QStringLiteral("8000"));
        spread->FlevelComboBox->setCurrentText(setting == QStringLiteral("?") ? QStringLiteral("1") : setting);
        spread->SessionsEdit->setText(QStringLiteral("20000"));
        spread->StartButton->click();
        while (spread->Running()) QApplication::processEvents(QEventLoop::AllEvents, 50);
        saveWidget(spread, QStringLiteral("spread.png"));
        spread->hide();

        // The expected value by game count, as it opens.
        form.AnalysisValueMenu->trigger();
        morvane::TValueForm* value = form.ValueForm();
        while (value->Running()) QApplication::processEvents(QEventLoop::AllEvents, 50);
        saveWidget(value, QStringLiteral("value.png"));
        // At 5.6 medals per 100 yen, with the counter's row marked.
        value->ExchangeBox->setEditText(QStringLiteral("5.6"));
        value->CounterEdit->setText(QStringLiteral("950"));
        while (value->Running()) QApplication::processEvents(QEventLoop::AllEvents, 50);
        saveWidget(value, QStringLiteral("value-counter.png"));
        // The same in cash: the chart in yen.
        value->CashButton->setChecked(true);
        while (value->Running()) QApplication::processEvents(QEventLoop::AllEvents, 50);
        saveWidget(value, QStringLiteral("value-cash.png"));
        value->hide();

        // The About box and an open dialog, in Qt's Japanese texts.
        form.AboutBox()->show();
        saveWidget(form.AboutBox(), QStringLiteral("about.png"));
        form.AboutBox()->hide();
        QFileDialog open(&form, {}, out, QStringLiteral("Morvaneファイル (*.sim)"));
        open.setOption(QFileDialog::DontUseNativeDialog);
        open.setAcceptMode(QFileDialog::AcceptOpen);
        open.resize(560, 360);
        open.show();
        saveWidget(&open, QStringLiteral("open-dialog.png"));
        open.hide();

        // A run too short for a BB: the continuation pie has no slice.
        form.PlayNumEdit->setText(QStringLiteral("30"));
        form.FlevelComboBox->setEditText(QStringLiteral("1"));
        form.FileStartMenuClick();
        form.PageControl1->setCurrentIndex(5);
        QApplication::processEvents();
        save("empty-pie.png");
        app.quit();
    });
    return app.exec();
}
