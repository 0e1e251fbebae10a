// Open, save and batch in the window, with the file dialogs answered by
// FakeServices and real files in a temporary folder.
#include <signal.h>
#include <sys/resource.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "fake_services.h"
#include "present/qt/page_model.h"
#include "shell/main_form.h"
#include "shell/startup.h"
#include "support/child_process.h"
#include "test_window.h"

using namespace morvane;
using morvane::testing::Box;
using morvane::testing::FakeServices;
using morvane::testing::Window;

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray Int32s(std::initializer_list<std::int32_t> values) {
    QByteArray b;
    for (std::int32_t v : values)
        for (int i = 0; i < 4; ++i) b.append(static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF));
    return b;
}

// What morvane-sim writes for the same seed and inputs.
// An error box about a file, "" when it is as it should be: in Japanese
// throughout but for the file's own name, its lines as given, and the
// system's own words only behind the details button.
std::string CheckFileBox(const Box& box, const QStringList& lines, const QString& path, const QString& systemWords) {
    std::string failures;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) failures += what + "; ";
    };
    expect(box.caption == QStringLiteral("エラー"), "caption " + box.caption.toStdString());
    expect(box.text == lines.join(QLatin1Char('\n')), "text " + box.text.toStdString());
    QString rest = box.text;
    rest.remove(path);
    for (QChar c : rest) expect(!(c.isLetter() && c.unicode() < 0x80), "English in " + rest.toStdString());
    expect(box.details.contains(systemWords), "details " + box.details.toStdString());
    return failures;
}

QByteArray CliRun(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    if (CliMain(args, out, err) != 0) qWarning("%s", err.str().c_str());
    return QByteArray::fromStdString(out.str());
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        dir_.setPath(tmp_->path());
    }
    void saveBeforeAnyRun();
    void roundTripIsByteIdenticalAndShowsTheSamePages();
    void hiddenRunSavesTheDrawnSetting();
    void notASimulationFileLeavesTheRunOnScreen();
    void shortHeaderIsRefused();
    void partialLastRecordIsDropped();
    void gamesNoMachineWritesAreRefusedNamingTheGame();
    void aFileChangedWhileOpenIsClosedWithAMessage();
    void cancelledDialogsEndTheCommand();
    void saveDialogIsSharedWithTheBatch();
    void batchOfTwoAndThree();
    void batchBaseNamesWithDotsInFoldersAndWithoutDots();
    void batchIntoAMissingFolder();
    void failedSaveKeepsTheOldFileAndSaysSo();
    void batchStoppedByAnEditSaysWhy();
    void saveOntoSpecialTargets_data();
    void saveOntoSpecialTargets();
    void windowFilesMatchTheCommandLine();
    void loadedFileSetsTheInputsAndStartReplaysIt();
    void showPrintsWhatTheWindowShows();
    void refusedOpenAfterABatchKeepsTheRunASaveWrites();
    void closingTheWindowStopsABatch();
    void menuItemsAskTheirDialogs();
    void givenAndDroppedFilesShowAsOpened();
    void dropIsRefusedWhileBusyOrWithoutAFile();
    void saveAsksBeforeReplacing();

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    std::unique_ptr<QTemporaryDir> tmp_;
    QDir dir_;
};

void FileCommandsTest::saveBeforeAnyRun() {
    Window w;
    w.Save(Path(QStringLiteral("empty.sim")));
    QCOMPARE(Bytes(Path(QStringLiteral("empty.sim"))), Int32s({10, 1, 0}));
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルに保存完了"));
    // Opening it presents nothing and ends normally.
    w.Open(Path(QStringLiteral("empty.sim")));
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み完了"));
    QCOMPARE(w.form.FlevelComboBox->currentText(), QStringLiteral("1"));
    QCOMPARE(w.form.PlayNumEdit->text(), QStringLiteral("0"));
    QCOMPARE(w.form.ResultLabel->text(), QString());
    QVERIFY(w.form.StartButton->isEnabled());
    QVERIFY(w.services.boxes.empty());
}

