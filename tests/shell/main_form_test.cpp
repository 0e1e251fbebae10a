// The window driven as a user drives it, headless, with dialogs answered by
// FakeServices.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include "fake_services.h"
#include "machine/random.h"
#include "machine/vocabulary.h"
#include "present/presentation.h"
#include "present/qt/page_model.h"
#include "run/run_records.h"
#include "run/single_run.h"
#include "shell/about_box.h"
#include "shell/clock.h"
#include "shell/links.h"
#include "shell/main_form.h"
#include "shell/result_list.h"
#include "shell/startup.h"
#include "test_window.h"

using namespace morvane;
using morvane::testing::FakeServices;
using morvane::testing::Window;

namespace {

QAction* FindAction(TMainForm& f, const char* name) { return f.findChild<QAction*>(QString::fromLatin1(name)); }

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void startUpState();
    void menusAndCaptions();
    void inputErrors_data();
    void inputErrors();
    void conversionErrorsLeaveEverything();
    void bothInputsWrongShowsOnlyTheGamesMessage();
    void settingOutOfRangeIsRefusedBeforeAnythingChanges();
    void badSettingTextDoesNotEmptyTheShownRun();
    void theLargestPlayCountPlaysBesideTheRunOnScreen();
    void hiddenSettingRevealAndSecondStart();
    void knownSeededRunSummary();
    void shorterSecondRunReplacesEveryList();
    void startButtonAndMenuItemStartTheSameCommand();
    void startIsNotReenteredWhileARunIsInProgress();
    void aRunEmptiesTheSummaryWithTheLists();
    void qtsOwnTextsAreJapanese();
    void rateCellsShowWholeBesideTheirPie();
    void aLongRunMovesTheBarAndStopsOnEscape();
    void longListsScrollSelectAndCopy();
    void playListsFitTheWidestCellsOfTheRun();
    void copyOfMoreRowsThanASpreadsheetTakesIsCutAndSaysSo();
    void revealBeforeAnyRunShowsOne();
    void shellCommands();
    void aboutBoxIsModalAndLinks();
    void launchArguments_data();
    void launchArguments();
    void programAnswersVersionAndHelpWithoutADisplay();
    void realReplaceQuestionDefaultsToNo();
    void exitClosesAtOnce();
    void clockTextAndMidnight();
    void clockTicksIntoPanelOne();
    void rowsCopyAsTabSeparatedText();
};

void MainFormTest::startUpState() {
    Window w;
    TMainForm& f = w.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("Morvane"));
    QCOMPARE(f.PlayNumEdit->text(), QStringLiteral("1"));
    QCOMPARE(f.FlevelComboBox->currentText(), QStringLiteral("1"));
    QCOMPARE(f.SimNumEdit->text(), QStringLiteral("1"));
    QCOMPARE(f.FlevelComboBox->count(), 7);
    QCOMPARE(f.FlevelComboBox->itemText(6), QStringLiteral("?"));
    QCOMPARE(f.Label3->text(), QString());
    QCOMPARE(f.StatusText(0), QString());
    QCOMPARE(f.ResultLabel->text(), QString());
    QCOMPARE(f.ProgressBar1->value(), 0);
    QVERIFY(f.StartButton->isEnabled());
    for (Page p : kAllPages) QCOMPARE(w.Rows(p), std::size_t{0});
    QCOMPARE(f.PageControl1->count(), 6);
    QCOMPARE(f.PageControl1->currentIndex(), 0);
    QCOMPARE(f.PageControl1->tabText(5), QStringLiteral("継続モード抽選率"));
    QVERIFY(!f.AboutBox()->isVisible());
    for (QCheckBox* c : {f.Che2CheckBox, f.Che4CheckBox, f.SuikaACheckBox, f.SuikaBCheckBox, f.ChanceCheckBox})
        QVERIFY(!c->isChecked());
    // Client area 608 x 699 below the menu bar, fixed; no maximize button.
    QCOMPARE(f.centralWidget()->width(), 608);
    QCOMPARE(f.centralWidget()->height() + f.statusBar()->height(), 699);
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
    // The count box is at least the design's 73 pixels and shows the
    // largest count whole: from the first digit to past the last the cursor
    // moves the text's full width, which it would not were the text
    // scrolled; the setting's label and box make room beside it.
    QCOMPARE(f.PlayNumEdit->geometry().topLeft(), QPoint(48, 8));
    QCOMPARE(f.PlayNumEdit->height(), 20);
    QVERIFY(f.PlayNumEdit->width() >= 73);
    const QString most = QStringLiteral("2147483647");
    f.PlayNumEdit->setText(most);
    // The box scrolls its text as it paints.
    const auto cursorAt = [&](qsizetype at) {
        f.PlayNumEdit->setCursorPosition(static_cast<int>(at));
        f.PlayNumEdit->grab();
        return f.PlayNumEdit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    };
    QCOMPARE(cursorAt(most.size()) - cursorAt(0), f.PlayNumEdit->fontMetrics().horizontalAdvance(most));
    f.PlayNumEdit->setText(QStringLiteral("1"));
    QVERIFY(f.PlayNumEdit->geometry().right() < f.Label2->x());
    QVERIFY(f.Label2->geometry().right() < f.FlevelComboBox->x());
    QCOMPARE(f.FlevelComboBox->geometry().right(), 212);
    QVERIFY(f.FlevelComboBox->width() >= f.FlevelComboBox->minimumSizeHint().width());
    QCOMPARE(f.StartButton->geometry(), QRect(272, 32, 63, 21));
    QCOMPARE(f.PageControl1->geometry(), QRect(4, 76, 597, 209));
    QCOMPARE(f.GroupBox1->geometry(), QRect(4, 648, 597, 29));
    QCOMPARE(f.List(Page::BB)->geometry(), QRect(4, 5, 453, 172));
    QCOMPARE(f.Model(Page::BB)->headerData(5, Qt::Horizontal).toString(), QStringLiteral("獲得メダル"));
}

