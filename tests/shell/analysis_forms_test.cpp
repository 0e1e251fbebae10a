// The analysis windows as the menu opens them.
#include <QAction>
#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QValueAxis>
#include <QtTest>
#include <cmath>
#include <functional>
#include <numeric>
#include <string_view>

#include "app/hall_input.h"
#include "chart/chart_view.h"
#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_now.h"
#include "estimation/more_games.h"
#include "estimation/trust.h"
#include "fake_services.h"
#include "machine/slot.h"
#include "model/likelihood.h"
#include "model/value_by_count.h"
#include "present/names.h"
#include "run/single_run.h"
#include "sessions/spread_report.h"
#include "shell/estimate_form.h"
#include "shell/hall_form.h"
#include "shell/job_runner.h"
#include "shell/main_form.h"
#include "shell/money_box.h"
#include "shell/now_panel.h"
#include "shell/prior_box.h"
#include "shell/spread_form.h"
#include "shell/theory_form.h"
#include "shell/value_form.h"
#include "support/test_jobs.h"
#include "test_window.h"

using namespace morvane;
using morvane::testing::FakeServices;

class AnalysisFormsTest : public QObject {
    Q_OBJECT
private slots:
    void theoryTableForEverySetting();
    void theoryNeedsAValidNumberOfGames();
    void estimateWithoutARun();
    void estimateOfAHiddenRunRevealsNothing();
    void spreadPlaysBesideTheMainWindowAndShowsTheCommandLinesFigures();
    void spreadStopsAndRefusesBadInputs();
    void spreadSaysWhoseFiguresItShows();
    void estimateShowsTheExactPosteriorBesideTheCounts();
    void hallDataFollowsEveryEdit();
    void estimateRefusesARecordNoSettingPlays();
    void valueDialogShowsTheLibrarysTableAndChart();
    void valueMoneyInWords();
    void estimateTakesThePriorAndShowsTheMachineNow();
    void estimateFollowsTheRunOnScreen();
    void hallDataTakesThePriorAndShowsTheMachineNow();
    void jobRunnerDeliversOnTheWindowsThreadAndStops();
};

void AnalysisFormsTest::theoryTableForEverySetting() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.PlayNumEdit->setText(QStringLiteral("8000"));
    form.AnalysisTheoryMenu->trigger();
    TTheoryForm* t = form.TheoryForm();
    QVERIFY(t && t->isVisible());
    QCOMPARE(t->windowTitle(), QStringLiteral("理論値"));
    QCOMPARE(t->LongRunTable->rowCount(), 6);
    QCOMPARE(t->LongRunTable->item(0, 1)->text(), QStringLiteral("93.28%"));
    QCOMPARE(t->LongRunTable->item(0, 2)->text(), QStringLiteral("1/329.51"));
    QCOMPARE(t->LongRunTable->item(5, 1)->text(), QStringLiteral("104.75%"));
    QCOMPARE(t->LongRunTable->item(5, 2)->text(), QStringLiteral("1/267.01"));
    QVERIFY(t->RunCaption->text().contains(QStringLiteral("8000")));
    // Setting 1 loses in expectation, setting 6 wins.
    QVERIFY(t->RunTable->item(0, 1)->text().toDouble() < 0);
    QVERIFY(t->RunTable->item(5, 1)->text().toDouble() > 0);
    QVERIFY(services.boxes.empty());
}

void AnalysisFormsTest::theoryNeedsAValidNumberOfGames() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.PlayNumEdit->setText(QStringLiteral("0"));
    form.AnalysisTheoryMenu->trigger();
    QCOMPARE(services.boxes.size(), std::size_t{1});
    QCOMPARE(services.boxes[0].text, QStringLiteral("Play数は、1以上にしてください。"));
    form.PlayNumEdit->setText(QStringLiteral("x"));
    form.AnalysisTheoryMenu->trigger();
    QCOMPARE(services.boxes.size(), std::size_t{2});
    QCOMPARE(services.boxes[1].text, QStringLiteral("'x' は整数ではありません"));
}

void AnalysisFormsTest::estimateWithoutARun() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.AnalysisEstimateMenu->trigger();
    TEstimateForm* e = form.EstimateForm();
    QVERIFY(e && e->isVisible());
    QVERIFY(e->Probabilities().empty());
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("推測するプレイがありません。")));
}

void AnalysisFormsTest::estimateOfAHiddenRunRevealsNothing() {
    FakeServices services;
    TMainForm form(services, 12345u);  // "?" draws setting 5
    form.PlayNumEdit->setText(QStringLiteral("300000"));
    form.FlevelComboBox->setEditText(QStringLiteral("?"));
    form.StartButton->click();
    const QString notice = form.Label3->text();
    form.AnalysisEstimateMenu->trigger();
    TEstimateForm* e = form.EstimateForm();
    const std::vector<double> p = e->Probabilities();
    QCOMPARE(p.size(), std::size_t{6});
    QVERIFY(std::abs(std::accumulate(p.begin(), p.end(), 0.0) - 1) < 1e-9);
    // Settings 4 to 6 have all but the same small-win table, so only the BB
    // rate tells them apart; the lower three are ruled out.
    QVERIFY(p[3] + p[4] + p[5] > 0.99);
    QVERIFY(p[4] > p[0] && p[4] > p[1] && p[4] > p[2]);
    QCOMPARE(e->Table->item(4, 1)->text(), QString::number(p[4] * 100, 'f', 2) + QLatin1Char('%'));
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:300000")));
    const auto* bars = qobject_cast<QBarSeries*>(e->Chart->chart()->series().value(0));
    QVERIFY(bars);
    QCOMPARE(bars->barSets().value(0)->count(), 6);
    QCOMPARE(form.FlevelComboBox->currentText(), QStringLiteral("?"));
    QCOMPARE(form.Label3->text(), notice);
}

void AnalysisFormsTest::spreadPlaysBesideTheMainWindowAndShowsTheCommandLinesFigures() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.PlayNumEdit->setText(QStringLiteral("1500"));
    form.FlevelComboBox->setEditText(QStringLiteral("4"));
    form.AnalysisSpreadMenu->trigger();
    TSpreadForm* sp = form.SpreadForm();
    QVERIFY(sp && sp->isVisible());
    QCOMPARE(sp->windowTitle(), QStringLiteral("分布"));
    QCOMPARE(sp->PlayNumEdit->text(), QStringLiteral("1500"));
    QCOMPARE(sp->FlevelComboBox->currentText(), QStringLiteral("4"));
    sp->SessionsEdit->setText(QStringLiteral("400"));
    sp->SetSeed(42);
    sp->StartButton->click();
    QVERIFY(sp->Running());
    QVERIFY(!sp->StartButton->isEnabled());
    // The main window plays a run of its own meanwhile.
    form.StartButton->click();
    QCOMPARE(form.StatusText(0), QStringLiteral("シミュレーション完了"));
    QTRY_VERIFY_WITH_TIMEOUT(!sp->Running(), 60000);
    QCOMPARE(sp->ProgressBar->value(), 100);
    QVERIFY(sp->StartButton->isEnabled() && !sp->StopButton->isEnabled());
    QVERIFY(sp->StatusLabel->text().contains(QStringLiteral("シード 42")));

    const SpreadRequest request{4, 1500, 400, 42};
    std::vector<SessionTally> tallies(400);
    QVERIFY(PlaySpread(request, 1, tallies));
    const QStringList lines = QString::fromStdString(SpreadText(Summarise(request, tallies))).split('\n');
    // The command line's figures, rounded for reading: whole numbers as they
    // are, the rest to at most half a unit of their last digit.
    for (int row = 0; row < 6; ++row) {
        const QStringList f = lines[5 + row].split('\t');
        QCOMPARE(sp->Table->columnCount(), f.size());
        for (int c = 1; c < f.size(); ++c) {
            const QString shown = sp->Table->item(row, c)->text();
            if (!f[c].contains(QLatin1Char('.'))) {
                QCOMPARE(shown, f[c]);
                continue;
            }
            const qsizetype point = shown.indexOf(QLatin1Char('.'));
            QVERIFY2(point > 0 && shown.size() - point - 1 <= 2, qPrintable(shown));
            const double half = 0.5 * std::pow(10.0, -static_cast<double>(shown.size() - point - 1));
            QVERIFY2(std::abs(shown.toDouble() - f[c].toDouble()) <= half + 1e-9, qPrintable(shown + " " + f[c]));
        }
    }
    // Every column fits a screen 1024 pixels wide without a scroll bar.
    int columns = 2 * sp->Table->frameWidth();
    for (int c = 0; c < sp->Table->columnCount(); ++c) columns += sp->Table->columnWidth(c);
    QVERIFY2(columns <= 1024 - 80, qPrintable(QString::number(columns)));
    const auto* area = qobject_cast<QAreaSeries*>(sp->Chart->chart()->series().value(0));
    QVERIFY(area);
    const QList<QPointF> points = area->upperSeries()->points();
    double sessions = 0;
    for (int i = 0; i < points.size(); i += 2) sessions += points[i].y();
    QCOMPARE(sessions, 400.0);
    // The bars stand on round balances, and the axis ticks are round too.
    const BalanceHistogram h = HistogramOfBalance(tallies, 40);
    QCOMPARE(points.size(), 2 * static_cast<int>(h.counts.size()));
    for (const QPointF& p : points) QCOMPARE(std::fmod(p.x(), static_cast<double>(h.width)), 0.0);
    const auto* x = qobject_cast<QValueAxis*>(sp->Chart->chart()->axes(Qt::Horizontal).value(0));
    QVERIFY(x);
    QCOMPARE(x->tickAnchor(), 0.0);
    const double step = x->tickInterval() / std::pow(10.0, std::floor(std::log10(x->tickInterval())));
    QVERIFY2(step == 1 || step == 2 || step == 5, qPrintable(QString::number(x->tickInterval())));
    // Every row of the table in sight, none cut by the frame or a scroll bar.
    QApplication::processEvents();
    const QRect inSight = sp->Table->viewport()->rect();
    for (int row = 0; row < sp->Table->rowCount(); ++row) {
        const QRect cell = sp->Table->visualItemRect(sp->Table->item(row, 0));
        QVERIFY2(cell.top() >= inSight.top() && cell.bottom() <= inSight.bottom(), qPrintable(QString::number(row)));
    }
}