void FileCommandsTest::roundTripIsByteIdenticalAndShowsTheSamePages() {
    Window a(77);
    a.Start(QStringLiteral("20000"), QStringLiteral("5"));
    const QString first = Path(QStringLiteral("a.sim"));
    a.Save(first);
    QCOMPARE(Bytes(first).size(), 12 + 32 * 20000);

    Window b(1);
    b.Open(first);
    QCOMPARE(b.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み完了"));
    QCOMPARE(b.form.ResultLabel->text(), a.form.ResultLabel->text());
    for (Page p : kAllPages) QCOMPARE(b.Page(p), a.Page(p));
    // The loaded header is saved back: open then save gives the same bytes.
    const QString second = Path(QStringLiteral("b.sim"));
    b.Save(second);
    QCOMPARE(Bytes(second), Bytes(first));
    QCOMPARE(b.form.Machine().GetFlevel(), 1);  // the machine itself is untouched
}

void FileCommandsTest::hiddenRunSavesTheDrawnSetting() {
    Window w(12345);  // draws setting 5 first
    w.Start(QStringLiteral("500"), QStringLiteral("?"));
    const QString file = Path(QStringLiteral("h.sim"));
    w.Save(file);
    const QByteArray bytes = Bytes(file);
    QCOMPARE(bytes.mid(4, 4), Int32s({5}));
    Window other;
    other.Open(file);
    QCOMPARE(other.form.FlevelComboBox->currentText(), QStringLiteral("5"));
    QCOMPARE(other.form.PlayNumEdit->text(), QStringLiteral("500"));
}

void FileCommandsTest::notASimulationFileLeavesTheRunOnScreen() {
    Window w(3);
    w.Start(QStringLiteral("1000"), QStringLiteral("2"));
    const QStringList bb = w.Page(Page::BB);
    const QString label = w.form.ResultLabel->text();
    const QString text = Path(QStringLiteral("notes.txt"));
    const QString empty = Path(QStringLiteral("empty.sim"));
    Write(text, "hello, world");
    Write(empty, {});
    for (const QString& file : {text, empty}) {
        w.services.boxes.clear();
        w.Open(file);
        QCOMPARE(w.services.boxes.size(), std::size_t{1});
        QCOMPARE(w.services.boxes[0].caption, QStringLiteral("エラー"));
        QCOMPARE(w.services.boxes[0].text, QStringLiteral("このファイルは、Morvaneファイルではありません。"));
        QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み中断"));
        QVERIFY(w.form.StartButton->isEnabled());
        QCOMPARE(w.form.History().size(), std::size_t{1000});
        QCOMPARE(w.Page(Page::BB), bb);
        QCOMPARE(w.form.ResultLabel->text(), label);
    }
    // A file that is not there: what failed and why, in Japanese.
    const QString missing = Path(QStringLiteral("gone/missing.sim"));
    w.services.boxes.clear();
    w.Open(missing);
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    const std::string box =
        CheckFileBox(w.services.boxes[0],
                     {QStringLiteral("ファイルを開けませんでした。"), QStringLiteral("ファイル: ") + missing,
                      QStringLiteral("指定したフォルダーまたはファイルがありません。")},
                     missing, QString::fromUtf8(std::strerror(ENOENT)));
    QVERIFY2(box.empty(), box.c_str());
    QCOMPARE(w.form.History().size(), std::size_t{1000});
    // A save now still writes what is on screen.
    const QString saved = Path(QStringLiteral("after.sim"));
    w.Save(saved);
    QCOMPARE(Bytes(saved).size(), 12 + 32 * 1000);
}

void FileCommandsTest::shortHeaderIsRefused() {
    Window w;
    for (int size : {4, 8, 11}) {
        const QString file = Path(QStringLiteral("short%1.sim").arg(size));
        Write(file, Int32s({10, 3, 100}).left(size));
        w.services.boxes.clear();
        w.Open(file);
        QCOMPARE(w.services.boxes.size(), std::size_t{1});
        QCOMPARE(w.services.boxes[0].text, QStringLiteral("このファイルは、途中で切れています。"));
        QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み中断"));
        QVERIFY(w.form.StartButton->isEnabled());
    }
}

void FileCommandsTest::partialLastRecordIsDropped() {
    Window a(8);
    a.Start(QStringLiteral("30"), QStringLiteral("1"));
    const QString file = Path(QStringLiteral("p.sim"));
    a.Save(file);
    QByteArray bytes = Bytes(file);
    bytes.append(QByteArray(17, '\x7f'));
    Write(file, bytes);
    Window b;
    b.Open(file);
    QCOMPARE(b.form.History().size(), std::size_t{30});
    QCOMPARE(b.Page(Page::Play), a.Page(Page::Play));
}

// An opened file is read as its rows are shown: cut short on disk, the
// rows it can no longer give come blank, the window says so once its event
// is over and lets go of the file, as if none had been opened.
void FileCommandsTest::aFileChangedWhileOpenIsClosedWithAMessage() {
    Window a(8);
    a.Start(40000, 2);
    const QString file = Path(QStringLiteral("open.sim"));
    a.Save(file);
    Window b;
    b.Open(file);
    QCOMPARE(b.Rows(Page::Play), std::size_t{40000});
    QCOMPARE(b.Cell(Page::Play, 10, 5), a.Cell(Page::Play, 10, 5));
    QVERIFY(QFile::resize(file, 12 + 32 * 100));
    QCOMPARE(b.Cell(Page::Play, 39999, 0), QStringLiteral("0"));
    QCOMPARE(b.Cell(Page::Play, 39998, 0), QStringLiteral("0"));
    QVERIFY(b.services.boxes.empty());
    QCoreApplication::processEvents();
    QCOMPARE(b.services.boxes.size(), std::size_t{1});
    QCOMPARE(b.services.boxes[0].text,
             QStringLiteral("開いているファイルが、開いた後で書き換えられたか切り詰められました。表示を閉じました。"
                            "もう一度開いてください。"));
    QVERIFY(b.services.boxes[0].details.contains(QStringLiteral("changed or cut short after it was opened")));
    QCOMPARE(b.Rows(Page::Play), std::size_t{0});
    QVERIFY(b.form.ResultLabel->text().isEmpty());
    QCOMPARE(b.form.StatusText(0), QStringLiteral("シミュレーションファイルを閉じました"));
    // Nothing of it is left to save; a fresh window saves the same.
    b.Save(Path(QStringLiteral("after.sim")));
    Window c;
    c.Save(Path(QStringLiteral("fresh.sim")));
    QCOMPARE(Bytes(Path(QStringLiteral("after.sim"))), Bytes(Path(QStringLiteral("fresh.sim"))));
    // Opened again, it is what is on disk now.
    b.Open(file);
    QCOMPARE(b.Rows(Page::Play), std::size_t{100});
    QCOMPARE(b.services.boxes.size(), std::size_t{1});
}

void FileCommandsTest::gamesNoMachineWritesAreRefusedNamingTheGame() {
    Window w(4);
    w.Start(QStringLiteral("600"), QStringLiteral("3"));
    const QString real = Path(QStringLiteral("real.sim"));
    w.Save(real);
    const QByteArray bytes = Bytes(real);
    const QStringList bb = w.Page(Page::BB);
    const QString label = w.form.ResultLabel->text();
    // The header of a real file and 100 bytes of noise; the real file with
    // game 451's small win one no table holds.
    QByteArray noise = bytes.left(12);
    std::uint32_t x = 12345;
    for (int i = 0; i < 100; ++i) {
        x = x * 1103515245u + 12345u;
        noise.append(static_cast<char>(x >> 24));
    }
    QByteArray late = bytes;
    late[12 + 32 * 450 + 28] = 12;
    const QString noiseFile = Path(QStringLiteral("noise.sim"));
    const QString lateFile = Path(QStringLiteral("late.sim"));
    Write(noiseFile, noise);
    Write(lateFile, late);
    const std::vector<std::pair<QString, QString>> cases = {
        {noiseFile, QStringLiteral("1ゲーム目に、この機械が記録しない値があります。")},
        {lateFile, QStringLiteral("451ゲーム目に、この機械が記録しない値があります。")}};
    for (const auto& [file, text] : cases) {
        w.services.boxes.clear();
        w.Open(file);
        QCOMPARE(w.services.boxes.size(), std::size_t{1});
        QCOMPARE(w.services.boxes[0].caption, QStringLiteral("エラー"));
        QCOMPARE(w.services.boxes[0].text, text);
        QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み中断"));
        QCOMPARE(w.form.History().size(), std::size_t{600});
        QCOMPARE(w.Page(Page::BB), bb);
        QCOMPARE(w.form.ResultLabel->text(), label);
    }
    // The real file itself opens.
    w.services.boxes.clear();
    w.Open(real);
    QVERIFY(w.services.boxes.empty());
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み完了"));
    QCOMPARE(w.form.History().size(), std::size_t{600});
}

void FileCommandsTest::cancelledDialogsEndTheCommand() {
    Window w(4);
    w.Start(QStringLiteral("100"), QStringLiteral("1"));
    w.form.FileOpenMenuClick();  // no answer queued: cancelled
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーション完了"));
    QCOMPARE(w.form.History().size(), std::size_t{100});
    w.form.FileSaveMenuClick();
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーション完了"));
    QVERIFY(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // A cancelled batch makes no run.
    const std::size_t before = w.form.History().size();
    w.Start(QStringLiteral("50"), QStringLiteral("1"), QStringLiteral("3"));
    QCOMPARE(w.form.History().size(), before);
    QVERIFY(w.form.StartButton->isEnabled());
    QVERIFY(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void FileCommandsTest::saveDialogIsSharedWithTheBatch() {
    Window w;
    w.services.saveAnswers.push_back(Path(QStringLiteral("base.sim")));
    w.Start(QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("2"));
    w.Save(Path(QStringLiteral("one.sim")));
    w.form.FileSaveMenuClick();  // cancelled
    QCOMPARE(w.services.saveInitials,
             (QStringList{QStringLiteral("*.sim"), Path(QStringLiteral("base.sim")), Path(QStringLiteral("one.sim"))}));
}

void FileCommandsTest::batchOfTwoAndThree() {
    Window w(6);
    QList<int> progress;
    connect(w.form.ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) { progress << v; });
    const QString shown = w.form.ResultLabel->text();
    w.services.saveAnswers.push_back(Path(QStringLiteral("b.sim")));
    w.Start(QStringLiteral("100"), QStringLiteral("3"), QStringLiteral("2"));
    QCOMPARE(progress, (QList<int>{50, 100}));
    for (const char* name : {"b3_100_1.sim", "b3_100_2.sim"})
        QCOMPARE(Bytes(Path(QString::fromLatin1(name))).size(), 3212);
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルに保存完了"));
    QVERIFY(w.form.StartButton->isEnabled());
    QCOMPARE(w.form.ResultLabel->text(), shown);  // nothing presented
    QCOMPARE(w.form.Model(Page::Play)->rowCount(), 0);
    // The last run is what a save writes now.
    w.Save(Path(QStringLiteral("last.sim")));
    QCOMPARE(Bytes(Path(QStringLiteral("last.sim"))), Bytes(Path(QStringLiteral("b3_100_2.sim"))));

    progress.clear();
    w.services.saveAnswers.push_back(Path(QStringLiteral("c.sim")));
    w.Start(QStringLiteral("7"), QStringLiteral("6"), QStringLiteral("3"));
    QCOMPARE(progress, (QList<int>{33, 66, 100}));
    QStringList names = QDir(dir_.path()).entryList({QStringLiteral("c*.sim")}, QDir::Files, QDir::Name);
    QCOMPARE(names, (QStringList{"c6_7_1.sim", "c6_7_2.sim", "c6_7_3.sim"}));
}

void FileCommandsTest::batchBaseNamesWithDotsInFoldersAndWithoutDots() {
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("old.runs")));
    Window w(2);
    w.services.saveAnswers.push_back(Path(QStringLiteral("old.runs/b.sim")));
    w.Start(QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("2"));
    QVERIFY(QFile::exists(Path(QStringLiteral("old.runs/b1_5_1.sim"))));
    QVERIFY(QFile::exists(Path(QStringLiteral("old.runs/b1_5_2.sim"))));
    w.services.saveAnswers.push_back(Path(QStringLiteral("old.runs/plain")));
    w.Start(QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("2"));
    QVERIFY(QFile::exists(Path(QStringLiteral("old.runs/plain1_5_1"))));
    QVERIFY(QFile::exists(Path(QStringLiteral("old.runs/plain1_5_2"))));
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルに保存完了"));
}

void FileCommandsTest::batchIntoAMissingFolder() {
    Window w;
    w.services.saveAnswers.push_back(Path(QStringLiteral("nowhere/b.sim")));
    w.Start(QStringLiteral("20"), QStringLiteral("1"), QStringLiteral("3"));
    QCOMPARE(w.form.StatusText(0), QStringLiteral("エラーにより強制終了しました。"));
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    const QString file = Path(QStringLiteral("nowhere/b1_20_1.sim"));
    const std::string box =
        CheckFileBox(w.services.boxes[0],
                     {QStringLiteral("シミュレーションファイルに保存できませんでした。"),
                      QStringLiteral("ファイル: ") + file, QStringLiteral("新しいファイルを作れませんでした。"),
                      QStringLiteral("指定したフォルダーまたはファイルがありません。")},
                     file, QString::fromUtf8(std::strerror(ENOENT)));
    QVERIFY2(box.empty(), box.c_str());
    QVERIFY(w.form.StartButton->isEnabled());
    QCOMPARE(w.form.History().size(), std::size_t{20});  // only the first run was made
    QCOMPARE(w.form.Machine().playCount, 20);
}

void FileCommandsTest::failedSaveKeepsTheOldFileAndSaysSo() {
    Window w(5);
    w.Start(QStringLiteral("100"), QStringLiteral("1"));
    const QString file = Path(QStringLiteral("keep.sim"));
    w.Save(file);
    const QByteArray old = Bytes(file);
    w.Start(QStringLiteral("50000"), QStringLiteral("1"));

    // A file-size limit makes the write fail part-way, as a full disk would.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100000;
    setrlimit(RLIMIT_FSIZE, &small);
    w.Save(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    QCOMPARE(Bytes(file), old);
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    const QString tooLarge = QString::fromUtf8(std::strerror(EFBIG));
    const std::string saveBox = CheckFileBox(
        w.services.boxes[0],
        {QStringLiteral("シミュレーションファイルに保存できませんでした。"), QStringLiteral("ファイル: ") + file,
         QStringLiteral("書き込みの途中で失敗しました。"), QStringLiteral("ファイルが大きすぎます。")},
        file, tooLarge);
    QVERIFY2(saveBox.empty(), saveBox.c_str());
    QVERIFY(w.form.StatusText(0) != QStringLiteral("シミュレーションファイルに保存完了"));
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.sim")});

    // The same in a batch: it stops, the files before stay whole. The games
    // edit changed while the window handles its events during run 1 makes
    // run 2's file too big for the limit.
    small.rlim_cur = 5000;
    setrlimit(RLIMIT_FSIZE, &small);
    signal(SIGXFSZ, SIG_IGN);
    w.services.boxes.clear();
    w.services.saveAnswers.push_back(Path(QStringLiteral("f.sim")));
    QTimer::singleShot(0, &w.form, [&] { w.form.PlayNumEdit->setText(QStringLiteral("200")); });
    w.Start(QStringLiteral("100"), QStringLiteral("1"), QStringLiteral("3"));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    QCOMPARE(w.form.StatusText(0), QStringLiteral("エラーにより強制終了しました。"));
    QCOMPARE(w.services.boxes.size(), std::size_t{1});
    const QString second = Path(QStringLiteral("f1_200_2.sim"));
    const std::string batchBox = CheckFileBox(
        w.services.boxes[0],
        {QStringLiteral("シミュレーションファイルに保存できませんでした。"), QStringLiteral("ファイル: ") + second,
         QStringLiteral("書き込みの途中で失敗しました。"), QStringLiteral("ファイルが大きすぎます。")},
        second, tooLarge);
    QVERIFY2(batchBox.empty(), batchBox.c_str());
    QCOMPARE(Bytes(Path(QStringLiteral("f1_100_1.sim"))).size(), 3212);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("f1_100_1.sim"), QStringLiteral("keep.sim")}));
    QVERIFY(w.form.StartButton->isEnabled());
}

