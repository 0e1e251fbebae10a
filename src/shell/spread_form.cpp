#include "shell/spread_form.h"

#include <QAreaSeries>
#include <QChart>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "chart/builders.h"
#include "chart/chart_view.h"
#include "present/names.h"
#include "present/number_format.h"
#include "sessions/spread_report.h"
#include "shell/fonts.h"
#include "shell/form_input.h"
#include "shell/job_runner.h"
#include "shell/result_tables.h"
#include "shell/texts.h"

namespace morvane {
namespace {
// The report's quantities, in its order.
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
    Fit(Table, 6);
    ShowWhole(Table);
    Table->installEventFilter(this);
    layout->addWidget(Table);
    EndsLabel = new QLabel(this);
    EndsLabel->setObjectName(QStringLiteral("EndsLabel"));
    EndsLabel->setWordWrap(true);
    EndsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(EndsLabel);
    runner_ = new TJobRunner(this);
    connect(runner_, &TJobRunner::progress, this, [this](std::int64_t done, std::int64_t total) {
        ProgressBar->setValue(static_cast<int>(done * 100 / total));
    });
    connect(runner_, &TJobRunner::finished, this, &TSpreadForm::Finish);
    connect(StartButton, &QPushButton::clicked, this, &TSpreadForm::StartButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TSpreadForm::StopButtonClick);
    connect(PlayNumEdit, &QLineEdit::textChanged, this, &TSpreadForm::InputsChanged);
    connect(SessionsEdit, &QLineEdit::textChanged, this, &TSpreadForm::InputsChanged);
    connect(FlevelComboBox, &QComboBox::currentIndexChanged, this, &TSpreadForm::InputsChanged);
    resize(900, 600);
}

void TSpreadForm::closeEvent(QCloseEvent* e) {
    // A closed window plays on for no one.
    StopButtonClick();
    QDialog::closeEvent(e);
}

void TSpreadForm::reject() {
    StopButtonClick();
    QDialog::reject();
}

bool TSpreadForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Table && e->type() == QEvent::Resize) FitColumns();
    return QDialog::eventFilter(watched, e);
}

void TSpreadForm::SetSeed(std::uint32_t seed) { seed_ = seed; }

bool TSpreadForm::Running() const { return runner_->Running(); }

void TSpreadForm::StartButtonClick() {
    if (Running()) return;
    SpreadRequest r;
    try {
        r.games = ToInt(PlayNumEdit->text());
        if (r.games < 1) throw InputError{texts::kGamesBelowOne};
        r.sessions = ToInt(SessionsEdit->text());
        if (r.sessions < 1) throw InputError{QStringLiteral("セッション数は、1以上にしてください。")};
    } catch (const InputError& e) {
        ClearResults();
        StatusLabel->setText(e.message);
        return;
    } catch (const ConversionError& e) {
        ClearResults();
        StatusLabel->setText(QString::fromStdString(e.what()));
        return;
    }
    r.setting = FlevelComboBox->currentIndex() + kMinSetting;
    r.seed = seed_ ? *seed_ : static_cast<std::uint32_t>(QDateTime::currentSecsSinceEpoch());
    // Checked before the tallies are touched: past the memory, Linux ends
    // the program instead of refusing the allocation.
    const QString tooMany = QStringLiteral("メモリが足りません。セッション数を減らしてください。");
    if (!CheckSpreadRoom(r, false).fits) {
        ClearResults();
        StatusLabel->setText(tooMany);
        return;
    }
    std::shared_ptr<SpreadJob> job;
    try {
        job = std::make_shared<SpreadJob>(r, 0);
    } catch (const std::bad_alloc&) {
        ClearResults();
        StatusLabel->setText(tooMany);
        return;
    }
    fresh_ = false;
    ProgressBar->setValue(0);
    MarkStale(true);
    StatusLabel->setText(shown_ ? QStringLiteral("実行中・・・　下の図表は前回の%1の結果です。").arg(ShownInputs())
                                : QStringLiteral("実行中・・・"));
    StartButton->setEnabled(false);
    StopButton->setEnabled(true);
    runner_->Start(std::move(job));
}

void TSpreadForm::StopButtonClick() {
    if (!Running()) return;
    runner_->Stop();
    Finish(false);
}

void TSpreadForm::Finish(bool completed) {
    StartButton->setEnabled(true);
    StopButton->setEnabled(false);
    if (!completed) {
        // The bar shows this run's share, and this run left nothing.
        ProgressBar->setValue(0);
        StatusLabel->setText(shown_ ? QStringLiteral("中止しました。下の図表は前回の%1の結果です。").arg(ShownInputs())
                                    : QStringLiteral("中止しました。"));
        return;
    }
    ProgressBar->setValue(100);
    result_ = runner_->Current<SpreadJob>()->Result(kHistogramBins);
    Present();
}

// A refused input leaves no figures of an earlier spread that could be
// taken for its answer.
void TSpreadForm::ClearResults() {
    for (int row = 0; row < Table->rowCount(); ++row)
        for (int c = 1; c < Table->columnCount(); ++c) Put(Table, row, c, QString());
    chart::ClearChart(Chart->chart());
    EndsLabel->clear();
    ProgressBar->setValue(0);
    shown_ = false;
    MarkStale(false);
}