void AnalysisFormsTest::spreadStopsAndRefusesBadInputs() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.AnalysisSpreadMenu->trigger();
    TSpreadForm* sp = form.SpreadForm();
    for (const auto& [games, sessions, says] :
         {std::tuple{"0", "10", "Play数は、1以上にしてください。"},
          std::tuple{"10", "0", "セッション数は、1以上にしてください。"},
          std::tuple{"10", "x", "'x' は整数ではありません"},
          // 64 GiB of tallies: refused before anything is touched.
          std::tuple{"10", "2147483647", "メモリが足りません。セッション数を減らしてください。"}}) {
        sp->PlayNumEdit->setText(QString::fromUtf8(games));
        sp->SessionsEdit->setText(QString::fromUtf8(sessions));
        sp->StartButton->click();
        QVERIFY(!sp->Running());
        QCOMPARE(sp->StatusLabel->text(), QString::fromUtf8(says));
        QVERIFY(sp->StartButton->isEnabled());
    }
    // Far more than a test could wait for.
    sp->PlayNumEdit->setText(QStringLiteral("8000"));
    sp->SessionsEdit->setText(QStringLiteral("100000000"));
    sp->StartButton->click();
    QVERIFY(sp->Running());
    sp->StopButton->click();
    QVERIFY(!sp->Running());
    QCOMPARE(sp->StatusLabel->text(), QStringLiteral("中止しました。"));
    QCOMPARE(sp->ProgressBar->value(), 0);
    QVERIFY(sp->StartButton->isEnabled());
    // One endless session on every thread: Esc closes the window and stops
    // it within the session, and the window opened again is idle.
    sp->PlayNumEdit->setText(QStringLiteral("2147483647"));
    sp->SessionsEdit->setText(QStringLiteral("4"));
    sp->StartButton->click();
    QVERIFY(sp->Running());
    QTest::keyClick(sp, Qt::Key_Escape);
    QVERIFY(!sp->isVisible());
    QVERIFY(!sp->Running());
    form.AnalysisSpreadMenu->trigger();
    QCOMPARE(form.SpreadForm(), sp);
    QCOMPARE(sp->StatusLabel->text(), QStringLiteral("中止しました。"));
    QVERIFY(sp->StartButton->isEnabled());
    // Left running: closing the main window ends it.
    sp->StartButton->click();
    QVERIFY(sp->Running());
}

// Figures under inputs that are not theirs say whose they are: after an
// edit, during a new run and after it is stopped. The ends replay with the
// seeds the command line prints, and a result does not widen the window.
void AnalysisFormsTest::spreadSaysWhoseFiguresItShows() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.AnalysisSpreadMenu->trigger();
    TSpreadForm* sp = form.SpreadForm();
    QApplication::processEvents();
    const int width = sp->width(), least = sp->Table->minimumWidth();
    sp->FlevelComboBox->setCurrentIndex(1);
    sp->PlayNumEdit->setText(QStringLiteral("300"));
    sp->SessionsEdit->setText(QStringLiteral("50"));
    sp->SetSeed(7);
    sp->StartButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!sp->Running(), 60000);
    QApplication::processEvents();
    QVERIFY(!sp->ShowsEarlierFigures());
    QCOMPARE(sp->width(), width);
    QCOMPARE(sp->Table->minimumWidth(), least);
    // Every column as wide as its figures, all within the table.
    int columns = 0;
    const QAbstractItemView* view = sp->Table;
    for (int c = 0; c < sp->Table->columnCount(); ++c) {
        const int wants = std::max(view->sizeHintForColumn(c), sp->Table->horizontalHeader()->sectionSizeHint(c));
        QVERIFY2(sp->Table->columnWidth(c) >= wants, qPrintable(QString::number(c)));
        columns += sp->Table->columnWidth(c);
    }
    QVERIFY2(columns <= sp->Table->viewport()->width(), qPrintable(QString::number(columns)));
    const SpreadRequest request{2, 300, 50, 7};
    std::vector<SessionTally> tallies(50);
    QVERIFY(PlaySpread(request, 1, tallies));
    const SpreadReport report = BuildSpreadReport(Summarise(request, tallies));
    QCOMPARE(report.ends.size(), std::size_t{2});
    QCOMPARE(
        sp->EndsLabel->text(),
        QStringLiteral("最悪: セッション %1（シード %2）収支 %3枚　最良: セッション %4（シード %5）収支 %6枚\n"
                       "そのセッションだけを打ち直すには: morvane-sim run --seed シード --setting 2 --games 300")
            .arg(QString::fromStdString(report.ends[0].cells[0]), QString::fromStdString(report.ends[0].cells[1]),
                 QString::fromStdString(report.ends[0].cells[2]), QString::fromStdString(report.ends[1].cells[0]),
                 QString::fromStdString(report.ends[1].cells[1]), QString::fromStdString(report.ends[1].cells[2])));
    const QString summary = sp->StatusLabel->text();
    const QString shown = QStringLiteral("設定2・Play数 300 × 50 回（シード 7）");
    auto greyed = [&] { return sp->Table->item(0, 1)->data(Qt::ForegroundRole).isValid(); };
    QVERIFY(!greyed());
    // An edit: the figures stay, greyed, with their inputs; undone, they are
    // the inputs' again.
    sp->PlayNumEdit->setText(QStringLiteral("3000"));
    QVERIFY(sp->ShowsEarlierFigures());
    QVERIFY(greyed());
    QCOMPARE(sp->StatusLabel->text(),
             QStringLiteral("下の図表は%1の結果です。開始を押すと、いまの入力で計算します。").arg(shown));
    auto fill = [&] { return qobject_cast<QAreaSeries*>(sp->Chart->chart()->series().value(0))->color(); };
    QCOMPARE(fill(), QColor(0xC8, 0xC8, 0xC8));
    sp->PlayNumEdit->setText(QStringLiteral("300"));
    QVERIFY(!sp->ShowsEarlierFigures());
    QVERIFY(!greyed());
    QCOMPARE(fill(), QColor(0xFF, 0x8E, 0x8E));
    QCOMPARE(sp->StatusLabel->text(), summary);
    sp->FlevelComboBox->setCurrentIndex(5);
    QVERIFY(sp->ShowsEarlierFigures());
    // A run that is stopped leaves the earlier figures, said to be earlier,
    // and no share of its own on the bar.
    sp->PlayNumEdit->setText(QStringLiteral("8000"));
    sp->SessionsEdit->setText(QStringLiteral("200000"));
    sp->SetSeed(8);
    sp->StartButton->click();
    QVERIFY(sp->Running());
    QCOMPARE(sp->StatusLabel->text(), QStringLiteral("実行中・・・　下の図表は前回の%1の結果です。").arg(shown));
    QTRY_VERIFY_WITH_TIMEOUT(sp->ProgressBar->value() > 0, 60000);
    sp->StopButton->click();
    QVERIFY(!sp->Running());
    QCOMPARE(sp->ProgressBar->value(), 0);
    QCOMPARE(sp->StatusLabel->text(), QStringLiteral("中止しました。下の図表は前回の%1の結果です。").arg(shown));
    QVERIFY(sp->ShowsEarlierFigures());
    QVERIFY(greyed());
    QCOMPARE(fill(), QColor(0xC8, 0xC8, 0xC8));
    QCOMPARE(sp->Summary().request.seed, 7u);
    // Back to the shown inputs, the figures are still of a run before the
    // stopped one.
    sp->FlevelComboBox->setCurrentIndex(1);
    sp->PlayNumEdit->setText(QStringLiteral("300"));
    sp->SessionsEdit->setText(QStringLiteral("50"));
    QVERIFY(sp->ShowsEarlierFigures());
    // An edit while a run plays: its figures come in marked.
    sp->StartButton->click();
    QVERIFY(sp->Running());
    sp->PlayNumEdit->setText(QStringLiteral("301"));
    QTRY_VERIFY_WITH_TIMEOUT(!sp->Running(), 60000);
    QVERIFY(sp->ShowsEarlierFigures());
    QVERIFY(sp->StatusLabel->text().startsWith(QStringLiteral("下の図表は設定2・Play数 300 × 50 回")));
    // A refused input clears them.
    sp->SessionsEdit->setText(QStringLiteral("0"));
    sp->StartButton->click();
    QVERIFY(!sp->ShowsEarlierFigures());
    QVERIFY(sp->EndsLabel->text().isEmpty());
    QVERIFY(sp->Table->item(0, 1)->text().isEmpty());
    QVERIFY(sp->Chart->chart()->series().isEmpty());
}