// Play数 edited during a batch into what no run can take, out of range or
// no number at all: either way the batch stops after the files written so
// far, the status says so and the box names the value.
void FileCommandsTest::batchStoppedByAnEditSaysWhy() {
    for (const auto& [games, says] :
         {std::pair{"0", "Play数は、1以上にしてください。"}, std::pair{"abc", "'abc' は整数ではありません"}}) {
        Window w(3);
        w.services.saveAnswers.push_back(Path(QStringLiteral("e.sim")));
        QTimer::singleShot(0, &w.form, [&, games = games] { w.form.PlayNumEdit->setText(QString::fromLatin1(games)); });
        w.Start(QStringLiteral("100"), QStringLiteral("1"), QStringLiteral("3"));
        QCOMPARE(w.form.StatusText(0), QStringLiteral("エラーにより強制終了しました。"));
        QCOMPARE(w.services.boxes.size(), std::size_t{1});
        QCOMPARE(w.services.boxes[0].text, QString::fromUtf8(says));
        QVERIFY(QFileInfo::exists(Path(QStringLiteral("e1_100_1.sim"))));
        QVERIFY(!QFileInfo::exists(Path(QStringLiteral("e2_100_1.sim"))));
        QVERIFY(w.form.StartButton->isEnabled());
        QFile::remove(Path(QStringLiteral("e1_100_1.sim")));
    }
}