void MainFormTest::menusAndCaptions() {
    Window w;
    const QList<QAction*> menus = w.form.menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("ファイル(&F)"));
    QCOMPARE(menus[1]->text(), QStringLiteral("解析(&K)"));
    QCOMPARE(menus[2]->text(), QStringLiteral("ヘルプ(&H)"));
    QStringList file, analysis, help;
    for (QAction* a : menus[0]->menu()->actions()) file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    for (QAction* a : menus[1]->menu()->actions()) analysis << a->text();
    for (QAction* a : menus[2]->menu()->actions()) help << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(analysis, (QStringList{"理論値(&T)", "設定推測(&E)", "分布(&D)", "ホールデータ(&H)", "期待値(&V)"}));
    QCOMPARE(file, (QStringList{"開く(&O)", "保存(&S)", "-", "開始(&G)", "中止(&T)", "終了(&X)"}));
    QCOMPARE(help,
             (QStringList{"バージョン情報(&A)", "取扱説明書(&C)", "JWordのインストール", "-", "ホームページ", "広告"}));
    // Only the stop command has a key, Esc.
    for (QAction* a : menus[0]->menu()->actions())
        QCOMPARE(a->shortcut(),
                 a->objectName() == QLatin1String("FileStopMenu") ? QKeySequence(Qt::Key_Escape) : QKeySequence());
}

void MainFormTest::inputErrors_data() {
    QTest::addColumn<QString>("games");
    QTest::addColumn<QString>("runs");
    QTest::addColumn<QString>("message");
    QTest::newRow("games 0") << "0"
                             << "1" << texts::kGamesBelowOne;
    QTest::newRow("games -5") << "-5"
                              << "abc" << texts::kGamesBelowOne;  // runs not looked at
    QTest::newRow("runs 0") << "100"
                            << "0" << texts::kRunsBelowOne;
}

void MainFormTest::inputErrors() {
    QFETCH(QString, games);
    QFETCH(QString, runs);
    QFETCH(QString, message);
    Window w;
    w.form.StatusBar1->findChild<QLabel*>(QStringLiteral("Panel0"))->setText(QStringLiteral("old"));
    w.Start(games, QStringLiteral("1"), runs);
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    QCOMPARE(w.services.boxes[0].caption, QStringLiteral("エラー"));
    QCOMPARE(w.services.boxes[0].text, message);
    QCOMPARE(w.form.StatusText(0), QString());
    QVERIFY(w.form.History().empty());
    QCOMPARE(w.form.Machine().playCount, 0);
    QVERIFY(w.form.StartButton->isEnabled());
}

void MainFormTest::conversionErrorsLeaveEverything() {
    Window w;
    w.Start(QStringLiteral("300"), QStringLiteral("2"));
    const QString label = w.form.ResultLabel->text();
    for (const char* games : {"abc", "1.5", " 10", "99999999999"}) {
        w.services.boxes.clear();
        w.Start(QString::fromLatin1(games), QStringLiteral("2"));
        QCOMPARE(w.services.boxes.size(), std::size_t{1});
        QCOMPARE(w.services.boxes[0].caption, QStringLiteral("Morvane"));
        QCOMPARE(w.services.boxes[0].text, QStringLiteral("'%1' は整数ではありません").arg(QString::fromLatin1(games)));
        QCOMPARE(w.form.StatusText(0), texts::kRunDone);  // untouched
        QVERIFY(w.form.StartButton->isEnabled());
        QCOMPARE(w.form.History().size(), std::size_t{300});
        QCOMPARE(w.form.ResultLabel->text(), label);
    }
    // A pasted page is quoted as the command line quotes it: cut after 200
    // bytes, its length said.
    w.services.boxes.clear();
    w.Start(QString(300, QLatin1Char('7')), QStringLiteral("2"));
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    QCOMPARE(w.services.boxes[0].text,
             QStringLiteral("'%1... (300 bytes)' は整数ではありません").arg(QString(200, QLatin1Char('7'))));
}