// The chart and the first columns hold the exact posterior of the visible
// record, the last the count-based one; for the seed-12345 batch file the
// exact log-likelihoods are those of tests/reference/independent_results.md (independent
// implementation).
void AnalysisFormsTest::estimateShowsTheExactPosteriorBesideTheCounts() {
    Slot slot(12345);
    PlayHistory h;
    QCOMPARE(SimulateRun(slot, h, {true, 1}, 8000), 5);
    const std::vector<SettingTheory> theories = AllSettingTheories();
    TEstimateForm e(theories);
    const HistoryRecords records1(h);
    e.ShowFor(records1);
    const ExactEstimate exact = EstimateSettingExactly(h.records());
    const SettingPosterior counted = EstimateSetting(theories, ObserveHistory(h));
    QCOMPARE(e.Table->columnCount(), 4);
    QCOMPARE(e.Table->horizontalHeaderItem(2)->text(), QStringLiteral("事前の配分"));
    QCOMPARE(e.Table->horizontalHeaderItem(3)->text(), QStringLiteral("回数だけの判別"));
    for (int s = 0; s < 6; ++s) {
        const auto i = static_cast<std::size_t>(s);
        QCOMPARE(e.Probabilities()[i], exact.posterior.probability[i]);
        QCOMPARE(e.CountProbabilities()[i], counted.probability[i]);
        QCOMPARE(e.Table->item(s, 1)->text(),
                 QString::number(exact.posterior.probability[i] * 100, 'f', 2) + QLatin1Char('%'));
        QCOMPARE(e.Table->item(s, 3)->text(), QString::number(counted.probability[i] * 100, 'f', 2) + QLatin1Char('%'));
    }
    // The log-likelihood is a detail of the probability, not a column.
    QCOMPARE(e.Table->item(0, 1)->toolTip(), QStringLiteral("対数尤度: -13692.329"));
    QCOMPARE(e.Table->item(5, 1)->toolTip(), QStringLiteral("対数尤度: -13686.747"));
    QCOMPARE(e.Table->item(0, 2)->text(), QStringLiteral("16.67%"));
    QVERIFY(e.Probabilities() != e.CountProbabilities());
    const auto* bars = qobject_cast<QBarSeries*>(e.Chart->chart()->series().value(0));
    QVERIFY(bars);
    // Bars and table round alike.
    for (int s = 0; s < 6; ++s)
        QCOMPARE(QString::number(bars->barSets().value(0)->at(s), 'f', 2) + QLatin1Char('%'),
                 e.Table->item(s, 1)->text());
}

void AnalysisFormsTest::estimateRefusesARecordNoSettingPlays() {
    Slot slot(3);
    PlayHistory h;
    SimulateRun(slot, h, {false, 2}, 50);
    const std::vector<SettingTheory> theories = AllSettingTheories();
    TEstimateForm e(theories);
    const HistoryRecords records2(h);
    e.ShowFor(records2);
    QCOMPARE(e.Probabilities().size(), std::size_t{6});
    h.KoyakuLog()[9] = 77;
    const HistoryRecords records3(h);
    e.ShowFor(records3);
    QVERIFY(e.Probabilities().empty());
    QCOMPARE(e.Seen->text(), QStringLiteral("10ゲーム目に、この機械が記録しない値があります。推測できません。"));
    QVERIFY(e.Chart->chart()->series().isEmpty());
    h.KoyakuLog()[9] = BBGame;
    h.BBLog()[9] = BlueBB;
    h.KeizokuNumLog()[9] = 1;
    h.KoyakuLog()[0] = BBGame;
    h.BBLog()[0] = RedBB;
    h.KeizokuNumLog()[0] = 1;
    const HistoryRecords records4(h);
    e.ShowFor(records4);
    QVERIFY(e.Probabilities().empty());
    QCOMPARE(e.Seen->text(), QStringLiteral("このプレイは、どの設定でも起こり得ません（1ゲーム目）。推測できません。"));
}

// A column pasted from a spreadsheet and small wins counted by hand: the
// table follows every edit with the library's own posterior, and says what
// is wrong instead of a posterior when the data cannot be.
void AnalysisFormsTest::hallDataFollowsEveryEdit() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.AnalysisHallMenu->trigger();
    THallForm* h = form.HallForm();
    QVERIFY(h && h->isVisible());
    QCOMPARE(h->windowTitle(), QStringLiteral("ホールデータ"));
    // Before any data, the header already names the horizon in its field.
    const QTableWidgetItem* horizonHeader = h->Now->ValueTable->horizontalHeaderItem(1);
    QCOMPARE(horizonHeader->text(), QStringLiteral("次の1000G 収支"));
    h->Now->HorizonEdit->setText(QStringLiteral("300"));
    QCOMPARE(horizonHeader->text(), QStringLiteral("次の300G 収支"));
    h->Now->HorizonEdit->setText(QStringLiteral("1000"));
    // Only the games so far: the window asks for the BB history instead of
    // calling 3000 games without a BB impossible.
    h->GamesEdit->setText(QStringLiteral("3000"));
    QCOMPARE(h->Status->text(), QStringLiteral("BB履歴を入れてください。BBなしで続くのは1531ゲームまでです。"));
    QVERIFY(!h->Computing());
    h->BBTable->setCurrentCell(0, 0);
    QApplication::clipboard()->setText(QStringLiteral("312\t青\t5\n45\t赤\n1200,?,3\n"));
    QTest::keySequence(h->BBTable, QKeySequence::Paste);
    QCOMPARE(h->BBTable->item(1, 1)->text(), QStringLiteral("赤"));
    QCOMPARE(h->BBTable->item(2, 2)->text(), QStringLiteral("3"));
    auto count = [&](const char* name) {
        for (const THallForm::CountField& f : h->Counts)
            if (std::string_view(f.name) == name) return f.edit;
        return static_cast<QLineEdit*>(nullptr);
    };
    count("cherry2")->setText(QStringLiteral("14"));
    const HallData entered{3000, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}}, {{*CountedWinKinds("cherry2"), 14}}};
    const HallEstimate e = EstimateSettingFromHallData(entered);
    QCOMPARE(e.problem, HallProblem::None);
    auto percent = [](double p) { return QString::number(p * 100, 'f', 2) + QLatin1Char('%'); };
    auto text = [&](int row, int column) {
        const QTableWidgetItem* item = h->Table->item(row, column);
        return item ? item->text() : QString();
    };
    // The estimate runs once the typing pauses, off the window's thread.
    QVERIFY(h->Computing());
    QTRY_VERIFY(!h->Computing());
    for (int s = 0; s < 6; ++s) {
        const auto i = static_cast<std::size_t>(s);
        QCOMPARE(text(s, 1), percent(e.posterior.probability[i]));
        QCOMPARE(text(s, 2), percent(e.bbPosterior[i]));
        QCOMPARE(text(s, 3), percent(e.winsPosterior[i]));
    }
    // Keystrokes in a row: the last posterior stays until the newest data's
    // is ready, and only that one is shown.
    const QString before = text(0, 1);
    h->GamesEdit->setText(QStringLiteral("3005"));
    h->GamesEdit->setText(QStringLiteral("3001"));
    QCOMPARE(h->Status->text(), QStringLiteral("計算中・・・"));
    QCOMPARE(text(0, 1), before);
    // Greyed meanwhile, and said to be of the entries before.
    auto greyed = [&] {
        const QTableWidgetItem* item = h->Table->item(0, 1);
        return item && item->data(Qt::ForegroundRole).isValid();
    };
    QVERIFY(h->ShowsEarlierFigures());
    QVERIFY(greyed());
    QVERIFY(!h->Now->isEnabled());
    QCOMPARE(h->FiguresLabel->text(),
             QStringLiteral("更新中・・・　下の表は、前に計算できた入力（総ゲーム数 3000・BB 3回・"
                            "数えた小役 1種類）の結果です。"));
    HallData later = entered;
    later.games = 3001;
    const HallEstimate l = EstimateSettingFromHallData(later);
    QTRY_VERIFY(!h->Computing());
    for (int s = 0; s < 6; ++s) QCOMPARE(text(s, 1), percent(l.posterior.probability[static_cast<std::size_t>(s)]));
    QVERIFY(!h->ShowsEarlierFigures());
    QVERIFY(!greyed());
    QVERIFY(h->Now->isEnabled());
    QVERIFY(h->FiguresLabel->isHidden());
    // Typed key by key, the games pass through numbers the history does not
    // fit: each is said at once, and the figures stay in sight, marked.
    h->GamesEdit->selectAll();
    QTest::keyClick(h->GamesEdit, '3');
    QCOMPARE(h->Status->text(), QStringLiteral("BB履歴のゲーム数の合計が、総ゲーム数を超えています。"));
    for (const char key : {'0', '0', '1'}) {
        QVERIFY(h->ShowsEarlierFigures());
        QCOMPARE(text(0, 1), percent(l.posterior.probability[0]));
        QVERIFY(h->FiguresLabel->text().contains(QStringLiteral("総ゲーム数 3001・")));
        QTest::keyClick(h->GamesEdit, key);
    }
    QTRY_VERIFY(!h->Computing());
    QVERIFY(!h->ShowsEarlierFigures());
    // A history that stops short of the games asks for its rest; a stretch
    // past the ceiling within it is impossible.
    h->GamesEdit->setText(QStringLiteral("3100"));
    QCOMPARE(h->Status->text(),
             QStringLiteral("最後のBBのあとが1543ゲームあります。BBなしで続くのは1531ゲームまでなので、"
                            "BB履歴の続きを入れてください。"));
    QVERIFY(h->ShowsEarlierFigures() && greyed());
    h->GamesEdit->setText(QStringLiteral("3001"));
    h->BBTable->setItem(2, 0, new QTableWidgetItem(QStringLiteral("1533")));
    QTRY_VERIFY(!h->Computing());
    QCOMPARE(h->Status->text(),
             QStringLiteral("このBB履歴は、どの設定でも起こり得ません（BBなしで1532ゲーム以上続く区間があります）。"));
    QVERIFY(h->ShowsEarlierFigures());
    h->BBTable->setItem(2, 0, new QTableWidgetItem(QStringLiteral("1200")));
    QTRY_VERIFY(!h->Computing() && !h->ShowsEarlierFigures());
    // Cherries counted twice over, then a row that is no number: said at once.
    count("cherry")->setText(QStringLiteral("20"));
    QCOMPARE(h->Status->text(), QStringLiteral("数えた小役が重なっているか、負の数です。"));
    QVERIFY(h->ShowsEarlierFigures());
    count("cherry")->clear();
    QTRY_VERIFY(!h->Computing() && !h->ShowsEarlierFigures());
    h->BBTable->setItem(1, 0, new QTableWidgetItem(QStringLiteral("四十五")));
    QCOMPARE(h->Status->text(),
             QStringLiteral(
                 "BB履歴の2行目「四十五 赤」のゲーム数「四十五」が読めません（前のBBからのゲーム数、1以上の整数）。"));
    QVERIFY(h->ShowsEarlierFigures() && greyed());
    // The part that is wrong, by name, with what it may hold.
    h->BBTable->setItem(1, 0, new QTableWidgetItem(QStringLiteral("45")));
    h->BBTable->setItem(1, 1, new QTableWidgetItem(QStringLiteral("x")));
    QCOMPARE(h->Status->text(),
             QStringLiteral("BB履歴の2行目「45 x」の色「x」が読めません（b: 青, r: 赤, ?: 不明）。"));
    h->BBTable->setItem(1, 1, new QTableWidgetItem(QStringLiteral("赤")));
    h->BBTable->setItem(0, 2, new QTableWidgetItem(QStringLiteral("0")));
    QCOMPARE(h->Status->text(),
             QStringLiteral("BB履歴の1行目「312 青 0」の継続数「0」が読めません（1以上の整数、分からなければ空欄）。"));
    QVERIFY(h->ShowsEarlierFigures() && greyed());
}