// Saving onto what is not a plain writable file behaves as morvane-sim does.
// Each case runs in a fresh run of this program (a fork of the running test
// could inherit a lock of another Qt thread): as `nobody` where permissions
// matter, and so that a file-size limit at its default action cannot end
// the suite.
namespace {

constexpr const char* kCaseVariable = "MORVANE_WINDOW_SAVE_CASE";
constexpr const char* kDirVariable = "MORVANE_WINDOW_SAVE_DIR";

struct WindowSaveCase {
    const char* name;
    bool unprivileged;
    std::function<std::string(const QString& dir)> run;
};

QString In(const QString& dir, const char* name) { return dir + QLatin1Char('/') + QString::fromUtf8(name); }

// The box a failed save shows, checked; "" when it is as it should be.
std::string CheckFailedSave(Window& w, const QString& file, const QString& step, const QString& reason,
                            const QString& japanese) {
    test::Checks c;
    c.Expect(w.services.boxes.size() == 1, std::to_string(w.services.boxes.size()) + " boxes");
    if (!w.services.boxes.empty()) {
        const std::string box = CheckFileBox(w.services.boxes[0],
                                             {QStringLiteral("シミュレーションファイルに保存できませんでした。"),
                                              QStringLiteral("ファイル: ") + file, step, japanese},
                                             file, reason);
        c.Expect(box.empty(), box);
    }
    c.Expect(w.form.StatusText(0) != QStringLiteral("シミュレーションファイルに保存完了"), "status says saved");
    return c.Failures();
}

const WindowSaveCase kWindowSaves[] = {
    {"symbolic link", false,
     [](const QString& dir) {
         test::Checks c;
         Write(In(dir, "real.sim"), "old");
         std::filesystem::create_symlink("real.sim", In(dir, "link.sim").toStdString());
         Window w(5);
         w.Start(100, 1);
         w.Save(In(dir, "link.sim"));
         w.Save(In(dir, "plain.sim"));
         c.Expect(w.services.boxes.empty(), "an error box");
         c.Expect(QFileInfo(In(dir, "link.sim")).isSymLink(), "link replaced");
         c.Expect(Bytes(In(dir, "real.sim")) == Bytes(In(dir, "plain.sim")), "linked file not written");
         c.Expect(w.form.StatusText(0) == QStringLiteral("シミュレーションファイルに保存完了"), "status");
         return c.Failures();
     }},
    {"read-only file", true,
     [](const QString& dir) {
         test::Checks c;
         const QString file = In(dir, "locked.sim");
         Write(file, "old");
         QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
         Window w(5);
         w.Start(100, 1);
         w.Save(file);
         const std::string box = CheckFailedSave(
             w, file, QStringLiteral("ファイルに書き込めませんでした。"), QString::fromUtf8(std::strerror(EACCES)),
             QStringLiteral("このファイルまたはフォルダーに書き込む権限がありません。"));
         c.Expect(box.empty(), box);
         c.Expect(Bytes(file) == "old", "read-only file replaced");
         c.Expect(QDir(dir).entryList(QDir::Files | QDir::Hidden) == QStringList{QStringLiteral("locked.sim")},
                  "stray files");
         return c.Failures();
     }},
    {"a file in a folder that takes no new file", false,
     [](const QString&) {
         // /proc/self/comm is there; the temporary file beside it cannot be.
         test::Checks c;
         Window w(5);
         w.Start(100, 1);
         w.Save(QStringLiteral("/proc/self/comm"));
         // The cause's number is the temporary file's: only the step is said.
         c.Expect(w.services.boxes.size() == 1, std::to_string(w.services.boxes.size()) + " boxes");
         if (!w.services.boxes.empty()) {
             const auto& box = w.services.boxes[0];
             c.Expect(box.text == QStringLiteral("シミュレーションファイルに保存できませんでした。\n"
                                                 "ファイル: /proc/self/comm\n"
                                                 "保存先のフォルダー「/proc/self/」に一時ファイルを作れません。"),
                      "text " + box.text.toStdString());
             c.Expect(box.details.contains(QStringLiteral("cannot create a temporary file in /proc/self/")),
                      "details " + box.details.toStdString());
         }
         return c.Failures();
     }},
    {"full file system", false,
     [](const QString& dir) {
         // As `ulimit -f` leaves it: SIGXFSZ at its default action.
         test::Checks c;
         const QString file = In(dir, "keep.sim");
         Window w(5);
         w.Start(100, 1);
         w.Save(file);
         const QByteArray old = Bytes(file);
         w.Start(50000, 1);
         ::signal(SIGXFSZ, SIG_DFL);
         rlimit small{};
         getrlimit(RLIMIT_FSIZE, &small);
         small.rlim_cur = 100000;
         setrlimit(RLIMIT_FSIZE, &small);
         w.Save(file);
         const std::string box =
             CheckFailedSave(w, file, QStringLiteral("書き込みの途中で失敗しました。"),
                             QString::fromUtf8(std::strerror(EFBIG)), QStringLiteral("ファイルが大きすぎます。"));
         c.Expect(box.empty(), box);
         c.Expect(!old.isEmpty() && Bytes(file) == old, "old file not whole");
         c.Expect(QDir(dir).entryList(QDir::Files | QDir::Hidden) == QStringList{QStringLiteral("keep.sim")},
                  "stray files");
         return c.Failures();
     }},
};

}  // namespace

