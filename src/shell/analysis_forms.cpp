#include "shell/analysis_forms.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QBarSeries>
#include <QBarSet>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <QValueAxis>

#include "analysis/estimate.h"
#include "analysis/likelihood.h"
#include "analysis/theory.h"
#include "chart/chart_view.h"
#include "present/names.h"
#include "present/number_format.h"
#include "run/memory.h"
#include "shell/fonts.h"
#include "shell/form_input.h"
#include "shell/result_tables.h"
#include "shell/texts.h"

namespace morvane {
namespace {

QString OneIn(double perGame) { return perGame > 0 ? QStringLiteral("1/") + Fixed(1 / perGame, 2) : QStringLiteral("0"); }
QString Name(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A chart of an analysis window: the gradient and title font of the run's charts.
chart::ChartView* MakeChart(QWidget* parent, const QString& title, QSize least) {
    auto* c = new chart::ChartView(parent);
    c->setMinimumSize(least);
    c->SetGradient(Qt::white, QColor(0xC0, 0xC0, 0xC0));
    c->SetTitle(title, JapaneseFont(QStringLiteral("MS UI Gothic"), 12));
    return c;
}

void Fit(QTableWidget* t) {
    t->resizeColumnsToContents();
    for (int c = 0; c < t->columnCount(); ++c) t->setColumnWidth(c, t->columnWidth(c) + 10);
}

// Every cell in sight: the table asks for its columns' width, as far as the
// screen allows, and for its rows' height, plus a scroll bar when the screen
// is too narrow.
void ShowWhole(QTableWidget* t) {
    int width = 2 * t->frameWidth();
    for (int c = 0; c < t->columnCount(); ++c) width += t->columnWidth(c);
    const QScreen* screen = t->screen();
    const int room = screen ? screen->availableGeometry().width() - 80 : width;
    t->setMinimumWidth(std::min(width, room));
    int height = 2 * t->frameWidth() + t->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < t->rowCount(); ++r) height += t->rowHeight(r);
    if (width > room) height += t->horizontalScrollBar()->sizeHint().height();
    t->setFixedHeight(height);
}

}  // namespace

TTheoryForm::TTheoryForm(const std::vector<SettingTheory>& theories, QWidget* parent)
    : QDialog(parent), theories_(theories) {
    setObjectName(QStringLiteral("TheoryForm"));
    setWindowTitle(QStringLiteral("理論値"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    Pages = new QTabWidget(this);
    layout->addWidget(Pages);

    LongRunTable = MakeTable({"設定", "機械割", "BB確率", "継続数平均", "青7", "赤7", "継続A(75%)", "継続B(79%)",
                          "継続C(84%)", "継続D(88%)"},
                         static_cast<int>(theories.size()), Pages);
    QStringList modeColumns{"設定"}, winColumns{"設定"};
    for (std::int32_t m = 0; m < kModes; ++m) modeColumns << Name(ModeName(m));
    for (std::int32_t k = 0; k < 8; ++k) winColumns << Name(KoyakuRateName(k));
    ModeTable = MakeTable(modeColumns, static_cast<int>(theories.size()), Pages);
    WinTable = MakeTable(winColumns, static_cast<int>(theories.size()), Pages);
    auto* runPage = new QWidget(Pages);
    auto* runLayout = new QVBoxLayout(runPage);
    RunCaption = new QLabel(runPage);
    RunTable = MakeTable({"設定", "期待収支(枚)", "期待収支(円)", "BB初当り数", "BB数", "BB初当り数の標準偏差"},
                     static_cast<int>(theories.size()), runPage);
    runLayout->addWidget(RunCaption);
    runLayout->addWidget(RunTable);
    Pages->addTab(LongRunTable, QStringLiteral("機械割・BB"));
    Pages->addTab(ModeTable, QStringLiteral("モード滞在率"));
    Pages->addTab(WinTable, QStringLiteral("小役確率"));
    Pages->addTab(runPage, QStringLiteral("Play数ごとの期待値"));

    for (std::size_t i = 0; i < theories.size(); ++i) {
        const int row = static_cast<int>(i);
        const LongRunFigures& f = theories[i].LongRun();
        const QString setting = QString::number(theories[i].Setting());
        Put(LongRunTable, row, 0, setting);
        Put(LongRunTable, row, 1, Fixed(f.payoutPercent, 2) + QLatin1Char('%'));
        Put(LongRunTable, row, 2, QStringLiteral("1/") + Fixed(f.gamesPerBB, 2));
        Put(LongRunTable, row, 3, Fixed(f.setsPerBB, 2));
        Put(LongRunTable, row, 4, Percent(f.kindShare[0]));
        Put(LongRunTable, row, 5, Percent(f.kindShare[1]));
        for (int k = 0; k < kKModes; ++k) Put(LongRunTable, row, 6 + k, Percent(f.kmodeShare[static_cast<std::size_t>(k)]));
        Put(ModeTable, row, 0, setting);
        for (int m = 0; m < kModes; ++m) Put(ModeTable, row, 1 + m, Percent(f.modeShare[static_cast<std::size_t>(m)]));
        Put(WinTable, row, 0, setting);
        for (int k = 0; k < 8; ++k) Put(WinTable, row, 1 + k, OneIn(f.koyakuPerGame[static_cast<std::size_t>(k)]));
    }
    Fit(LongRunTable);
    Fit(ModeTable);
    Fit(WinTable);
    resize(760, 240);
}

void TTheoryForm::ShowFor(std::int64_t games) {
    RunCaption->setText(QStringLiteral("Play数 %1 の期待値（設定変更直後から）").arg(games));
    for (std::size_t i = 0; i < theories_.size(); ++i) {
        const int row = static_cast<int>(i);
        const RunExpectation e = theories_[i].ExpectedRun(games);
        Put(RunTable, row, 0, QString::number(theories_[i].Setting()));
        Put(RunTable, row, 1, Fixed(e.balance, 1));
        Put(RunTable, row, 2, Fixed(e.balance * 20, 0) + QStringLiteral("円"));
        Put(RunTable, row, 3, Fixed(e.bbGames, 2));
        Put(RunTable, row, 4, Fixed(e.sets, 2));
        Put(RunTable, row, 5, Fixed(std::sqrt(std::max(0.0, e.bbGamesVariance)), 2));
    }
    Fit(RunTable);
    show();
    raise();
    activateWindow();
}

TEstimateForm::TEstimateForm(const std::vector<SettingTheory>& theories, QWidget* parent)
    : QDialog(parent), theories_(theories) {
    setObjectName(QStringLiteral("EstimateForm"));
    setWindowTitle(QStringLiteral("設定推測"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    Seen = new QLabel(this);
    Seen->setWordWrap(true);
    layout->addWidget(Seen);
    Chart = MakeChart(this, QStringLiteral("設定ごとの確率"), {420, 220});
    layout->addWidget(Chart);
    Table = MakeTable({"設定", "確率", "対数尤度", "回数のみの確率"}, static_cast<int>(theories.size()), this);
    Table->setMaximumHeight(18 * 7 + 8);
    layout->addWidget(Table);
    resize(520, 470);
}

void TEstimateForm::ClearChart() {
    QChart* c = Chart->chart();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
}

void TEstimateForm::ShowFor(const PlayHistory& history) {
    const Observations seen = ObserveHistory(history);
    probabilities_.clear();
    countProbabilities_.clear();
    ClearChart();
    QChart* c = Chart->chart();
    const ExactEstimate exact = EstimateSettingExactly(history.Records());
    if (seen.games == 0) {
        Seen->setText(QStringLiteral("推測するプレイがありません。シミュレーションを実行するか、ファイルを開いてください。"));
        Table->clearContents();
    } else if (exact.problem) {
        const qulonglong game = exact.problemGame + 1;
        Seen->setText(exact.unrecordable
                          ? QStringLiteral("%1ゲーム目に、この機械が記録しない値があります。推測できません。").arg(game)
                          : QStringLiteral("このプレイは、どの設定でも起こり得ません（%1ゲーム目）。推測できません。").arg(game));
        Table->clearContents();
    } else {
        QStringList wins;
        for (std::int32_t k = 0; k < 8; ++k) {
            wins << Name(KoyakuRateName(k)) + QLatin1Char(':') + QString::number(seen.smallWins[static_cast<std::size_t>(k)]);
        }
        Seen->setText(QStringLiteral("Play数:%1　BB初当り数:%2\n%3\n%4")
                          .arg(seen.games)
                          .arg(seen.bbGames)
                          .arg(wins.mid(0, 4).join(QStringLiteral("　")), wins.mid(4).join(QStringLiteral("　"))));
        const SettingPosterior& post = exact.posterior;
        const SettingPosterior counted = EstimateSetting(theories_, seen);
        auto* set = new QBarSet(QStringLiteral("確率"));
        set->setColor(QColor(0xFF, 0x8E, 0x8E));
        set->setBorderColor(Qt::white);
        QStringList settings;
        for (std::size_t i = 0; i < post.probability.size(); ++i) {
            probabilities_.push_back(post.probability[i]);
            *set << post.probability[i] * 100;
            settings << QStringLiteral("設定%1").arg(i + 1);
            Put(Table, static_cast<int>(i), 0, QString::number(i + 1));
            Put(Table, static_cast<int>(i), 1, Fixed(post.probability[i] * 100, 2) + QLatin1Char('%'));
            const double ll = post.logLikelihood[i];
            Put(Table, static_cast<int>(i), 2, std::isinf(ll) ? QStringLiteral("-∞") : Fixed(ll, 3));
            countProbabilities_.push_back(counted.probability[i]);
            Put(Table, static_cast<int>(i), 3, Fixed(counted.probability[i] * 100, 2) + QLatin1Char('%'));
        }
        auto* series = new QBarSeries;
        series->append(set);
        series->setLabelsVisible(true);
        series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
        series->setLabelsFormat(QStringLiteral("@value%"));
        series->setLabelsPrecision(4);
        set->setLabelColor(Qt::black);
        c->addSeries(series);
        auto* x = new QBarCategoryAxis;
        x->append(settings);
        x->setLabelsFont(MainFont());
        auto* y = new QValueAxis;
        y->setRange(0, 110);
        y->setTickType(QValueAxis::TicksDynamic);
        y->setTickAnchor(0);
        y->setTickInterval(20);
        y->setLabelFormat(QStringLiteral("%d%%"));
        y->setLabelsFont(MainFont());
        c->addAxis(x, Qt::AlignBottom);
        c->addAxis(y, Qt::AlignLeft);
        series->attachAxis(x);
        series->attachAxis(y);
        Fit(Table);
    }
    show();
    raise();
    activateWindow();
}

namespace {
// The rows of the spread's text that the table shows, in its order.
constexpr int kFirstQuantityLine = 5;
const QStringList kQuantityNames{"収支(枚)", "収支(円)", "機械割(%)", "BB初当り数", "BB数", "最大下落幅(枚)"};
constexpr int kHistogramBins = 40;
}  // namespace

TSpreadForm::TSpreadForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SpreadForm"));
    setWindowTitle(QStringLiteral("分布"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    auto* inputs = new QHBoxLayout;
    PlayNumEdit = new QLineEdit(QStringLiteral("8000"), this);
    FlevelComboBox = new QComboBox(this);
    for (int i = kMinSetting; i <= kMaxSetting; ++i) FlevelComboBox->addItem(QString::number(i));
    SessionsEdit = new QLineEdit(QStringLiteral("10000"), this);
    StartButton = new QPushButton(QStringLiteral("開始"), this);
    StopButton = new QPushButton(QStringLiteral("中止"), this);
    StopButton->setEnabled(false);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Play数"), PlayNumEdit);
    form->addRow(QStringLiteral("設定"), FlevelComboBox);
    form->addRow(QStringLiteral("セッション数"), SessionsEdit);
    inputs->addLayout(form);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addStretch();
    inputs->addLayout(buttons);
    inputs->addStretch();
    layout->addLayout(inputs);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    layout->addWidget(ProgressBar);
    StatusLabel = new QLabel(this);
    StatusLabel->setWordWrap(true);
    layout->addWidget(StatusLabel);
    Chart = MakeChart(this, QStringLiteral("最終収支の分布"), {560, 260});
    layout->addWidget(Chart);
    QStringList columns{"項目", "平均", "標準偏差", "標準誤差", "最小"};
    for (int p : kSpreadPercentiles) columns << QStringLiteral("%1%").arg(p);
    columns << QStringLiteral("最大");
    Table = MakeTable(columns, static_cast<int>(kQuantityNames.size()), this);
    for (int row = 0; row < kQuantityNames.size(); ++row) Put(Table, row, 0, kQuantityNames[row]);
    Fit(Table);
    ShowWhole(Table);
    layout->addWidget(Table);
    poll_ = new QTimer(this);
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &TSpreadForm::Poll);
    connect(StartButton, &QPushButton::clicked, this, &TSpreadForm::StartButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TSpreadForm::StopButtonClick);
    resize(900, 560);
}

TSpreadForm::~TSpreadForm() {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
}

void TSpreadForm::closeEvent(QCloseEvent* e) {
    // A closed window plays on for no one.
    StopButtonClick();
    QDialog::closeEvent(e);
}

void TSpreadForm::SetSeed(std::uint32_t seed) { seed_ = seed; }

void TSpreadForm::StartButtonClick() {
    if (Running()) return;
    SpreadRequest r;
    try {
        r.games = ToInt(PlayNumEdit->text());
        if (r.games < 1) throw InputError{texts::kGamesBelowOne};
        r.sessions = ToInt(SessionsEdit->text());
        if (r.sessions < 1) throw InputError{QStringLiteral("セッション数は、1以上にしてください。")};
    } catch (const InputError& e) {
        StatusLabel->setText(e.message);
        return;
    } catch (const ConversionError& e) {
        StatusLabel->setText(QString::fromStdString(e.what()));
        return;
    }
    r.setting = FlevelComboBox->currentIndex() + kMinSetting;
    r.seed = seed_ ? *seed_ : static_cast<std::uint32_t>(QDateTime::currentSecsSinceEpoch());
    // Checked before the tallies are touched: past the memory, Linux ends
    // the program instead of refusing the allocation.
    const QString tooMany = QStringLiteral("メモリが足りません。セッション数を減らしてください。");
    if (const std::uint64_t available = AvailableMemoryBytes();
        available != 0 && SpreadBytes(r.sessions, false) > UsableHistoryBytes(available)) {
        StatusLabel->setText(tooMany);
        return;
    }
    try {
        tallies_.assign(static_cast<std::size_t>(r.sessions), SessionTally{});
    } catch (const std::bad_alloc&) {
        StatusLabel->setText(tooMany);
        return;
    }
    request_ = r;
    done_ = 0;
    stop_ = false;
    finished_ = false;
    ProgressBar->setValue(0);
    StatusLabel->setText(QStringLiteral("実行中・・・"));
    StartButton->setEnabled(false);
    StopButton->setEnabled(true);
    worker_ = std::jthread([this] {
        completed_ = PlaySpread(request_, 0, tallies_, &done_, &stop_);
        finished_ = true;
    });
    poll_->start();
}

void TSpreadForm::StopButtonClick() {
    if (!Running()) return;
    stop_ = true;
    worker_.join();
    Finish();
}

void TSpreadForm::Poll() {
    if (!Running()) return;
    ProgressBar->setValue(static_cast<int>(done_.load() * 100 / request_.sessions));
    if (finished_.load()) {
        worker_.join();
        Finish();
    }
}

void TSpreadForm::Finish() {
    poll_->stop();
    StartButton->setEnabled(true);
    StopButton->setEnabled(false);
    if (!completed_) {
        StatusLabel->setText(QStringLiteral("中止しました。"));
        return;
    }
    ProgressBar->setValue(100);
    summary_ = Summarise(request_, tallies_);
    Present();
}

void TSpreadForm::Present() {
    const SpreadRequest& r = request_;
    StatusLabel->setText(QStringLiteral("設定%1　Play数 %2 × %3 回（種 %4）　収支プラス %5 回 (%6%)")
                             .arg(r.setting)
                             .arg(r.games)
                             .arg(r.sessions)
                             .arg(r.seed)
                             .arg(summary_.ahead)
                             .arg(Fixed(100.0 * static_cast<double>(summary_.ahead) / r.sessions, 2)));
    // The very figures morvane-sim spread prints.
    const QStringList lines = QString::fromStdString(SpreadText(summary_)).split(QLatin1Char('\n'));
    for (int row = 0; row < kQuantityNames.size(); ++row) {
        const QStringList f = lines.value(kFirstQuantityLine + row).split(QLatin1Char('\t'));
        Put(Table, row, 0, kQuantityNames[row]);
        for (int c = 1; c < f.size(); ++c) Put(Table, row, c, f[c]);
    }
    Fit(Table);
    ShowWhole(Table);

    QChart* c = Chart->chart();
    c->removeAllSeries();
    for (QAbstractAxis* a : c->axes()) {
        c->removeAxis(a);
        delete a;
    }
    const BalanceHistogram h = HistogramOfBalance(tallies_, kHistogramBins);
    auto* upper = new QLineSeries;
    std::int64_t most = 0;
    for (std::size_t i = 0; i < h.counts.size(); ++i) {
        const double x0 = static_cast<double>(h.low + static_cast<std::int64_t>(i) * h.width);
        const auto n = static_cast<double>(h.counts[i]);
        upper->append(x0, n);
        upper->append(x0 + static_cast<double>(h.width), n);
        most = std::max(most, h.counts[i]);
    }
    auto* area = new QAreaSeries(upper);
    area->setName(QStringLiteral("セッション数"));
    area->setColor(QColor(0xFF, 0x8E, 0x8E));
    area->setBorderColor(QColor(0xC0, 0x40, 0x40));
    c->addSeries(area);
    c->legend()->hide();
    // Round ticks: the bins' edges are round too.
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("最終収支(枚)"));
    x->setLabelFormat(QStringLiteral("%d"));
    const double right = static_cast<double>(h.low + static_cast<std::int64_t>(h.counts.size()) * h.width);
    chart::SetRangeWithTicks(x, static_cast<double>(h.low), right, 8, static_cast<double>(h.width));
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("セッション数"));
    y->setLabelFormat(QStringLiteral("%d"));
    chart::SetRangeWithTicks(y, 0, static_cast<double>(most) * 1.1 + 1, 5, 1);
    for (QValueAxis* a : {x, y}) {
        a->setLabelsFont(MainFont());
        a->setTitleFont(MainFont());
    }
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);
    area->attachAxis(x);
    area->attachAxis(y);
}

}  // namespace morvane