namespace {

QLineSeries* LineNamed(const QChart* c, const QString& name) {
    for (QAbstractSeries* s : c->series())
        if (s->name() == name) return qobject_cast<QLineSeries*>(s);
    return nullptr;
}

QString Percent2(double p) { return QString::number(p * 100, 'f', 2) + QLatin1Char('%'); }

// Keep or quit in words: the library's spread of the best rule and the
// advice it gives, said once, with signed money.
void CheckAdvice(const TNowPanel* panel, const MachineBelief& belief, const KeepOrQuit& keep) {
    const QString text = panel->DecisionLabel->text();
    QCOMPARE(text.count(QStringLiteral("続けるか")), 1);
    QVERIFY2(text.contains(MedalsAndYen(NowFigures(belief, keep.horizon).nextGames)), qPrintable(text));
    Advice want = Advise(keep.best, nullptr, PrecursorShare(belief));
    if (keep.best.kind != StopRule::Kind::Now) {
        RuleSpread spread;
        QVERIFY(SpreadOfRule(belief, keep.best, keep.horizon, 2000, 1, 0, spread));
        QVERIFY(panel->BestSpread().has_value());
        QCOMPARE(panel->BestSpread()->behind.passed, spread.behind.passed);
        QCOMPARE(panel->BestSpread()->sd, spread.sd);
        QVERIFY2(text.contains(QStringLiteral("平均%1、負けで終わる見込みは%2")
                                   .arg(MedalsAndYen(keep.best.value), ShareWords(spread.behind))),
                 qPrintable(text));
        want = Advise(keep.best, &spread, PrecursorShare(belief));
    }
    QCOMPARE(panel->Advised().verdict, want.verdict);
    QCOMPARE(panel->Advised().precursorLook, want.precursorLook);
    const QString says = want.verdict == Verdict::Quit        ? QStringLiteral("続けるか: やめるのが得です")
                         : want.verdict == Verdict::AboutEven ? QStringLiteral("続けるか: ほぼ五分です")
                         : want.precursorLook ? QStringLiteral("続けるか: 前兆の可能性があるので")
                                              : QStringLiteral("続けるか: 続ける価値があります");
    QVERIFY2(text.contains(says), qPrintable(text));
}

// The machine-now panel holds the library's figures for this belief.
void CheckNowPanel(const TNowPanel* panel, const MachineBelief& belief, std::int32_t k) {
    const MachineNow now = NowFigures(belief, k);
    for (int m = 0; m < 6; ++m) {
        QCOMPARE(panel->StateTable->item(m, 0)->text(),
                 QString::fromUtf8(ModeName(m).data(), static_cast<int>(ModeName(m).size())));
        QCOMPARE(panel->StateTable->item(m, 1)->text(), Percent2(now.mode[static_cast<std::size_t>(m)]));
    }
    for (int s = 0; s < 6; ++s) {
        const SettingNow& n = now.bySetting[static_cast<std::size_t>(s)];
        if (n.posterior == 0) {
            QVERIFY(!panel->ValueTable->item(s, 1));
            continue;
        }
        QCOMPARE(panel->ValueTable->item(s, 1)->text().toDouble(), std::round(n.nextGames * 10) / 10);
        QCOMPARE(panel->ValueTable->item(s, 2)->text().toDouble(), std::round(n.untilBB * 10) / 10);
    }
    QCOMPARE(panel->ValueTable->item(6, 1)->text().toDouble(), std::round(now.nextGames * 10) / 10);
    QCOMPARE(panel->ValueTable->horizontalHeaderItem(1)->text(), QStringLiteral("次の%1G 収支").arg(k));
    // Every figure whole: no cell cut short with an ellipsis.
    for (const QTableWidget* t : {panel->StateTable, panel->ValueTable})
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                if (const QTableWidgetItem* item = t->item(r, c))
                    QVERIFY2(t->fontMetrics().horizontalAdvance(item->text()) + 6 <= t->columnWidth(c),
                             qPrintable(item->text()));
    // Keep or quit arrives from its thread in words.
    QTRY_VERIFY_WITH_TIMEOUT(panel->Keep().has_value(), 30000);
    const KeepOrQuit keep = DecideKeepOrQuit(belief, {k, 10, 0, 0, 0});
    QCOMPARE(panel->Keep()->best.value, keep.best.value);
    CheckAdvice(panel, belief, keep);
}

// Trust in words beside the estimate: the share the top setting was right,
// then one line for every bin of shown probabilities that has any, the
// last (90 to 100 %) included.
void CheckTrust(const TNowPanel* panel) {
    const Trust& t = *panel->TrustFigures();
    const QStringList lines = panel->TrustLabel->text().split(QLatin1Char('\n'));
    QVERIFY(lines[0].contains(Percent2(t.topRight)));
    int shown = 0;
    for (const CalibrationBin& b : t.bins) {
        if (b.shown == 0) continue;
        ++shown;
        const QString line =
            QStringLiteral("・%1〜%2%（平均%3）と出た%4件のうち、実際に当たったのは%5")
                .arg(QString::number(b.from * 100, 'f', 0), QString::number(b.to * 100, 'f', 0), Percent2(b.meanShown))
                .arg(b.shown)
                .arg(ShareWords(ShareWithError::Of(b.truths, b.shown)));
        QVERIFY2(lines.contains(line), qPrintable(line));
    }
    QCOMPARE(lines.size(), 1 + shown);
}

// The value of more games arrives from its thread, the library's figures
// for the panel's request, in words.
void CheckMoreGames(const TNowPanel* panel, const MachineBelief& belief, std::int32_t k, double threshold) {
    QTRY_VERIFY_WITH_TIMEOUT(!panel->MoreComputing(), 60000);
    QVERIFY(panel->MoreFigures().has_value());
    const MoreGamesRequest r = *panel->MoreRequest();
    QCOMPARE(r.games, k);
    QCOMPARE(r.highThreshold, threshold);
    MoreGames want;
    QVERIFY(ValueOfMoreGames(belief, r, want));
    QCOMPARE(panel->MoreFigures()->highPasses.share, want.highPasses.share);
    QCOMPARE(panel->MoreFigures()->topPasses.share, want.topPasses.share);
    const QString text = panel->MoreLabel->text();
    QVERIFY2(text.startsWith(QStringLiteral("あと%1ゲーム見ると").arg(k)), qPrintable(text));
    // A chance none of the continuations showed is bounded, not certain.
    QVERIFY2(text.contains(ShareWords(want.highPasses)), qPrintable(text));
    QVERIFY2(text.contains(ShareWords(want.topPasses)), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("±0.00%")));
    QVERIFY(text.contains(Percent2(want.highNow)));
}

}  // namespace