void FileCommandsTest::saveOntoSpecialTargets_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < static_cast<int>(std::size(kWindowSaves)); ++i) QTest::newRow(kWindowSaves[i].name) << i;
}

void FileCommandsTest::saveOntoSpecialTargets() {
    QFETCH(int, index);
    const WindowSaveCase& t = kWindowSaves[index];
    if (t.unprivileged) test::OpenToNobody(dir_.path().toStdString());
    // Everything the child needs is made before it exists.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back(std::string(kCaseVariable) + "=" + std::to_string(index));
    env.push_back(std::string(kDirVariable) + "=" + dir_.path().toStdString());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = QCoreApplication::applicationFilePath().toStdString();
    char* argv[] = {self.data(), nullptr};
    const test::ChildOutcome o = test::RunInChild(
        [&]() -> std::string {
            ::execve(self.c_str(), argv, envp.data());
            return "exec failed";
        },
        {.unprivileged = t.unprivileged, .deadlineSeconds = 120});
    // What did not hold is on the child's stderr.
    QVERIFY2(o.Passed(), (std::string(t.name) + ": " + o.Describe()).c_str());
}

void FileCommandsTest::windowFilesMatchTheCommandLine() {
    Window w(12345);
    w.services.saveAnswers.push_back(Path(QStringLiteral("w.sim")));
    w.Start(QStringLiteral("8000"), QStringLiteral("?"), QStringLiteral("3"));
    const QByteArray printed = CliRun({"run", "--seed", "12345", "--setting", "?", "--games", "8000", "--runs", "3",
                                       "--out", Path(QStringLiteral("c.sim")).toStdString()});
    QCOMPARE(printed.count('\n'), 3);
    for (const char* suffix : {"5_8000_1.sim", "6_8000_2.sim", "2_8000_3.sim"}) {
        const QByteArray mine = Bytes(Path(QStringLiteral("w") + QString::fromLatin1(suffix)));
        QVERIFY(!mine.isEmpty());
        QCOMPARE(mine, Bytes(Path(QStringLiteral("c") + QString::fromLatin1(suffix))));
    }
    Window single(1);
    single.Start(QStringLiteral("100000"), QStringLiteral("1"));
    single.Save(Path(QStringLiteral("s.sim")));
    CliRun({"run", "--seed", "1", "--setting", "1", "--games", "100000", "--out",
            Path(QStringLiteral("t.sim")).toStdString()});
    QCOMPARE(Bytes(Path(QStringLiteral("s.sim"))), Bytes(Path(QStringLiteral("t.sim"))));
}