void MainFormTest::bothInputsWrongShowsOnlyTheGamesMessage() {
    Window w;
    w.Start(QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"));
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    QCOMPARE(w.services.boxes[0].text, texts::kGamesBelowOne);
}

void MainFormTest::settingOutOfRangeIsRefusedBeforeAnythingChanges() {
    Window w;
    w.Start(QStringLiteral("200"), QStringLiteral("3"));
    const std::uint64_t rng = const_cast<Slot&>(w.form.Machine()).Rng().State();
    for (const char* bad : {"0", "7", "-1", "100"}) {
        w.services.boxes.clear();
        w.Start(QStringLiteral("50"), QString::fromLatin1(bad));
        QCOMPARE(w.services.boxes.size(), std::size_t{1});
        QCOMPARE(w.services.boxes[0].caption, QStringLiteral("エラー"));
        QCOMPARE(w.services.boxes[0].text, texts::kSettingOutOfRange);
        QCOMPARE(w.form.History().size(), std::size_t{200});
        QCOMPARE(w.form.Machine().GetFlevel(), 3);
        QCOMPARE(const_cast<Slot&>(w.form.Machine()).Rng().State(), rng);
        QVERIFY(w.form.StartButton->isEnabled());
        QCOMPARE(w.form.StatusText(0), QString());
    }
}

void MainFormTest::badSettingTextDoesNotEmptyTheShownRun() {
    Window w;
    w.Start(QStringLiteral("400"), QStringLiteral("4"));
    w.services.boxes.clear();
    w.Start(QStringLiteral("400"), QStringLiteral("abc"));
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    QCOMPARE(w.services.boxes[0].text, QStringLiteral("'abc' は整数ではありません"));
    QCOMPARE(w.form.History().size(), std::size_t{400});
    QCOMPARE(w.Rows(Page::Play), std::size_t{400});
    QVERIFY(w.form.StartButton->isEnabled());
    QCOMPARE(w.form.StatusText(0), texts::kRunDone);
}

void MainFormTest::theLargestPlayCountPlaysBesideTheRunOnScreen() {
    // Kept as checkpoints, any Play数 plays, and the run on screen stays
    // while it does.
    Window w;
    w.Start(QStringLiteral("300"), QStringLiteral("2"));
    const QStringList bb = w.Page(Page::BB);
    std::size_t rowsWhilePlaying = 0;
    QTimer::singleShot(0, &w.form, [&] {
        rowsWhilePlaying = w.Rows(Page::Play);
        w.form.FileStopMenuClick();
    });
    w.Start(QStringLiteral("2147483647"), QStringLiteral("1"));
    QVERIFY(w.services.boxes.empty());
    QVERIFY(w.services.informations.empty());
    QCOMPARE(rowsWhilePlaying, std::size_t{300});
    QCOMPARE(w.form.StatusText(0), texts::kRunStopped);
    QVERIFY(w.form.Machine().playCount >= kSliceGames);
    QCOMPARE(w.form.History().size(), std::size_t{300});
    QCOMPARE(w.Page(Page::BB), bb);
    QVERIFY(w.form.StartButton->isEnabled());
}

void MainFormTest::hiddenSettingRevealAndSecondStart() {
    Window w(12345);
    Random r;
    r.SeedRandom(12345);
    const int drawn = r.Rand31() % 6 + 1;
    w.Start(QStringLiteral("1000"), QStringLiteral("?"));
    QCOMPARE(w.form.Label3->text(), QStringLiteral("設定が確認できます。"));
    QCOMPARE(w.form.FlevelComboBox->currentText(), QStringLiteral("?"));
    QCOMPARE(w.form.Machine().GetFlevel(), drawn);
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーション完了"));
    QTest::mouseClick(w.form.FlevelButton, Qt::LeftButton);
    QCOMPARE(w.form.FlevelComboBox->currentText(), QString::number(drawn));
    QCOMPARE(w.form.Label3->text(), QStringLiteral("設定が確認できます。"));  // the reveal leaves it
    QTest::mouseClick(w.form.StartButton, Qt::LeftButton);
    QCOMPARE(w.form.Label3->text(), QString());
    QCOMPARE(w.form.Machine().GetFlevel(), drawn);
    QCOMPARE(w.form.HistoryHeader().setting, drawn);
}

// The label of tests/reference/independent_results.md ("One run").
void MainFormTest::knownSeededRunSummary() {
    Window w(1);
    w.Start(QStringLiteral("100000"), QStringLiteral("1"));
    QCOMPARE(w.form.ResultLabel->text(),
             QStringLiteral(
                 "BB初当り数:312\u3000BB数:1583\nBB確率:1/320.51  機械割:97.31%\n継続数平均:5.07\n収支:-161320円"));
    QCOMPARE(w.form.ProgressBar1->value(), 100);
    QCOMPARE(w.Rows(Page::BB), std::size_t{312});
    QCOMPARE(w.Rows(Page::Koyaku), std::size_t{8});
    QCOMPARE(w.Cell(Page::Play, 99999, 0), QStringLiteral("100000"));
}

void MainFormTest::shorterSecondRunReplacesEveryList() {
    Window w(3);
    w.Start(QStringLiteral("5000"), QStringLiteral("6"));
    const std::size_t firstBB = w.Rows(Page::BB);
    QVERIFY(firstBB > 0);
    w.Start(QStringLiteral("200"), QStringLiteral("6"));
    QCOMPARE(w.Rows(Page::Play), std::size_t{200});
    QCOMPARE(w.Cell(Page::Play, 199, 0), QStringLiteral("200"));
    QCOMPARE(w.Rows(Page::BB), w.form.Shown().RowCount(Page::BB));
    QCOMPARE(w.Rows(Page::ModeChange), w.form.Shown().RowCount(Page::ModeChange));
    for (std::size_t r = 0; r < w.Rows(Page::ModeChange); ++r)
        QVERIFY(w.Cell(Page::ModeChange, static_cast<int>(r), 0).toInt() <= 200);
    std::int64_t stays = 0;
    for (int r = 0; r < 6; ++r) stays += w.Cell(Page::ModeStay, r, 1).toLongLong();
    QCOMPARE(stays, std::int64_t{200});
    QCOMPARE(w.form.History().size(), std::size_t{200});
}

void MainFormTest::startButtonAndMenuItemStartTheSameCommand() {
    Window a(42), b(42);
    a.form.PlayNumEdit->setText(QStringLiteral("3000"));
    b.form.PlayNumEdit->setText(QStringLiteral("3000"));
    QTest::mouseClick(a.form.StartButton, Qt::LeftButton);
    FindAction(b.form, "FileStartMenu")->trigger();
    QCOMPARE(a.form.ResultLabel->text(), b.form.ResultLabel->text());
    QVERIFY(test::Held(a.form.History()) == test::Held(b.form.History()));
    QCOMPARE(b.form.StatusText(0), texts::kRunDone);
}

void MainFormTest::startIsNotReenteredWhileARunIsInProgress() {
    Window w(9), once(9);
    w.form.PlayNumEdit->setText(QStringLiteral("1000"));
    once.Start(QStringLiteral("1000"), QStringLiteral("1"));
    // These reach the window while it handles its events before the games.
    bool sawDisabled = false;
    QTimer::singleShot(0, &w.form, [&] {
        sawDisabled = !w.form.StartButton->isEnabled() && w.form.StatusText(0) == texts::kRunning;
        FindAction(w.form, "FileStartMenu")->trigger();
        FindAction(w.form, "FileOpenMenu")->trigger();
        FindAction(w.form, "FileSaveMenu")->trigger();
    });
    QTest::mouseClick(w.form.StartButton, Qt::LeftButton);
    QVERIFY(sawDisabled);
    QVERIFY(w.services.openInitials.isEmpty());
    QVERIFY(w.services.saveInitials.isEmpty());
    QVERIFY(test::Held(w.form.History()) == test::Held(once.form.History()));
    QCOMPARE(const_cast<Slot&>(w.form.Machine()).Rng().State(), const_cast<Slot&>(once.form.Machine()).Rng().State());
}

void MainFormTest::aRunEmptiesTheSummaryWithTheLists() {
    Window w(4);
    w.Start(QStringLiteral("500"), QStringLiteral("2"));
    const QString first = w.form.ResultLabel->text();
    QVERIFY(!first.isEmpty());
    QVERIFY(w.Rows(Page::Play) == 500);
    // What the window shows while the next run's games are played: the run
    // on screen, summary and lists alike, as the run plays on checkpoints
    // beside it; so again for the run after.
    for (int run = 0; run < 2; ++run) {
        const QString shown = w.form.ResultLabel->text();
        QString summary = QStringLiteral("not looked at");
        std::size_t rows = 99;
        QTimer::singleShot(0, &w.form, [&] {
            summary = w.form.ResultLabel->text();
            rows = w.Rows(Page::Play);
        });
        w.Start(QStringLiteral("500"), QStringLiteral("2"));
        QCOMPARE(summary, run == 0 ? first : shown);
        QCOMPARE(rows, std::size_t{500});
        QVERIFY(!w.form.ResultLabel->text().isEmpty());
        QCOMPARE(w.services.informations.size(), std::size_t{0});
    }
}

void MainFormTest::qtsOwnTextsAreJapanese() {
    // The edit fields' context menu, the file dialog and the standard
    // buttons: no English word reaches the user.
    QLineEdit edit;
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList items;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) items << a->text();
    QVERIFY2(items.size() >= 5, qPrintable(items.join(u'|')));
    for (const QString& item : items)
        for (const char* english : {"Undo", "Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"})
            QVERIFY2(!item.contains(QLatin1String(english)), qPrintable(item));
    QVERIFY2(items.join(u'|').contains(QStringLiteral("コピー")), qPrintable(items.join(u'|')));

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList seen;
    for (QLabel* l : dialog.findChildren<QLabel*>()) seen << l->text();
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) seen << b->text();
    const QString all = seen.join(u'|');
    for (const char* english : {"Look in:", "File name:", "Cancel", "Save", "Files of type:"})
        QVERIFY2(!all.contains(QLatin1String(english)), qPrintable(all));

    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("OK"));
    QVERIFY(box.button(QDialogButtonBox::Cancel)->text() != QStringLiteral("&Cancel"));
    QVERIFY(box.button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("キャンセル")));
}