// 解析 > 期待値: the table of the setting chosen is the library's, its law
// of the net included, under the money on screen; the chart draws every
// setting's and the prior's mixed mean against the counter, with the zero
// line and 狙い目 marked. Every input edit finds the figures anew.
void AnalysisFormsTest::valueDialogShowsTheLibrarysTableAndChart() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.AnalysisValueMenu->trigger();
    TValueForm* v = form.ValueForm();
    QVERIFY(v && v->isVisible());
    QCOMPARE(v->windowTitle(), QStringLiteral("期待値"));
    QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
    // It opens at 等価 and cash play, which loses nothing on a purchase:
    // the yen are those of 20 yen a medal.
    QVERIFY(v->ShownRequest());
    QCOMPARE(v->ShownRequest()->money.exchange.medalsPer1000Yen, 50.0);
    QCOMPARE(v->ShownRequest()->money.lendPer1000Yen, 50.0);
    QCOMPARE(v->ShownRequest()->money.held, std::optional<std::int64_t>(0));
    QCOMPARE(v->ShownRequest()->gamesPerHour, kDefaultGamesPerHour);
    QCOMPARE(v->Table->item(889, 2)->text(), QString::number(v->Shown().rows[889].evMedals * 20, 'f', 0));
    QVERIFY2(v->MoneyLabel->text().contains(QStringLiteral("等価・現金投資（貸出50枚/1000円）")),
             qPrintable(v->MoneyLabel->text()));

    // A rate typed per 100 yen reaches the request per 1000 yen; each edit
    // starts the table again, and setting 1's does not depend on the prior.
    v->SettingBox->setCurrentIndex(0);
    QVERIFY(v->Running());
    v->Prior->Edits[0]->setText(QStringLiteral("3"));
    v->ExchangeBox->setEditText(QStringLiteral("5.6"));
    QVERIFY(v->Running());
    QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
    QCOMPARE(v->ShownRequest()->money.exchange.medalsPer1000Yen, 56.0);
    QCOMPARE(v->ShownRequest()->setting, 1);
    // Cash at 5.6枚: every purchase loses, so the yen are below the medals' worth.
    const CountValueTable one = ValueByGameCount(1, v->ShownRequest()->money);
    QCOMPARE(v->Table->rowCount(), 1532);
    QCOMPARE(v->Table->columnCount(), 14);
    QCOMPARE(v->Table->horizontalHeaderItem(3)->text(), QStringLiteral("時給(円)"));
    QCOMPARE(v->Table->horizontalHeaderItem(7)->text(), QStringLiteral("収支の中央値(円)"));
    QCOMPARE(v->Table->horizontalHeaderItem(9)->text(), QStringLiteral("円でプラスの確率"));
    for (int g : {0, 889, 1200, 1531}) {
        const CountValueRow& r = one.rows[static_cast<std::size_t>(g)];
        QCOMPARE(v->Table->item(g, 0)->text(), QString::number(g));
        QCOMPARE(v->Table->item(g, 1)->text(), QString::number(r.evMedals, 'f', 1));
        QCOMPARE(v->Table->item(g, 2)->text(), QString::number(r.evYen, 'f', 0));
        QVERIFY(r.evYen < r.evMedals * 1000 / 56);
        QCOMPARE(v->Table->item(g, 3)->text(), QString::number(r.yenPerHour, 'f', 0));
        QCOMPARE(v->Table->item(g, 5)->text(), Percent2(r.pCeiling));
        QCOMPARE(v->Table->item(g, 6)->text(), QString::number(r.spread->median));
        QCOMPARE(v->Table->item(g, 8)->text(), Percent2(r.spread->pAhead));
        QCOMPARE(v->Table->item(g, 13)->text(), QString::number(r.spread->p90));
    }
    // The money is stated beside the yen.
    const QString money = QStringLiteral("5.6枚交換・現金投資（貸出50枚/1000円）");
    QVERIFY(v->StatusLabel->text().contains(QStringLiteral("%1ゲームから先は期待収支がプラス").arg(*one.positiveFrom)));
    QVERIFY2(v->StatusLabel->text().contains(money), qPrintable(v->StatusLabel->text()));
    QVERIFY2(v->MoneyLabel->text().contains(money), qPrintable(v->MoneyLabel->text()));
    QVERIFY(v->Table->horizontalHeaderItem(2)->toolTip().contains(money));
    // The chart: six settings and the mixture under 3,1,1,1,1,1 in yen, as
    // purchases lose here, the zero line, setting 1's 狙い目 where its line
    // crosses it and the counter's line, empty without one.
    const QChart* c = v->Chart->chart();
    QCOMPARE(c->series().size(), 10);
    QCOMPARE(v->Chart->Title(), QStringLiteral("ゲーム数ごとの期待収支（円）"));
    QVERIFY(c->title().isEmpty());
    QCOMPARE(c->axes(Qt::Vertical).value(0)->titleText(), QStringLiteral("期待収支(円)"));
    const CountValue mixed = ValueByGameCount({SettingPrior({3, 1, 1, 1, 1, 1}), v->ShownRequest()->money, false});
    for (int s = 1; s <= 6; ++s) {
        const QLineSeries* line = LineNamed(c, QStringLiteral("設定%1").arg(s));
        QVERIFY(line);
        QCOMPARE(line->count(), 1532);
        const CountValueTable& t = *mixed.bySetting[static_cast<std::size_t>(s - 1)];
        for (int g : {0, 800, 1531}) {
            QCOMPARE(line->at(g).x(), double(g));
            QCOMPARE(line->at(g).y(), t.rows[static_cast<std::size_t>(g)].evYen);
        }
    }
    const QLineSeries* one1 = LineNamed(c, QStringLiteral("設定1"));
    QVERIFY(one1->at(*one.positiveFrom - 1).y() <= 0 && one1->at(*one.positiveFrom).y() > 0);
    const QLineSeries* mix = LineNamed(c, QStringLiteral("混合(配分)"));
    QVERIFY(mix);
    for (int g : {0, 800, 1531}) QCOMPARE(mix->at(g).y(), mixed.mixed.rows[static_cast<std::size_t>(g)].evYen);
    const QLineSeries* zero = LineNamed(c, QStringLiteral("0"));
    QVERIFY(zero && zero->count() == 2);
    QCOMPARE(zero->at(0).y(), 0.0);
    QCOMPARE(zero->at(1), QPointF(1531, 0));
    const QLineSeries* aim = LineNamed(c, QStringLiteral("狙い目 %1G").arg(*one.positiveFrom));
    QVERIFY(aim && aim->count() == 2);
    QCOMPARE(aim->at(0).x(), double(*one.positiveFrom));
    QCOMPARE(aim->at(1).x(), double(*one.positiveFrom));
    QVERIFY(aim->at(0).y() < 0 && aim->at(1).y() > 0);
    QVERIFY(LineNamed(c, QStringLiteral("カウンター")) && LineNamed(c, QStringLiteral("カウンター"))->count() == 0);

    // The counter's row comes into view, marked, and so does its line on
    // the chart; a counter past the ceiling marks nothing.
    QVERIFY(!v->MarkedRow());
    const QRect view = v->Table->viewport()->rect();
    QVERIFY(!view.intersects(v->Table->visualItemRect(v->Table->item(1200, 0))));
    v->CounterEdit->setText(QStringLiteral("1200"));
    QCOMPARE(v->MarkedRow(), std::optional<int>(1200));
    QVERIFY(v->Table->selectionModel()->isRowSelected(1200, {}));
    QVERIFY(view.contains(v->Table->visualItemRect(v->Table->item(1200, 0)).center()));
    const QLineSeries* counter = LineNamed(v->Chart->chart(), QStringLiteral("カウンター 1200G"));
    QVERIFY(counter && counter->count() == 2);
    QCOMPARE(counter->at(0).x(), 1200.0);
    QVERIFY(!v->Running());
    v->CounterEdit->setText(QStringLiteral("1532"));
    QVERIFY(!v->MarkedRow());
    QVERIFY(!v->Table->selectionModel()->hasSelection());
    v->CounterEdit->setText(QStringLiteral("889"));

    // Each of the money's inputs reaches the request and finds the table
    // anew: greyed while it is found, never standing under other inputs.
    auto greyed = [&] { return v->Table->item(889, 1)->data(Qt::ForegroundRole).isValid(); };
    QVERIFY(!v->ShowsEarlierFigures() && !greyed());
    struct Edit {
        std::function<void()> edit;
        std::function<bool(const ValueJobRequest&)> reached;
    };
    const std::vector<Edit> edits{
        {[&] { v->ExchangeBox->setCurrentIndex(3); },
         [](const ValueJobRequest& r) { return r.money.exchange.medalsPer1000Yen == 64; }},
        {[&] { v->ExchangeBox->setEditText(QStringLiteral("5.6枚交換")); },
         [](const ValueJobRequest& r) { return r.money.exchange.medalsPer1000Yen == 56; }},
        {[&] { v->LendEdit->setText(QStringLiteral("46")); },
         [](const ValueJobRequest& r) { return r.money.lendPer1000Yen == 46; }},
        {[&] { v->HeldButton->setChecked(true); }, [](const ValueJobRequest& r) { return !r.money.held; }},
        {[&] { v->HeldEdit->setText(QStringLiteral("500")); },
         [](const ValueJobRequest& r) { return r.money.held == std::optional<std::int64_t>(500); }},
        {[&] { v->GamesPerHourEdit->setText(QStringLiteral("800")); },
         [](const ValueJobRequest& r) { return r.gamesPerHour == 800; }},
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        edits[i].edit();
        QVERIFY2(v->Running(), qPrintable(QString::number(i)));
        QVERIFY(v->ShowsEarlierFigures() && greyed());
        QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
        QVERIFY2(edits[i].reached(*v->ShownRequest()), qPrintable(QString::number(i)));
        QVERIFY(!v->ShowsEarlierFigures() && !greyed());
        // The counter's row stays marked under the new figures.
        QVERIFY(v->Table->selectionModel()->isRowSelected(889, {}));
    }
    QVERIFY2(v->MoneyLabel->text().contains(QStringLiteral("5.6枚交換・持ちメダル500枚（貸出46枚/1000円）")),
             qPrintable(v->MoneyLabel->text()));
    QVERIFY(v->MoneyLabel->text().contains(QStringLiteral("800G/時")));
    // An edit undone before its table is found stops it: the table shown
    // is the inputs' again.
    const QString said = v->StatusLabel->text();
    v->LendEdit->setText(QStringLiteral("50"));
    QVERIFY(v->Running());
    v->LendEdit->setText(QStringLiteral("46"));
    QVERIFY(!v->Running() && !v->ShowsEarlierFigures() && !greyed());
    QCOMPARE(v->StatusLabel->text(), said);
    // Enter in a field, the rate's box too, calculates.
    QTest::keyClick(v->LendEdit, Qt::Key_Return);
    QVERIFY(v->Running());
    QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
    QTest::keyClick(v->ExchangeBox->lineEdit(), Qt::Key_Return);
    QVERIFY(v->Running());
    QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
    QCOMPARE(v->ExchangeBox->count(), 5);
    // The mixture's table depends on the prior, and the chart follows it.
    v->Prior->Edits[0]->setText(QStringLiteral("1"));
    QVERIFY(!v->Running());
    QVERIFY(LineNamed(v->Chart->chart(), QStringLiteral("混合(均等)")));
    v->SettingBox->setCurrentIndex(6);
    QVERIFY(v->Running());
    QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
    QVERIFY(v->StatusLabel->text().startsWith(QStringLiteral("ホールの配分で混合した台")));
    v->Prior->Edits[0]->setText(QStringLiteral("3"));
    QVERIFY(v->Running());
    QTRY_VERIFY_WITH_TIMEOUT(!v->Running(), 60000);
    QVERIFY(!v->ShowsEarlierFigures());
    // Bad inputs say so, grey the table and start nothing: a rate per 1000
    // yen typed per 100 yen among them.
    struct Bad {
        QLineEdit* edit;
        const char* text;
        const char* said;
    };
    for (const Bad& b :
         {Bad{v->ExchangeBox->lineEdit(), "56", "交換率は"}, Bad{v->ExchangeBox->lineEdit(), "0", "交換率は"},
          Bad{v->LendEdit, "0", "貸し出しは"}, Bad{v->HeldEdit, "-1", "持ちメダルは"},
          Bad{v->HeldEdit, "x", "持ちメダルは"}, Bad{v->GamesPerHourEdit, "0", "時給のゲーム数は"}}) {
        const QString before = b.edit->text();
        b.edit->setText(QString::fromUtf8(b.text));
        QVERIFY2(!v->Running(), b.text);
        QVERIFY2(v->StatusLabel->text().startsWith(QString::fromUtf8(b.said)), qPrintable(v->StatusLabel->text()));
        QVERIFY(v->ShowsEarlierFigures() && greyed());
        v->CalcButton->click();
        QVERIFY(!v->Running());
        b.edit->setText(before);
        QVERIFY(!v->Running() && !v->ShowsEarlierFigures());
    }
    for (QLineEdit* e : v->Prior->Edits) e->setText(QStringLiteral("0"));
    v->CalcButton->click();
    QVERIFY(!v->Running());
    QCOMPARE(v->StatusLabel->text(), TPriorBox::Problem());
    // Closing stops a calculation in progress.
    v->Prior->Edits[0]->setText(QStringLiteral("1"));
    QVERIFY(v->Running());
    v->close();
    QVERIFY(!v->Running());
}