// The figures' columns share the table's width: as wide as their contents,
// with the room left spread among them, so that a result never widens the
// window; a window made narrower than the figures scrolls instead.
void TSpreadForm::FitColumns() {
    Table->resizeColumnsToContents();
    const int columns = Table->columnCount();
    int width = 0;
    for (int c = 0; c < columns; ++c) width += Table->columnWidth(c);
    const int room = Table->width() - 2 * Table->frameWidth();
    if (room > width) {
        const int extra = room - width;
        for (int c = 0; c < columns; ++c)
            Table->setColumnWidth(c, Table->columnWidth(c) + extra / columns + (c < extra % columns ? 1 : 0));
    }
    int height = 2 * Table->frameWidth() + Table->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < Table->rowCount(); ++r) height += Table->rowHeight(r);
    if (width > room) height += Table->horizontalScrollBar()->sizeHint().height();
    Table->setFixedHeight(height);
}

QString TSpreadForm::ShownInputs() const {
    const SpreadRequest& r = result_.summary.request;
    return QStringLiteral("設定%1・Play数 %2 × %3 回（シード %4）")
        .arg(r.setting)
        .arg(r.games)
        .arg(r.sessions)
        .arg(r.seed);
}

bool TSpreadForm::InputsAreShown() const {
    const SpreadRequest& r = result_.summary.request;
    return PlayNumEdit->text().trimmed() == QString::number(r.games) &&
           SessionsEdit->text().trimmed() == QString::number(r.sessions) &&
           FlevelComboBox->currentIndex() + kMinSetting == r.setting;
}

void TSpreadForm::MarkStale(bool stale) {
    stale_ = stale;
    ShowAsStale(Table, stale);
    // Recoloured, the chart left as it is laid out.
    for (QAbstractSeries* series : Chart->chart()->series())
        if (auto* area = qobject_cast<QAreaSeries*>(series)) {
            area->setColor(stale ? QColor(0xC8, 0xC8, 0xC8) : QColor(0xFF, 0x8E, 0x8E));
            area->setBorderColor(stale ? QColor(0x90, 0x90, 0x90) : QColor(0xC0, 0x40, 0x40));
        }
    EndsLabel->setEnabled(!stale);
}

// Figures stay in sight under other inputs only with the inputs they are of.
void TSpreadForm::InputsChanged() {
    if (!shown_ || Running()) return;
    if (fresh_ && InputsAreShown()) {
        MarkStale(false);
        StatusLabel->setText(summary_);
        return;
    }
    MarkStale(true);
    StatusLabel->setText(
        QStringLiteral("下の図表は%1の結果です。開始を押すと、いまの入力で計算します。").arg(ShownInputs()));
}

void TSpreadForm::Present() {
    const SpreadRequest& r = result_.summary.request;
    summary_ = QStringLiteral("設定%1　Play数 %2 × %3 回（シード %4）　収支プラス %5 回 (%6%)")
                   .arg(r.setting)
                   .arg(r.games)
                   .arg(r.sessions)
                   .arg(r.seed)
                   .arg(result_.summary.ahead)
                   .arg(Fixed(100.0 * static_cast<double>(result_.summary.ahead) / r.sessions, 2));
    StatusLabel->setText(summary_);
    // morvane-sim spread's figures, rounded for reading so that every
    // column is in sight.
    const SpreadReport report = BuildSpreadReport(result_.summary, 1);
    for (int row = 0; row < kQuantityNames.size(); ++row) {
        Put(Table, row, 0, kQuantityNames[row]);
        const std::vector<std::string>& cells = report.quantities[static_cast<std::size_t>(row)].cells;
        for (std::size_t c = 0; c < cells.size(); ++c)
            Put(Table, row, static_cast<int>(c) + 1, QString::fromStdString(cells[c]));
    }
    FitColumns();
    // The two ends as the command line prints them: session index, the seed
    // that replays it alone, its balance.
    QStringList ends;
    for (const SpreadReportRow& end : report.ends)
        ends << QStringLiteral("%1: セッション %2（シード %3）収支 %4枚")
                    .arg(end.name == "worst" ? QStringLiteral("最悪") : QStringLiteral("最良"),
                         QString::fromStdString(end.cells[0]), QString::fromStdString(end.cells[1]),
                         QString::fromStdString(end.cells[2]));
    EndsLabel->setText(
        ends.join(QStringLiteral("　")) +
        QStringLiteral("\nそのセッションだけを打ち直すには: morvane-sim run --seed シード --setting %1 --games %2")
            .arg(r.setting)
            .arg(r.games));
    QChart* c = Chart->chart();
    chart::ClearChart(c);
    const BalanceHistogram& h = result_.histogram;
    chart::BuildHistogram(
        c, h.low, h.width, h.counts,
        {QStringLiteral("セッション数"), QStringLiteral("最終収支(枚)"), QStringLiteral("セッション数"),
         QColor(0xFF, 0x8E, 0x8E), QColor(0xC0, 0x40, 0x40), MainFont()});
    shown_ = true;
    fresh_ = true;
    MarkStale(false);
    // Inputs edited while it played.
    InputsChanged();
}

}  // namespace morvane