void MainFormTest::rateCellsShowWholeBesideTheirPie() {
    Window w(5, Window::OnScreen);
    w.Start(QStringLiteral("100000"), QStringLiteral("6"));
    for (Page page : {Page::Koyaku, Page::ModeStay, Page::KeizokuSelect}) {
        // As the user sees it: the page in front.
        w.form.PageControl1->setCurrentIndex(static_cast<int>(page));
        QApplication::processEvents();
        ResultList* list = w.form.List(page);
        const QFontMetrics fm(list->font());
        int total = 0;
        for (int c = 0; c < list->model()->columnCount(); ++c) {
            // The longest cell of the column with the view's padding of 3
            // pixels a side, and the caption.
            int widest = fm.horizontalAdvance(list->model()->headerData(c, Qt::Horizontal).toString()) - 2;
            for (int r = 0; r < list->model()->rowCount(); ++r)
                widest = std::max(widest, fm.horizontalAdvance(list->model()->index(r, c).data().toString()));
            QVERIFY2(list->columnWidth(c) >= widest + 6, qPrintable(QStringLiteral("page %1 column %2: %3 < %4")
                                                                        .arg(static_cast<int>(page))
                                                                        .arg(c)
                                                                        .arg(list->columnWidth(c))
                                                                        .arg(widest)));
            total += list->columnWidth(c);
        }
        QVERIFY2(total <= list->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(total).arg(list->viewport()->width())));
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        // The pie gives way and stays whole on its page.
        const QWidget* pie = w.form.findChild<QWidget*>(page == Page::Koyaku     ? QStringLiteral("KoyakuChart")
                                                        : page == Page::ModeStay ? QStringLiteral("ModeStayChart")
                                                                                 : QStringLiteral("KModeChart"));
        QVERIFY(pie);
        QVERIFY(pie->geometry().left() > list->geometry().right());
        QVERIFY(pie->geometry().right() < pie->parentWidget()->width());
    }
}

