// From pressing Start to the finished presentation, in the real window on
// the offscreen platform, and the window's peak memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <string>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>

#include "chart/chart_view.h"
#include "shell/hall_form.h"
#include "shell/main_form.h"
#include "shell/result_list.h"
#include "shell/run_charts.h"
#include "shell/services.h"
#include "shell/spread_form.h"

namespace {

using namespace morvane;

class QuietServices : public DesktopServices {
public:
    void ShowError(QWidget*, const QString&, const QString& text) override { qFatal("%s", qPrintable(text)); }
    void ShowErrorDetails(QWidget*, const QString&, const QString& text, const QString&) override {
        qFatal("%s", qPrintable(text));
    }
};

// The first run touches fresh memory (the cold run, reported on its own);
// the timed runs play beside the run on screen, as every run after the
// first does. Run each size in a process of its own for its peak memory.
void BM_StartToPresentation(benchmark::State& state) {
    QuietServices services;
    TMainForm form(services, 1u);
    form.show();
    QApplication::processEvents();
    form.PlayNumEdit->setText(QString::number(state.range(0)));
    const auto cold = std::chrono::steady_clock::now();
    form.StartButton->click();
    QApplication::processEvents();
    state.counters["cold_first_run_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - cold).count();
    int run = 1;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        form.StartButton->click();
        QApplication::processEvents();  // the first paint of what changed
        // Each later run on its own: the second is the first into the other
        // kept run's storage.
        state.counters["run" + std::to_string(++run) + "_ms"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_rss_MB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StartToPresentation)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
    ->Arg(100'000'000)
    ->Arg(1'000'000'000)
    ->Arg(2'147'483'647)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A zoom or a scroll of a slump chart with 10 million to 1 billion games
// behind it, repainted at once, with no marker series shown or all five.
void BM_ZoomAndScrollRepaint(benchmark::State& state) {
    QuietServices services;
    TMainForm form(services, 1u);
    form.show();
    form.PlayNumEdit->setText(QString::number(state.range(1)));
    form.StartButton->click();
    QApplication::processEvents();
    if (state.range(3))
        for (Marker m : kAllMarkers) form.Charts().SetMarkerOn(m, true);
    chart::ChartView* view = state.range(2) ? form.Charts().SlumpChart2 : form.Charts().SlumpChart;
    view->SetAnimatedZoom(false);
    const QRect area = view->viewport()->rect();
    bool zoom = state.range(0) == 0;
    for (auto _ : state) {
        if (zoom) {
            state.PauseTiming();
            view->ResetZoom();
            view->repaint();
            state.ResumeTiming();
            view->ZoomTo(QRect(area.width() / 4, 10, area.width() / 2, area.height() - 40));
        } else {
            view->chart()->scroll(-40, 0);
        }
        view->repaint();
        (state.range(2) ? form.Charts().SlumpChart : form.Charts().SlumpChart2)->repaint();
    }
}
// bars: the bonus-interval chart (35,000 or 350,000 bars) instead.
BENCHMARK(BM_ZoomAndScrollRepaint)
    ->ArgNames({"scroll", "games", "bars", "markers"})
    ->Args({0, 10'000'000, 0, 0})
    ->Args({1, 10'000'000, 0, 0})
    ->Args({0, 100'000'000, 0, 0})
    ->Args({1, 100'000'000, 0, 0})
    ->Args({0, 10'000'000, 1, 0})
    ->Args({1, 10'000'000, 1, 0})
    ->Args({0, 100'000'000, 1, 0})
    ->Args({1, 100'000'000, 1, 0})
    ->Args({0, 1'000'000'000, 0, 0})
    ->Args({0, 1'000'000'000, 0, 1})
    ->Args({1, 1'000'000'000, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// PLAY情報 of a 2,147,483,647-game run jumped to a row far out, its block
// not yet read, and painted: the first jump lands on row 2,000,000,000,
// each one after in another block a third of the run away.
void BM_JumpToPlayRow(benchmark::State& state) {
    QuietServices services;
    TMainForm form(services, 1u);
    form.show();
    form.PlayNumEdit->setText(QStringLiteral("2147483647"));
    form.StartButton->click();
    form.PageControl1->setCurrentIndex(static_cast<int>(Page::Play));
    QApplication::processEvents();
    ResultList* list = form.List(Page::Play);
    std::int64_t row = 2'000'000'000;
    double worst = 0;
    for (auto _ : state) {
        const auto asked = std::chrono::steady_clock::now();
        list->verticalScrollBar()->setValue(static_cast<int>(row));
        list->viewport()->repaint();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
        state.SetIterationTime(ms / 1000);
        worst = std::max(worst, ms);
        row = (row + 715'827'883) % 2'147'483'600;
    }
    if (list->verticalScrollBar()->maximum() < 2'000'000'000) state.SkipWithError("the list is shorter than the run");
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_JumpToPlayRow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Esc during a 100-million-game run: the time from the stop request to the
// window being ready again.
void BM_StopLongRun(benchmark::State& state) {
    QuietServices services;
    TMainForm form(services, 1u);
    form.show();
    form.PlayNumEdit->setText(QStringLiteral("100000000"));
    double worst = 0;
    for (auto _ : state) {
        std::chrono::steady_clock::time_point asked;
        QTimer::singleShot(100, &form, [&] {
            asked = std::chrono::steady_clock::now();
            form.FileStopMenu->trigger();
        });
        form.StartButton->click();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
        state.SetIterationTime(ms / 1000);
        worst = std::max(worst, ms);
        if (form.StatusText(0) != texts::kRunStopped) state.SkipWithError("the run was not stopped");
    }
    state.counters["worst_ms"] = worst;
}
BENCHMARK(BM_StopLongRun)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Opening a 10-million-game file (320 MB) and presenting it.
class OpenServices : public QuietServices {
public:
    QString AskOpenFileName(QWidget*, const QString&) override { return path; }
    QString AskSaveFileName(QWidget*, const QString&) override { return path; }
    QString path;
};

void BM_OpenAndPresent(benchmark::State& state) {
    OpenServices services;
    services.path = QStringLiteral("/tmp/morvane_bench_window.sim");
    TMainForm form(services, 1u);
    form.show();
    form.PlayNumEdit->setText(QStringLiteral("10000000"));
    form.StartButton->click();
    form.FileSaveMenuClick();
    QApplication::processEvents();
    for (auto _ : state) {
        form.FileOpenMenuClick();
        QApplication::processEvents();
    }
    QFile::remove(services.path);
    state.SetBytesProcessed(state.iterations() * (12 + 32 * std::int64_t{10'000'000}));
}
BENCHMARK(BM_OpenAndPresent)->Unit(benchmark::kMillisecond)->Iterations(3);

// A keystroke in ホールデータ holding 5,000 pasted rows of 1500 games: the
// time until the window answers again (the edit read and the estimate
// handed off), and apart from it the time until the new posterior is shown.
void BM_HallKeystroke(benchmark::State& state) {
    THallForm form;
    form.show();
    QString rows;
    for (int i = 0; i < 5000; ++i) rows += QStringLiteral("1500\t青\t3\n");
    form.BBTable->setCurrentCell(0, 0);
    form.PasteIntoBBTable(rows);
    form.GamesEdit->setText(QStringLiteral("7500000"));
    double shownMs = 0;
    std::int64_t games = 7'500'000;
    for (auto _ : state) {
        ++games;
        const auto typed = std::chrono::steady_clock::now();
        form.GamesEdit->setText(QString::number(games));
        QApplication::processEvents();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - typed).count());
        while (form.Computing()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        shownMs = std::max(shownMs,
                           std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - typed).count());
    }
    if (form.Shown().problem != HallProblem::None) state.SkipWithError("no posterior");
    state.counters["posterior_shown_ms"] = shownMs;
}
BENCHMARK(BM_HallKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// 中止 in 分布 with Play数 2147483647 on every core: the time from the click
// to the window being ready again.
void BM_SpreadStop(benchmark::State& state) {
    TSpreadForm form;
    form.show();
    form.PlayNumEdit->setText(QStringLiteral("2147483647"));
    form.SessionsEdit->setText(QStringLiteral("4"));
    form.SetSeed(1);
    for (auto _ : state) {
        form.StartButton->click();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < until) QApplication::processEvents(QEventLoop::AllEvents, 20);
        const auto asked = std::chrono::steady_clock::now();
        form.StopButton->click();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - asked).count());
        if (form.Running()) state.SkipWithError("still running");
    }
}
BENCHMARK(BM_SpreadStop)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