// The money in words, as the window states it beside every yen figure.
void AnalysisFormsTest::valueMoneyInWords() {
    struct Case {
        HallMoney money;
        const char* words;
    };
    for (const Case& c : {
             Case{HallMoney{Exchange{50}, 50, std::nullopt}, "等価・持ちメダル"},
             Case{HallMoney{Exchange{50}, 50, 0}, "等価・現金投資（貸出50枚/1000円）"},
             Case{HallMoney{Exchange{56}, 50, 0}, "5.6枚交換・現金投資（貸出50枚/1000円）"},
             Case{HallMoney{Exchange{60}, 46, 500}, "6.0枚交換・持ちメダル500枚（貸出46枚/1000円）"},
             Case{HallMoney{Exchange{57.5}, 47.5, 0}, "5.75枚交換・現金投資（貸出47.5枚/1000円）"},
         })
        QCOMPARE(MoneyWords(c.money), QString::fromUtf8(c.words));
}

// The prior is Bayes' rule on the same record, shown beside the posterior;
// the hidden state and the value of going on are the library's.
void AnalysisFormsTest::estimateTakesThePriorAndShowsTheMachineNow() {
    // Money is signed, 0 included; a chance none or all showed is a bound.
    QCOMPARE(MedalsAndYen(0.1), QStringLiteral("+0枚（+2円）"));
    QCOMPARE(MedalsAndYen(0), QStringLiteral("+0枚（+0円）"));
    QCOMPARE(MedalsAndYen(-97.2), QStringLiteral("-97枚（-1,944円）"));
    QCOMPARE(MedalsAndYen(1234.4), QStringLiteral("+1234枚（+24,688円）"));
    QCOMPARE(ShareWords(ShareWithError::Of(0, 2000)), QStringLiteral("0.15%未満"));
    QCOMPARE(ShareWords(ShareWithError::Of(2000, 2000)), QStringLiteral("99.85%超"));
    QCOMPARE(ShareWords(ShareWithError::Of(3, 2000)), QStringLiteral("0.15%（±0.09%）"));
    Slot slot(12345);
    PlayHistory h;
    QCOMPARE(SimulateRun(slot, h, {true, 1}, 8000), 5);
    const std::vector<SettingTheory> theories = AllSettingTheories();
    TEstimateForm e(theories);
    const HistoryRecords records5(h);
    e.ShowFor(records5);
    CheckNowPanel(e.Now, *BeliefFromRecord(h.records()).belief, 1000);
    // The named shapes: 均等 first, a choice fills the six weights, and the
    // chooser follows the weights as they are edited.
    QComboBox* shapes = e.Prior->ShapeBox;
    QCOMPARE(shapes->count(), static_cast<int>(PriorShapes().size()) + 1);
    QCOMPARE(shapes->currentText(), QStringLiteral("均等"));
    QTest::keyClick(shapes, Qt::Key_Down);
    QCOMPARE(shapes->currentText(), QStringLiteral("通常営業"));
    const SettingPrior regular(FindPriorShape("regular")->weights);
    QStringList typed;
    for (const QLineEdit* edit : e.Prior->Edits) typed << edit->text();
    QCOMPARE(typed.join(QLatin1Char(',')), QStringLiteral("40,30,15,8,4,3"));
    const ExactEstimate underRegular = EstimateSettingExactly(h.records(), regular);
    for (int s = 0; s < 6; ++s) {
        QCOMPARE(e.Probabilities()[static_cast<std::size_t>(s)],
                 underRegular.posterior.probability[static_cast<std::size_t>(s)]);
        QCOMPARE(e.Table->item(s, 2)->text(), Percent2(regular.Of(s + 1)));
    }
    e.Prior->Edits[0]->setText(QStringLiteral("41"));
    QCOMPARE(shapes->currentText(), QStringLiteral("手入力"));
    e.Prior->Edits[0]->setText(QStringLiteral("40"));
    QCOMPARE(shapes->currentText(), QStringLiteral("通常営業"));
    // 手入力 is said, never chosen.
    for (int i = 0; i < 3; ++i) QTest::keyClick(shapes, Qt::Key_Down);
    QCOMPARE(shapes->currentText(), QStringLiteral("イベント日"));
    QCOMPARE(e.Prior->Prior(), SettingPrior(FindPriorShape("event")->weights));
    QTest::keyClick(shapes, Qt::Key_Home);
    QCOMPARE(shapes->currentText(), QStringLiteral("均等"));
    QVERIFY(e.Prior->Prior()->IsUniform());
    e.Prior->SetWeights({4, 3, 2, 1, 0, 0});
    QCOMPARE(shapes->currentText(), QStringLiteral("手入力"));
    const SettingPrior prior({4, 3, 2, 1, 0, 0});
    const ExactEstimate exact = EstimateSettingExactly(h.records(), prior);
    for (int s = 0; s < 6; ++s) {
        const auto i = static_cast<std::size_t>(s);
        QCOMPARE(e.Probabilities()[i], exact.posterior.probability[i]);
        QCOMPARE(e.Table->item(s, 2)->text(), Percent2(prior.Of(s + 1)));
    }
    QCOMPARE(e.Table->item(5, 1)->text(), QStringLiteral("0.00%"));
    e.Now->HorizonEdit->setText(QStringLiteral("300"));
    CheckNowPanel(e.Now, *BeliefFromRecord(h.records(), prior).belief, 300);
    // More games: K and the threshold as typed, a bad entry said at once.
    CheckMoreGames(e.Now, *BeliefFromRecord(h.records(), prior).belief, 1000, 0.8);
    e.Now->MoreEdit->setText(QStringLiteral("400"));
    e.Now->ThresholdEdit->setText(QStringLiteral("62.5"));
    QVERIFY(e.Now->MoreComputing());
    CheckMoreGames(e.Now, *BeliefFromRecord(h.records(), prior).belief, 400, 0.625);
    QVERIFY(e.Now->MoreLabel->text().contains(QStringLiteral("62.5%以上")));
    e.Now->ThresholdEdit->setText(QStringLiteral("120"));
    QVERIFY(!e.Now->MoreComputing());
    QVERIFY(!e.Now->MoreFigures());
    QVERIFY(e.Now->MoreLabel->text().startsWith(QStringLiteral("見るゲーム数は")));
    e.Now->ThresholdEdit->setText(QStringLiteral("80"));
    // Trust by simulation, off the window's thread, in words.
    e.Now->StartTrust(60);
    QTRY_VERIFY_WITH_TIMEOUT(e.Now->TrustFigures().has_value(), 120000);
    QCOMPARE(e.Now->TrustFigures()->sessions, std::int64_t{60});
    CheckTrust(e.Now);
    // The figures of keep or quit are found again with trust, and said once.
    CheckAdvice(e.Now, *BeliefFromRecord(h.records(), prior).belief, *e.Now->Keep());
    e.Now->HorizonEdit->setText(QStringLiteral("0"));
    QVERIFY(!e.Now->Shown());
    QCOMPARE(e.Now->DecisionLabel->text(), QStringLiteral("この先打つゲーム数は、1以上の整数にしてください。"));
}