void MainFormTest::aLongRunMovesTheBarAndStopsOnEscape() {
    Window w(6, Window::OnScreen);
    w.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    // The bar while the games are played (the lists are still empty then).
    QList<int> duringGames;
    QObject::connect(w.form.ProgressBar1, &QProgressBar::valueChanged, &w.form, [&](int v) {
        if (w.Rows(Page::Play) == 0 && w.form.StatusText(0) == texts::kRunning) duringGames << v;
    });
    w.Start(QString::number(3 * kSliceGames), QStringLiteral("3"));
    QCOMPARE(duringGames.mid(0, 3), (QList<int>{33, 66, 100}));
    QCOMPARE(w.Rows(Page::Play), static_cast<std::size_t>(3 * kSliceGames));

    // Esc while the games hold the window: the run ends at its next slice,
    // nothing of it stays, the run on screen stays as it was (and is what a
    // save writes), and the window is ready for the next command.
    const QString summary = w.form.ResultLabel->text();
    const QStringList modeChanges = w.Page(Page::ModeChange);
    const std::size_t bars = w.charts().SlumpBSeries->Count();
    const int playCount = w.form.Machine().playCount;
    QTimer::singleShot(0, &w.form, [&] { QTest::keyClick(&w.form, Qt::Key_Escape); });
    w.Start(QString::number(50 * kSliceGames), QStringLiteral("3"));
    QCOMPARE(w.form.StatusText(0), texts::kRunStopped);
    QVERIFY(w.services.informations.empty());
    QCOMPARE(w.form.History().size(), static_cast<std::size_t>(3 * kSliceGames));
    QCOMPARE(w.form.HistoryHeader(), (SimHeader{3, playCount}));
    QCOMPARE(w.Rows(Page::Play), static_cast<std::size_t>(3 * kSliceGames));
    QCOMPARE(w.form.ResultLabel->text(), summary);
    QCOMPARE(w.Page(Page::ModeChange), modeChanges);
    QCOMPARE(w.charts().SlumpBSeries->Count(), bars);
    QVERIFY(w.charts().ModeSeries->BandShown());
    QVERIFY(w.form.Machine().playCount < 2 * kSliceGames);
    QVERIFY(w.form.StartButton->isEnabled());
    QVERIFY(!w.form.Busy());
    // The stop does not linger: the next run plays through.
    w.Start(QStringLiteral("1000"), QStringLiteral("3"));
    QCOMPARE(w.form.StatusText(0), texts::kRunDone);
    QCOMPARE(w.Rows(Page::Play), std::size_t{1000});

    // The next run plays beside the run on screen, unannounced, and a stop
    // leaves that run on screen.
    Window s(6, Window::OnScreen);
    s.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s.form));
    s.Start(QString::number(3 * kSliceGames), QStringLiteral("3"));
    const QString shownLabel = s.form.ResultLabel->text();
    QTimer::singleShot(0, &s.form, [&] { QTest::keyClick(&s.form, Qt::Key_Escape); });
    s.Start(QString::number(3 * kSliceGames), QStringLiteral("3"));
    QVERIFY(s.services.informations.empty());
    QCOMPARE(s.form.StatusText(0), texts::kRunStopped);
    QCOMPARE(s.form.History().size(), static_cast<std::size_t>(3 * kSliceGames));
    QCOMPARE(s.Rows(Page::Play), static_cast<std::size_t>(3 * kSliceGames));
    QCOMPARE(s.form.ResultLabel->text(), shownLabel);
}

void MainFormTest::revealBeforeAnyRunShowsOne() {
    Window w;
    w.form.FlevelComboBox->setEditText(QStringLiteral("?"));
    FindAction(w.form, "FileStartMenu");  // present, untouched
    QTest::mouseClick(w.form.FlevelButton, Qt::LeftButton);
    QCOMPARE(w.form.FlevelComboBox->currentText(), QStringLiteral("1"));
}