void FileCommandsTest::loadedFileSetsTheInputsAndStartReplaysIt() {
    Window a(10);
    a.Start(QStringLiteral("5000"), QStringLiteral("4"));
    const QString file = Path(QStringLiteral("r.sim"));
    a.Save(file);
    Window b(99);
    b.form.SimNumEdit->setText(QStringLiteral("1"));
    b.Open(file);
    QCOMPARE(b.form.PlayNumEdit->text(), QStringLiteral("5000"));
    QCOMPARE(b.form.FlevelComboBox->currentText(), QStringLiteral("4"));
    b.form.StartButton->click();
    QCOMPARE(b.form.Machine().GetFlevel(), 4);
    QCOMPARE(b.form.History().size(), std::size_t{5000});
}

void FileCommandsTest::showPrintsWhatTheWindowShows() {
    const QString file = Path(QStringLiteral("s.sim"));
    CliRun({"run", "--seed", "31", "--setting", "6", "--games", "8000", "--out", file.toStdString()});
    Window w;
    w.Open(file);
    QStringList expected = w.form.ResultLabel->text().split(QLatin1Char('\n'));
    for (Page p : kAllPages) {
        expected << QStringLiteral("# ") + w.form.PageControl1->tabText(static_cast<int>(p));
        QStringList captions;
        for (int c = 0; c < w.form.Model(p)->columnCount(); ++c)
            captions << w.form.Model(p)->headerData(c, Qt::Horizontal).toString();
        expected << captions.join(QLatin1Char('\t'));
        expected << w.Page(p);
    }
    const QByteArray printed = CliRun({"show", "--plays", file.toStdString()});
    QStringList lines = QString::fromUtf8(printed).split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.size(), expected.size());
    QCOMPARE(lines, expected);
}