// An open 設定推測 follows the run on screen: a new run, then an opened file.
void AnalysisFormsTest::estimateFollowsTheRunOnScreen() {
    testing::Window w(1);
    w.Start(2000, 2);
    w.form.AnalysisEstimateMenu->trigger();
    TEstimateForm* e = w.form.EstimateForm();
    QVERIFY(e->isVisible());
    const std::vector<double> first = e->Probabilities();
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:2000")));
    w.Start(5000, 6);
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:5000")));
    const ExactEstimate now = EstimateSettingExactly(test::Held(w.form.History()).records());
    for (std::size_t i = 0; i < 6; ++i) QCOMPARE(e->Probabilities()[i], now.posterior.probability[i]);
    QVERIFY(e->Probabilities() != first);
    // A file saved from this run, opened after a third run.
    const QString path =
        QDir::temp().filePath(QStringLiteral("morvane-follow-%1.sim").arg(QCoreApplication::applicationPid()));
    w.Save(path);
    w.Start(700, 1);
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:700")));
    w.Open(path);
    QFile::remove(path);
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:5000")));
    for (std::size_t i = 0; i < 6; ++i) QCOMPARE(e->Probabilities()[i], now.posterior.probability[i]);
    QVERIFY(!e->ShowsEarlierFigures());
    QVERIFY(e->EarlierLabel->isHidden());
    // A closed window is left alone, but its figures are said to be of the
    // play before; opened again, it follows the play on screen.
    e->close();
    w.Start(300, 1);
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:5000")));
    QVERIFY(e->ShowsEarlierFigures());
    QVERIFY(e->Table->item(0, 1)->data(Qt::ForegroundRole).isValid());
    QVERIFY(!e->Now->isEnabled());
    auto barColour = [&] {
        return qobject_cast<QBarSeries*>(e->Chart->chart()->series().value(0))->barSets().value(0)->color();
    };
    QCOMPARE(barColour(), QColor(0xC8, 0xC8, 0xC8));
    QCOMPARE(e->EarlierLabel->text(),
             QStringLiteral(
                 "以下は、前に画面にあったプレイ（Play数 5000）の推測です。画面のプレイが変わると推測し直します。"));
    w.form.AnalysisEstimateMenu->trigger();
    QVERIFY(e->Seen->text().startsWith(QStringLiteral("Play数:300")));
    QVERIFY(!e->ShowsEarlierFigures());
    QVERIFY(!e->Table->item(0, 1)->data(Qt::ForegroundRole).isValid());
    QVERIFY(e->Now->isEnabled());
    QCOMPARE(barColour(), QColor(0xFF, 0x8E, 0x8E));
    QVERIFY(e->EarlierLabel->isHidden());
}