void MainFormTest::shellCommands() {
    Window w;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString manual = dir + QStringLiteral("/") + links::kManualFile;
    const QString installer = dir + QStringLiteral("/") + links::kInstallerFile;
    QFile::remove(manual);
    QFile::remove(installer);
    FindAction(w.form, "HelpManMenu")->trigger();
    FindAction(w.form, "JWord1")->trigger();
    QVERIFY(w.services.urls.isEmpty());  // nothing there: nothing happens
    QVERIFY(w.services.programs.isEmpty());
    QVERIFY(w.services.boxes.empty());

    QFile(manual).open(QIODevice::WriteOnly);
    QFile(installer).open(QIODevice::WriteOnly);
    FindAction(w.form, "HelpManMenu")->trigger();
    FindAction(w.form, "JWord1")->trigger();
    QFile::remove(manual);
    QFile::remove(installer);
    QCOMPARE(w.services.urls.size(), 1);
    QCOMPARE(w.services.urls[0], QUrl::fromLocalFile(manual));
    QCOMPARE(w.services.programs, QStringList{installer});
    QCOMPARE(w.services.programArguments[0], (QStringList{links::kPartnerCode, QStringLiteral("1")}));

    // Installed, the manual lives under share/morvane beside bin, which a
    // system that leaves out share/doc keeps.
    w.services.urls.clear();
    QDir shareDoc(dir + QStringLiteral("/") + links::kInstalledManualFolder);
    const bool made = !shareDoc.exists() && QDir().mkpath(shareDoc.path());
    const QString installed = shareDoc.filePath(links::kManualFile);
    QFile(installed).open(QIODevice::WriteOnly);
    const QUrl expected = QUrl::fromLocalFile(QFileInfo(installed).canonicalFilePath());
    FindAction(w.form, "HelpManMenu")->trigger();
    QFile::remove(installed);
    if (made) QDir(dir + QStringLiteral("/..")).rmpath(QStringLiteral("share/morvane"));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(w.services.urls, QList<QUrl>{expected});

    w.services.urls.clear();
    FindAction(w.form, "N3")->trigger();
    FindAction(w.form, "N4")->trigger();
    QCOMPARE(w.services.urls, (QList<QUrl>{QUrl(links::kHomePage), QUrl(links::kAdvertisementPage)}));
}

void MainFormTest::launchArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("file");
    const auto window = static_cast<int>(Launch::Kind::Window);
    const QString here = QDir::currentPath() + QLatin1Char('/');
    QTest::newRow("nothing") << QStringList{} << window << QString();
    QTest::newRow("a relative file") << QStringList{"a.sim"} << window << here + "a.sim";
    QTest::newRow("an absolute file") << QStringList{"/data/b.sim"} << window << "/data/b.sim";
    QTest::newRow("several: the first") << QStringList{"x/a.sim", "b.sim"} << window << here + "x/a.sim";
    QTest::newRow("a name like an option") << QStringList{"--", "-odd.sim"} << window << here + "-odd.sim";
    QTest::newRow("version") << QStringList{"a.sim", "--version"} << static_cast<int>(Launch::Kind::Version)
                             << QString();
    QTest::newRow("version after a bad option")
        << QStringList{"-platform", "--version"} << static_cast<int>(Launch::Kind::Version) << QString();
    QTest::newRow("help") << QStringList{"-h"} << static_cast<int>(Launch::Kind::Help) << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus", "a.sim"} << static_cast<int>(Launch::Kind::Bad)
                                    << QString();
    QTest::newRow("--version as a file") << QStringList{"--", "--version"} << window << here + "--version";
}

void MainFormTest::launchArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(int, kind);
    QFETCH(QString, file);
    const Launch launch = ParseLaunch(arguments);
    QCOMPARE(static_cast<int>(launch.kind), kind);
    QCOMPARE(launch.file, file);
    if (launch.kind == Launch::Kind::Bad) QVERIFY(launch.message.contains(QStringLiteral("--bogus")));
}

void MainFormTest::programAnswersVersionAndHelpWithoutADisplay() {
    // On X with no display: Qt would end the program if it were started.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Under the sanitizers the exit code is the program's, not a leak report's.
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(MORVANE_PATH), args);
        p.waitForFinished(20000);
        return std::make_tuple(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                               QString::fromUtf8(p.readAllStandardError()));
    };
    const auto [versionCode, version, versionErr] = run({QStringLiteral("--version")});
    QCOMPARE(versionCode, 0);
    // The About box's version, and the packages'.
    QCOMPARE(version, QStringLiteral("morvane 1.0.3.0\n"));
    const auto [helpCode, help, helpErr] = run({QStringLiteral("--help")});
    QCOMPARE(helpCode, 0);
    QVERIFY(help.startsWith(QStringLiteral("usage: morvane [FILE.sim...]\n")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto [badCode, bad, badErr] = run({QStringLiteral("--bogus")});
    QCOMPARE(badCode, 2);
    QVERIFY(bad.isEmpty());
    QVERIFY(badErr.contains(QStringLiteral("morvane: unknown option --bogus\nusage: morvane")));
}

void MainFormTest::realReplaceQuestionDefaultsToNo() {
    // The real box: Enter keeps the file, はい replaces it.
    DesktopServices real;
    struct Seen {
        QString caption, text, yes, no;
    } seen;
    auto answer = [&](bool pressYes) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [&seen, poll, pressYes] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll->deleteLater();
            seen = {box->windowTitle(), box->text(), box->button(QMessageBox::Yes)->text(),
                    box->button(QMessageBox::No)->text()};
            if (pressYes)
                box->button(QMessageBox::Yes)->click();
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        poll->start(10);
    };
    answer(false);
    QVERIFY(!real.AskReplace(nullptr, QStringLiteral("/data/runs/a.sim")));
    QCOMPARE(seen.caption, QStringLiteral("確認"));
    QCOMPARE(seen.text, QStringLiteral("/data/runs/a.sim は既にあります。\n置き換えますか？"));
    QVERIFY2(seen.yes.contains(QStringLiteral("はい")), qPrintable(seen.yes));
    QVERIFY2(seen.no.contains(QStringLiteral("いいえ")), qPrintable(seen.no));
    answer(true);
    QVERIFY(real.AskReplace(nullptr, QStringLiteral("/data/runs/a.sim")));
}