void FileCommandsTest::refusedOpenAfterABatchKeepsTheRunASaveWrites() {
    Window w(6);
    w.services.saveAnswers.push_back(Path(QStringLiteral("b.sim")));
    w.Start(QStringLiteral("400"), QStringLiteral("5"), QStringLiteral("2"));
    const QString cut = Path(QStringLiteral("cut.sim"));
    Write(cut, Int32s({10, 1}).left(6));
    w.Open(cut);
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み中断"));
    w.Save(Path(QStringLiteral("after.sim")));
    QCOMPARE(Bytes(Path(QStringLiteral("after.sim"))), Bytes(Path(QStringLiteral("b5_400_2.sim"))));
}

void FileCommandsTest::closingTheWindowStopsABatch() {
    Window w(2);
    w.form.show();
    w.services.saveAnswers.push_back(Path(QStringLiteral("x.sim")));
    // Chosen while the window handles its events before run 1's games.
    QTimer::singleShot(0, &w.form, [&] { w.form.findChild<QAction*>(QStringLiteral("FileExitMenu"))->trigger(); });
    w.Start(QStringLiteral("100"), QStringLiteral("1"), QStringLiteral("4"));
    QVERIFY(!w.form.isVisible());
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("x1_100_1.sim")});
    QCOMPARE(w.form.StatusText(0), QStringLiteral("エラーにより強制終了しました。"));
    QVERIFY(!w.form.Busy());
}

void FileCommandsTest::menuItemsAskTheirDialogs() {
    Window w;
    w.form.findChild<QAction*>(QStringLiteral("FileOpenMenu"))->trigger();
    w.form.findChild<QAction*>(QStringLiteral("FileSaveMenu"))->trigger();
    QCOMPARE(w.services.openInitials, QStringList{QStringLiteral("*.sim")});
    QCOMPARE(w.services.saveInitials, QStringList{QStringLiteral("*.sim")});
}

namespace {

// A file dropped on the window as a file manager drops it.
bool Drop(QWidget& target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    QApplication::processEvents();
    return drop.isAccepted();
}

}  // namespace