void AnalysisFormsTest::hallDataTakesThePriorAndShowsTheMachineNow() {
    FakeServices services;
    TMainForm form(services, 1u);
    form.AnalysisHallMenu->trigger();
    THallForm* h = form.HallForm();
    h->GamesEdit->setText(QStringLiteral("1700"));
    h->BBTable->setCurrentCell(0, 0);
    h->PasteIntoBBTable(QStringLiteral("312\t青\t5\n45\t赤\n1200\t?\t3\n88\n"));
    h->Prior->SetWeights({1, 1, 1, 1, 2, 2});
    // The estimate runs off the window's thread once the typing pauses.
    QTRY_VERIFY_WITH_TIMEOUT(!h->Computing(), 30000);
    QVERIFY(h->Table->item(0, 1));
    const HallData data{1700, {{312, 1, 5}, {45, 2, 0}, {1200, 0, 3}, {88, 0, 0}}, {}};
    const SettingPrior prior({1, 1, 1, 1, 2, 2});
    const HallEstimate est = EstimateSettingFromHallData(data, prior);
    for (int s = 0; s < 6; ++s) {
        QCOMPARE(h->Table->item(s, 1)->text(), Percent2(est.posterior.probability[static_cast<std::size_t>(s)]));
        QCOMPARE(h->Table->item(s, 4)->text(), Percent2(prior.Of(s + 1)));
    }
    CheckNowPanel(h->Now, *BeliefFromHallData(data, prior).belief, 1000);
    CheckMoreGames(h->Now, *BeliefFromHallData(data, prior).belief, 1000, 0.8);
    // Trust here is of hall data of this shape and length.
    h->Now->StartTrust(60);
    QTRY_VERIFY_WITH_TIMEOUT(h->Now->TrustFigures().has_value(), 120000);
    Trust want;
    QVERIFY(TrustOfHallEstimate({1700, prior, 60, 1, 0}, ShapeOf(data), want));
    QCOMPARE(h->Now->TrustFigures()->topRight, want.topRight);
    QCOMPARE(h->Now->TrustFigures()->meanLogTrue, want.meanLogTrue);
    QVERIFY(h->Now->TrustLabel->text().contains(QStringLiteral("1700ゲームのデータ")));
    QVERIFY(h->Now->TrustLabel->text().contains(Percent2(want.topRight)));
    CheckTrust(h->Now);
    const MachineBelief belief = *BeliefFromHallData(data, prior).belief;
    CheckAdvice(h->Now, belief, DecideKeepOrQuit(belief, {1000, 10, 0, 0, 0}));
    // The panel's money reaches the job: at 5.6枚交換 in cash the yen take
    // the purchases off, found off the window's thread; back at 等価 with
    // all medals held they are the medals at 20 yen again, at once.
    h->Now->HorizonEdit->setText(QStringLiteral("300"));
    h->Now->Money->ExchangeBox->setEditText(QStringLiteral("5.6"));
    h->Now->Money->CashButton->setChecked(true);
    QVERIFY(!h->Now->Priced());
    QVERIFY(h->Now->Running());
    QCOMPARE(h->Now->ValueTable->item(6, 4)->text(), QStringLiteral("計算中"));
    QTRY_VERIFY_WITH_TIMEOUT(h->Now->Priced().has_value() && !h->Now->Running(), 120000);
    const NowMoney cash{{{56}, 50, 0}, kDefaultGamesPerHour};
    const MachineNow priced = NowFigures(belief, 300, cash);
    const MachineNow& shown = *h->Now->Priced();
    QCOMPARE(shown.nextPurchases, priced.nextPurchases);
    QCOMPARE(shown.untilBBPurchases, priced.untilBBPurchases);
    QVERIFY(priced.nextPurchases >= 1);  // cash buys before the first game
    QCOMPARE(h->Now->ValueTable->item(6, 4)->text(), YenAndPerHour(priced.NextYen(), priced.NextYenPerHour()));
    QCOMPARE(h->Now->ValueTable->item(6, 5)->text(), YenAndPerHour(priced.UntilBBYen(), priced.UntilBBYenPerHour()));
    QCOMPARE(h->Now->ValueTable->item(0, 4)->text(),
             YenAndPerHour(priced.NextYen(1), priced.PerHour(priced.NextYen(1), priced.bySetting[0].nextRealGames)));
    QVERIFY(h->Now->MoneyLabel->text().contains(MoneyWords(cash.money)));
    KeepOrQuitRequest keepAtCash{300, 10, 0, 0, 0};
    keepAtCash.money = cash.money;
    const KeepOrQuit keep = DecideKeepOrQuit(belief, keepAtCash);
    QCOMPARE(h->Now->Keep()->best.yen, keep.best.yen);
    QCOMPARE(h->Now->Keep()->best.purchases, keep.best.purchases);
    QVERIFY(h->Now->DecisionLabel->text().contains(MedalsAndYen(priced.nextGames, priced.NextYen())));
    h->Now->Money->LendEdit->setText(QStringLiteral("50"));
    h->Now->Money->HeldEdit->setText(QStringLiteral("all"));
    h->Now->HorizonEdit->setText(QStringLiteral("300"));
    h->Now->Money->ExchangeBox->setCurrentIndex(0);
    h->Now->Money->HeldButton->setChecked(true);
    QVERIFY(h->Now->Priced());
    QCOMPARE(h->Now->Priced()->nextPurchases, 0.0);
    QCOMPARE(h->Now->Priced()->NextYen(), Exchange{}.Yen(NowFigures(belief, 300).nextGames));
    QVERIFY(h->Now->DecisionLabel->text().contains(MedalsAndYen(h->Now->Shown()->nextGames)));
    h->Now->Money->LendEdit->setText(QStringLiteral("0"));
    QVERIFY(!h->Now->Priced());
    QVERIFY(h->Now->MoneyLabel->text().startsWith(QStringLiteral("貸し出しは")));
    h->Now->Money->LendEdit->setText(QStringLiteral("50"));
    // Purchases are followed up to the ceiling's 1500 games, where they are
    // exact: past them, in cash or with some medals held, the money is
    // refused. All held, or purchases that lose nothing (等価, or lent at
    // the exchange rate), leave the yen those of the medals at the rate, at
    // once, over any games.
    struct Horizon {
        const char* games;
        const char* exchange;
        const char* lend;
        const char* held;  // nullptr: cash
        bool priced;
    };
    for (const Horizon& c :
         {Horizon{"1500", "5.6", "50", nullptr, true}, Horizon{"1501", "5.6", "50", nullptr, false},
          Horizon{"1501", "5.6", "50", "500", false}, Horizon{"1501", "5.6", "50", "all", true},
          Horizon{"2000", "5.0（等価）", "50", nullptr, true}, Horizon{"2000", "5.6", "56", nullptr, true}}) {
        TMoneyBox* m = h->Now->Money;
        m->ExchangeBox->setEditText(QString::fromUtf8(c.exchange));
        m->LendEdit->setText(QString::fromUtf8(c.lend));
        (c.held ? m->HeldButton : m->CashButton)->setChecked(true);
        if (c.held) m->HeldEdit->setText(QString::fromUtf8(c.held));
        h->Now->HorizonEdit->setText(QString::fromUtf8(c.games));
        const QString label = h->Now->MoneyLabel->text();
        const QString where = QStringLiteral("%1G %2").arg(c.games, label);
        QVERIFY2(label.startsWith(c.priced ? QStringLiteral("円の列は ")
                                           : QStringLiteral("借りる回数を数えるのは、この先1500Gまで")),
                 qPrintable(where));
        if (!c.priced) {
            QVERIFY2(!h->Now->Priced(), qPrintable(where));
        } else if (std::string_view(c.games) != "1500") {
            QVERIFY2(h->Now->Priced(), qPrintable(where));
            const double rate = std::string_view(c.exchange) == "5.6" ? 56 : 50;
            QCOMPARE(h->Now->Priced()->NextYen(), Exchange{rate}.Yen(h->Now->Shown()->nextGames));
        }
    }
    h->Now->HorizonEdit->setText(QStringLiteral("300"));
    h->Now->Money->HeldButton->setChecked(true);
    h->Prior->Edits[2]->setText(QStringLiteral("-1"));
    QCOMPARE(h->Status->text(), TPriorBox::Problem());
    // The machine now stays beside the posterior it is of, both marked.
    QVERIFY(h->ShowsEarlierFigures());
    QVERIFY(h->Now->Shown());
    QVERIFY(h->FiguresLabel->text().contains(QStringLiteral("総ゲーム数 1700・BB 4回")));
}

// The one runner under every analysis window: the end of a job on the
// window's thread with its progress at the total; a stop that reaches a job
// that would never end and delivers nothing; a newer job superseding one
// under way; a runner destroyed mid-job that takes its thread with it.
void AnalysisFormsTest::jobRunnerDeliversOnTheWindowsThreadAndStops() {
    using test::CountingJob;
    using test::EndlessJob;
    TJobRunner runner(nullptr, 5);
    QSignalSpy finished(&runner, &TJobRunner::finished);
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    bool onWindowThread = true;
    connect(&runner, &TJobRunner::progress, this, [&](std::int64_t done, std::int64_t total) {
        progress.emplace_back(done, total);
        onWindowThread = onWindowThread && QThread::currentThread() == qApp->thread();
    });
    connect(&runner, &TJobRunner::finished, this,
            [&] { onWindowThread = onWindowThread && QThread::currentThread() == qApp->thread(); });
    runner.Start(std::make_shared<CountingJob>(300000));
    QVERIFY(runner.Running());
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 60000);
    QVERIFY(!runner.Running());
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(!progress.empty());
    QCOMPARE(progress.back(), std::make_pair(std::int64_t{300000}, std::int64_t{300000}));
    QVERIFY(onWindowThread);
    QCOMPARE(runner.Current<CountingJob>()->Done(), std::int64_t{300000});

    const auto endless = std::make_shared<EndlessJob>();
    progress.clear();
    runner.Start(endless);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.empty() && progress.back().first > 10, 60000);
    QCOMPARE(progress.back().second, std::int64_t{0});
    runner.Stop();
    QVERIFY(endless->returned);
    QVERIFY(!runner.Running());
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);

    // Superseded: told to stop, never delivered; the newer one is.
    const auto older = std::make_shared<EndlessJob>();
    runner.Start(older);
    QTRY_VERIFY_WITH_TIMEOUT(older->began, 60000);
    const auto newer = std::make_shared<CountingJob>(10);
    runner.Start(newer);
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 60000);
    QVERIFY(older->returned);
    QCOMPARE(runner.Current<CountingJob>(), newer.get());
    // Dropped without waiting: nothing delivered once it has ended.
    const auto dropped = std::make_shared<EndlessJob>();
    runner.Start(dropped);
    runner.Cancel();
    QVERIFY(!runner.Running());
    QTRY_VERIFY_WITH_TIMEOUT(dropped->returned || !dropped->began, 60000);
    QTest::qWait(50);
    QCOMPARE(finished.count(), 2);

    const auto left = std::make_shared<EndlessJob>();
    {
        TJobRunner doomed;
        doomed.Start(left);
        QTRY_VERIFY_WITH_TIMEOUT(left->began, 60000);
    }
    QVERIFY(left->StopRequested() && left->returned);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AnalysisFormsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "analysis_forms_test.moc"