void MainFormTest::aboutBoxIsModalAndLinks() {
    Window w;
    bool wasModal = false;
    QTimer::singleShot(0, &w.form, [&] {
        wasModal = QApplication::activeModalWidget() == w.form.AboutBox();
        w.form.AboutBox()->OKButton->click();
    });
    FindAction(w.form, "HelpAboutMenu")->trigger();
    QVERIFY(wasModal);
    QVERIFY(!w.form.AboutBox()->isVisible());
    TAboutBox* box = w.form.AboutBox();
    QCOMPARE(box->windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(box->size(), QSize(298, 213));
    QCOMPARE(box->Version->text(), QStringLiteral("Version1.0.3.0"));
    QCOMPARE(box->Label1->text(), QStringLiteral("Morvaneのページ"));
    QVERIFY(box->OKButton->isDefault());
    QTest::mouseClick(box->Label1, Qt::LeftButton);
    QTest::mouseClick(box->Label2, Qt::LeftButton);
    QCOMPARE(w.services.urls,
             (QList<QUrl>{QUrl(links::kHomePage), QUrl(QStringLiteral("mailto:") + links::kContactMail)}));
    // Every text whole and clear of the raised frame.
    const QFrame* panel = box->findChild<QFrame*>(QStringLiteral("Panel1"));
    QVERIFY(panel);
    const QRect inside = panel->contentsRect().adjusted(2, 2, -2, -2);
    for (QLabel* l : {box->ProductName, box->Version, box->Label1, box->Label2}) {
        QVERIFY2(inside.contains(l->geometry()), qPrintable(l->text()));
        QVERIFY2(l->width() >= QFontMetrics(l->font()).horizontalAdvance(l->text()), qPrintable(l->text()));
    }
}

void MainFormTest::exitClosesAtOnce() {
    Window w;
    w.form.show();
    w.Start(QStringLiteral("100"), QStringLiteral("1"));
    FindAction(w.form, "FileExitMenu")->trigger();
    QVERIFY(!w.form.isVisible());
    QVERIFY(w.services.boxes.empty());
}

void MainFormTest::clockTextAndMidnight() {
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    QCOMPARE(ClockText(QDateTime(QDate(2006, 8, 7), QTime(12, 34, 56)), ja), QStringLiteral("2006/08/07 12:34:56"));
    QCOMPARE(ClockText(QDateTime(QDate(2006, 8, 7), QTime(9, 5, 3)), ja), QStringLiteral("2006/08/07 9:05:03"));
    QCOMPARE(ClockText(QDateTime(QDate(2006, 8, 7), QTime(0, 0, 0)), ja), QStringLiteral("2006/08/07"));
    QCOMPARE(ClockText(QDateTime(QDate(2006, 8, 7), QTime(0, 0, 0, 999)), ja), QStringLiteral("2006/08/07"));
    QCOMPARE(ClockText(QDateTime(QDate(2006, 8, 7), QTime(0, 0, 1)), ja), QStringLiteral("2006/08/07 0:00:01"));
    QCOMPARE(ClockText(QDateTime(QDate(2026, 12, 9), QTime(23, 59, 59)), QLocale::c()),
             QStringLiteral("2026/12/09 23:59:59"));
}

void MainFormTest::clockTicksIntoPanelOne() {
    Window w;
    QCOMPARE(w.form.StatusText(1), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!w.form.StatusText(1).isEmpty(), 1000);
    QCOMPARE(w.form.Timer1->interval(), 100);
    QVERIFY(w.form.StatusText(1).startsWith(QString::number(QDate::currentDate().year())));
}

void MainFormTest::rowsCopyAsTabSeparatedText() {
    Window w(5);
    w.Start(QStringLiteral("3000"), QStringLiteral("6"));
    ResultList* list = w.form.List(Page::BB);
    QVERIFY(list->SelectionText().isEmpty());
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const QStringList lines = list->SelectionText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("PLAY数\tPLAY数2\t絵柄\tモード\t終了移行\t獲得メダル"));
    QStringList first;
    for (int c = 0; c < 6; ++c) first << w.Cell(Page::BB, 0, c);
    QCOMPARE(lines[1], first.join(QLatin1Char('\t')));
}