void FileCommandsTest::givenAndDroppedFilesShowAsOpened() {
    const QString file = Path(QStringLiteral("given.sim"));
    CliRun({"run", "--seed", "41", "--setting", "3", "--games", "6000", "--out", file.toStdString()});
    Window opened;
    opened.Open(file);
    QCOMPARE(opened.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み完了"));

    // `morvane given.sim` started in the file's folder, as the window's
    // start-up does it: shown first, the file opened once events run.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    Window given;
    ShowWindow(given.form, ParseLaunch({QStringLiteral("given.sim"), QStringLiteral("other.sim")}));
    QDir::setCurrent(cwd);
    QVERIFY(given.form.isVisible());
    QCOMPARE(given.form.History().size(), std::size_t{0});  // not before the loop runs
    QTRY_COMPARE(given.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み完了"));

    Window dropped;
    QVERIFY(Drop(dropped.form, {QUrl(QStringLiteral("https://example.com/x.sim")), QUrl::fromLocalFile(file)}));
    QCOMPARE(dropped.form.StatusText(0), QStringLiteral("シミュレーションファイルの読み込み完了"));

    for (Window* w : {&given, &dropped}) {
        QCOMPARE(w->form.PlayNumEdit->text(), QStringLiteral("6000"));
        QCOMPARE(w->form.FlevelComboBox->currentText(), QStringLiteral("3"));
        QCOMPARE(w->form.ResultLabel->text(), opened.form.ResultLabel->text());
        for (Page p : kAllPages) QCOMPARE(w->Page(p), opened.Page(p));
        QVERIFY(w->services.boxes.empty());
        // The open dialog offers the file next, as after a dialog's open.
        w->form.FileOpenMenuClick();
        QCOMPARE(w->services.openInitials, QStringList{file});
    }

    // What the open command says of a file that is no run, it says here too.
    const QString text = Path(QStringLiteral("notes.txt"));
    Write(text, "hello");
    QVERIFY(Drop(dropped.form, {QUrl::fromLocalFile(text)}));
    QCOMPARE(dropped.services.boxes.size(), std::size_t{1});
    QCOMPARE(dropped.services.boxes[0].text, QStringLiteral("このファイルは、Morvaneファイルではありません。"));
    QCOMPARE(dropped.form.ResultLabel->text(), opened.form.ResultLabel->text());
    Window missing;
    ShowWindow(missing.form, ParseLaunch({Path(QStringLiteral("nothing.sim"))}));
    QTRY_COMPARE(missing.services.boxes.size(), std::size_t{1});
    QVERIFY(missing.services.boxes[0].text.startsWith(QStringLiteral("ファイルを開けませんでした。")));
}

void FileCommandsTest::dropIsRefusedWhileBusyOrWithoutAFile() {
    const QString file = Path(QStringLiteral("d.sim"));
    CliRun({"run", "--seed", "5", "--games", "300", "--out", file.toStdString()});
    Window w;
    QVERIFY(!Drop(w.form, {QUrl(QStringLiteral("https://example.com/d.sim"))}));
    // A drop while a run plays would replace the history under it.
    bool refused = false;
    QTimer::singleShot(0, &w.form, [&] { refused = !Drop(w.form, {QUrl::fromLocalFile(file)}); });
    w.Start(QStringLiteral("3000000"), QStringLiteral("1"));
    QVERIFY(refused);
    QCOMPARE(w.form.History().size(), std::size_t{3000000});
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーション完了"));
}

void FileCommandsTest::saveAsksBeforeReplacing() {
    Window w(9);
    w.Start(QStringLiteral("200"), QStringLiteral("2"));
    const QString file = Path(QStringLiteral("kept.sim"));
    Write(file, "an older run");
    w.services.replaceAnswers = {false};
    w.Save(file);
    QCOMPARE(w.services.replaceQuestions, QStringList{file});
    QCOMPARE(Bytes(file), QByteArray("an older run"));
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーション完了"));
    QCOMPARE(w.services.saveInitials.size(), 1);
    w.services.replaceAnswers = {true};
    w.Save(file);
    QCOMPARE(w.services.replaceQuestions.size(), 2);
    QCOMPARE(Bytes(file).size(), 12 + 32 * 200);
    QCOMPARE(w.form.StatusText(0), QStringLiteral("シミュレーションファイルに保存完了"));

    // A new name is not asked about; nor are a batch's files, nor its base
    // name, which is never written.
    w.services.replaceQuestions.clear();
    w.Save(Path(QStringLiteral("new.sim")));
    Write(Path(QStringLiteral("base.sim")), "base");
    Write(Path(QStringLiteral("base2_10_1.sim")), "old");
    w.services.saveAnswers.push_back(Path(QStringLiteral("base.sim")));
    w.Start(QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("2"));
    QCOMPARE(w.services.replaceQuestions, QStringList{});
    QCOMPARE(Bytes(Path(QStringLiteral("base2_10_1.sim"))).size(), 12 + 32 * 10);
    QCOMPARE(Bytes(Path(QStringLiteral("base.sim"))), QByteArray("base"));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (const char* index = std::getenv(kCaseVariable)) {
        // One case of saveOntoSpecialTargets, run for the test above.
        const std::string failures = kWindowSaves[std::atoi(index)].run(QString::fromUtf8(std::getenv(kDirVariable)));
        if (!failures.empty()) std::fprintf(stderr, "%s\n", failures.c_str());
        return failures.empty() ? 0 : 1;
    }
    FileCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "file_commands_test.moc"