void MainFormTest::longListsScrollSelectAndCopy() {
    Window w(8, Window::OnScreen);
    w.Start(QStringLiteral("200000"), QStringLiteral("2"));
    ResultList* list = w.form.List(Page::Play);
    list->setFocus();
    QApplication::processEvents();
    // End goes to the last game, and the bottom of the list shows it.
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->currentIndex().row(), 199999);
    const QPoint bottomRow(5, (list->viewport()->height() / ResultList::kRowHeight - 1) * ResultList::kRowHeight + 2);
    QCOMPARE(list->indexAt(bottomRow).row(), 199999);
    QCOMPARE(list->indexAt(bottomRow).data().toString(), QStringLiteral("200000"));
    // Home, then a click on the third row in sight and a shift-click two
    // rows lower select three games, which copy under the captions.
    QTest::keyClick(list, Qt::Key_Home);
    QCOMPARE(list->FirstVisibleRow(), 0);
    const int y = 2 * ResultList::kRowHeight + 3;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, y));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, y + 2 * ResultList::kRowHeight));
    const QStringList lines = list->SelectionText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("PLAY数\tPLAY数2\t絵柄\tモード\tメダル数"));
    for (int k = 0; k < 3; ++k) {
        QStringList cells;
        for (int c = 0; c < 5; ++c) cells << w.Cell(Page::Play, 2 + k, c);
        QCOMPARE(lines[k + 1], cells.join(QLatin1Char('\t')));
    }
    // Scrolled away, the selection stays with its games, not with its
    // place on the screen; a page down moves by what is in sight.
    list->verticalScrollBar()->setValue(1000);
    QCOMPARE(list->indexAt(QPoint(5, 2)).row(), 1000);
    QCOMPARE(list->SelectionText().split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);
    const int inSight = list->viewport()->height() / ResultList::kRowHeight;
    QTest::keyClick(list, Qt::Key_PageDown);
    QCOMPARE(list->currentIndex().row(), 4 + inSight);
}

void MainFormTest::playListsFitTheWidestCellsOfTheRun() {
    // The end of the longest run in a few rows: small numbers where the
    // lists open, ten digits below them, as at the end of a 2^31-game run.
    PlayHistory h;
    for (std::int32_t i = 0; i < 200; ++i) h.push_back({i + 1, -3 * (i + 1), 0, i + 1, 0, 0, Hamari, ReplayB});
    for (std::size_t j = 0; j < 200; j += 10) {
        h.BBLog()[j] = BlueBB;
        h.KeizokuNumLog()[j] = 1;
        h.KoyakuLog()[j] = BBGame;
    }
    h.PlayNumLog()[199] = INT32_MAX;
    h.PlayNum2Log()[190] = INT32_MAX - 1;
    h.MedalLog()[190] = INT32_MAX - 7;  // a BB that gains ten digits
    h.MedalLog()[199] = INT32_MIN + 1;
    for (std::size_t j = 190; j < 200; ++j) h.ModeLog()[j] = LowProb;  // a mode-change row far down
    h.PlayNum2Log()[199] = INT32_MAX - 2;
    Presentation presentation;
    const HistoryRecords records(h, 16);
    presentation.Present(records);
    for (Page page : {Page::Play, Page::BB, Page::ModeChange}) {
        PageModel model(presentation, page);
        // On a page of the window's size, at its designed place and width.
        QWidget sheet;
        sheet.resize(589, 180);
        ResultList list(&model, &sheet);
        list.setGeometry(4, 4, 373, 5 * ResultList::kRowHeight);
        list.SetDesignWidth(373);
        sheet.show();
        list.FitColumns();
        // Within the page, wider than designed where its cells need it, and
        // without a sideways scroll.
        if (page == Page::Play) QVERIFY(list.width() > 373);  // five columns of ten digits
        QVERIFY(list.geometry().right() < sheet.width());
        QCOMPARE(list.horizontalScrollBar()->maximum(), 0);
        QCOMPARE(list.FirstVisibleRow(), 0);
        const QFontMetrics fm(list.font());
        for (int c = 0; c < model.columnCount(); ++c) {
            // The view pads a cell by 3 pixels a side.
            int widest = 0;
            for (int r = 0; r < model.rowCount(); ++r)
                widest = std::max(widest, fm.horizontalAdvance(model.index(r, c).data().toString()));
            QVERIFY2(list.columnWidth(c) >= widest + 6, qPrintable(QStringLiteral("page %1 column %2: %3 < %4")
                                                                       .arg(static_cast<int>(page))
                                                                       .arg(c)
                                                                       .arg(list.columnWidth(c))
                                                                       .arg(widest)));
        }
    }
}

void MainFormTest::copyOfMoreRowsThanASpreadsheetTakesIsCutAndSaysSo() {
    Window w(3);
    const qint64 games = ResultList::kMostCopiedRows + 7;
    w.Start(QString::number(games), QStringLiteral("1"));
    ResultList* list = w.form.List(Page::Play);
    list->setFocus();
    // Everything but the first game: one range whose rows are counted, not listed.
    list->selectionModel()->select(QItemSelection(list->model()->index(1, 0), list->model()->index(games - 1, 0)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    const QString text = QApplication::clipboard()->text();
    QCOMPARE(text.count(QLatin1Char('\n')), ResultList::kMostCopiedRows + 1);
    QVERIFY(text.section(QLatin1Char('\n'), 1, 1).startsWith(QStringLiteral("2\t")));
    QCOMPARE(w.services.informations.size(), std::size_t{1});
    QCOMPARE(w.services.informations[0].text,
             QStringLiteral("1000006行が選択されています。コピーしたのは先頭の1000000行です。"));
    // A selection that fits says nothing.
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text().count(QLatin1Char('\n')), 2);
    QCOMPARE(w.services.informations.size(), std::size_t{1});
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Set up as the program is, so Qt's own texts are the ones users see.
    if (!ConfigureApplication(app)) qWarning("Qt's Japanese texts are missing");
    MainFormTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_form_test.moc"
