#include "shell/value_form.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPen>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "app/input.h"
#include "chart/builders.h"
#include "chart/chart_view.h"
#include "shell/fonts.h"
#include "shell/job_runner.h"
#include "shell/money_box.h"
#include "shell/prior_box.h"
#include "shell/result_tables.h"

namespace morvane {
namespace {

constexpr int kMixedIndex = kMaxSetting;  // the box's entry after 設定6

enum Column {
    kGamesColumn,
    kEvMedalsColumn,
    kEvYenColumn,
    kPerHourColumn,
    kEvGamesColumn,
    kCeilingColumn,
    kMedianColumn,
    kMedianYenColumn,
    kAheadColumn,
    kAheadYenColumn,
    kP10Column,
    kP25Column,
    kP75Column,
    kP90Column,
};

const QStringList kColumns{
    "ゲーム数",         "期待収支(枚)",     "期待収支(円)",     "時給(円)",           "当たりまでの平均ゲーム数",
    "天井で当たる確率", "収支の中央値(枚)", "収支の中央値(円)", "プラスで終わる確率", "円でプラスの確率",
    "下位10%(枚)",      "下位25%(枚)",      "上位25%(枚)",      "上位10%(枚)"};
const QStringList kTips{
    "データカウンターが示す、前回のBBからのゲーム数",
    "次のBBとその継続が終わるまで打ったときの収支の平均（枚）",
    "同じ平均を、交換率と貸し出し、投資のしかたで円にしたもの（借りたメダルの差額を含む）",
    "円の期待収支を、かかる時間（時給のゲーム数で割った時間）で割ったもの",
    "次のBBのゲームまでにかかるゲーム数の平均（BBのゲームを1ゲームと数える）",
    "次のBBが天井で決まる確率",
    "半分の台がこれ以下、半分がこれ以上で終わる収支",
    "半分の台がこれ以下、半分がこれ以上で終わる円の収支",
    "収支がプラスで終わる確率",
    "円の収支がプラスで終わる確率",
    "10%の台がこれ以下で終わる収支",
    "25%の台がこれ以下で終わる収支",
    "25%の台がこれ以上で終わる収支",
    "10%の台がこれ以上で終わる収支",
};

const std::array<QColor, kMaxSetting + 1> kLineColors = {
    QColor(0x40, 0x60, 0xC0), QColor(0x40, 0xA0, 0xC0), QColor(0x40, 0xA0, 0x60), QColor(0xC0, 0xA0, 0x20),
    QColor(0xE0, 0x70, 0x20), QColor(0xC0, 0x20, 0x20), QColor(0x20, 0x20, 0x20)};

QString Shortest(double v) { return QString::number(v, 'g', 10); }

}  // namespace

TValueForm::TValueForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ValueForm"));
    setWindowTitle(QStringLiteral("期待値"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    auto* inputs = new QHBoxLayout;
    auto* left = new QFormLayout;
    SettingBox = new QComboBox(this);
    SettingBox->setObjectName(QStringLiteral("SettingBox"));
    for (int s = kMinSetting; s <= kMaxSetting; ++s) SettingBox->addItem(QStringLiteral("設定%1").arg(s));
    SettingBox->addItem(QStringLiteral("ホールの配分で混合"));
    SettingBox->setCurrentIndex(kMixedIndex);
    left->addRow(QStringLiteral("表の設定"), SettingBox);
    inputs->addLayout(left);
    Money = new TMoneyBox(this, true);
    ExchangeBox = Money->ExchangeBox;
    LendEdit = Money->LendEdit;
    CashButton = Money->CashButton;
    HeldButton = Money->HeldButton;
    HeldEdit = Money->HeldEdit;
    GamesPerHourEdit = Money->GamesPerHourEdit;
    auto* right = Money->Right;
    CounterEdit = new QLineEdit(this);
    CounterEdit->setObjectName(QStringLiteral("CounterEdit"));
    CounterEdit->setPlaceholderText(QStringLiteral("0〜%1").arg(kMaxGamesSinceBB - 1));
    CounterEdit->setToolTip(QStringLiteral("データカウンターの前回BBからのゲーム数。表のその行とグラフに印を付ける"));
    right->addRow(QStringLiteral("カウンター(G)"), CounterEdit);
    CounterEdit->setMaximumWidth(120);
    inputs->addWidget(Money);
    Prior = new TPriorBox(this);
    inputs->addWidget(Prior);
    CalcButton = new QPushButton(QStringLiteral("計算"), this);
    CalcButton->setObjectName(QStringLiteral("CalcButton"));
    // Enter in any field calculates.
    CalcButton->setDefault(true);
    inputs->addWidget(CalcButton, 0, Qt::AlignTop);
    layout->addLayout(inputs);
    StatusLabel = new QLabel(this);
    StatusLabel->setWordWrap(true);
    layout->addWidget(StatusLabel);
    Chart = MakeChart(this, QStringLiteral("ゲーム数ごとの期待収支（枚）"), {640, 260});
    layout->addWidget(Chart);
    MoneyLabel = new QLabel(this);
    MoneyLabel->setObjectName(QStringLiteral("MoneyLabel"));
    layout->addWidget(MoneyLabel);
    Table = MakeTable(kColumns, 0, this);
    Table->setObjectName(QStringLiteral("ValueTable"));
    for (int c = 0; c < kColumns.size(); ++c) Table->horizontalHeaderItem(c)->setToolTip(kTips[c]);
    layout->addWidget(Table, 1);
    runner_ = new TJobRunner(this);
    connect(runner_, &TJobRunner::finished, this, [this] {
        CalcButton->setEnabled(true);
        shown_ = runner_->Current<ValueJob>()->Table();
        running_.reset();
        Present();
    });
    connect(CalcButton, &QPushButton::clicked, this, &TValueForm::CalcButtonClick);
    connect(SettingBox, &QComboBox::currentIndexChanged, this, &TValueForm::InputsChanged);
    connect(Money, &TMoneyBox::changed, this, &TValueForm::InputsChanged);
    connect(CounterEdit, &QLineEdit::textChanged, this, &TValueForm::MarkCounter);
    connect(Prior, &TPriorBox::changed, this, &TValueForm::InputsChanged);
    resize(1060, 800);
}

void TValueForm::closeEvent(QCloseEvent* e) {
    StopJob();
    QDialog::closeEvent(e);
}

bool TValueForm::Running() const { return runner_->Running(); }

void TValueForm::StopJob() {
    running_.reset();
    if (!Running()) return;
    runner_->Stop();
    CalcButton->setEnabled(true);
}

std::optional<ValueJobRequest> TValueForm::Inputs(QString* problem) const {
    const auto fail = [problem](const QString& why) {
        *problem = why;
        return std::nullopt;
    };
    const auto prior = Prior->Prior();
    if (!prior) return fail(TPriorBox::Problem());
    ValueJobRequest r;
    const auto money = Money->Money(problem);
    if (!money) return std::nullopt;
    r.money = money->money;
    r.gamesPerHour = money->gamesPerHour;
    r.setting = SettingBox->currentIndex() == kMixedIndex ? 0 : SettingBox->currentIndex() + kMinSetting;
    r.prior = *prior;
    return r;
}

std::optional<ValueJobRequest> TValueForm::DrawChart() {
    QString problem;
    const auto r = Inputs(&problem);
    if (!r) {
        StatusLabel->setText(problem);
        return std::nullopt;
    }
    // The means of every setting and of the prior's mixture take
    // milliseconds: the chart shows them at once.
    CountValueRequest means{SettingPrior(), r->money, false, 1};
    means.gamesPerHour = r->gamesPerHour;
    chartFigures_ = ValueByGameCount(means);
    means.prior = r->prior;
    chartFigures_.mixed = ValueByGameCount(means).mixed;
    std::vector<chart::Line> lines;
    chartBottom_ = chartTop_ = 0;
    // Where purchases lose, the yen cross zero later than the medals: the
    // chart then shows the yen, so that 狙い目 falls where its lines cross.
    const bool inYen = r->money.PurchasesLose();
    Chart->SetTitle(
        inYen ? QStringLiteral("ゲーム数ごとの期待収支（円）") : QStringLiteral("ゲーム数ごとの期待収支（枚）"),
        JapaneseFont(QStringLiteral("MS UI Gothic"), 12));
    const auto add = [&](const QString& name, const QColor& color, const CountValueTable& t) {
        chart::Line& l = lines.emplace_back();
        l.name = name;
        l.color = color;
        for (const CountValueRow& row : t.rows) {
            const double y = inYen ? row.evYen : row.evMedals;
            l.x.push_back(row.gamesSince), l.y.push_back(y);
            chartBottom_ = std::min(chartBottom_, y);
            chartTop_ = std::max(chartTop_, y);
        }
    };
    for (int s = kMinSetting; s <= kMaxSetting; ++s)
        add(QStringLiteral("設定%1").arg(s), kLineColors[static_cast<std::size_t>(s - 1)],
            *chartFigures_.bySetting[static_cast<std::size_t>(s - 1)]);
    add(r->prior.IsUniform() ? QStringLiteral("混合(均等)") : QStringLiteral("混合(配分)"), kLineColors[kMaxSetting],
        chartFigures_.mixed);
    // The zero line, and 狙い目 of the table's setting or mixture: from
    // there on the expected net stays positive.
    const double last = kMaxGamesSinceBB - 1;
    lines.push_back({QStringLiteral("0"), QColor(0x80, 0x80, 0x80), {0, last}, {0, 0}});
    const CountValueTable& table =
        r->setting ? *chartFigures_.bySetting[static_cast<std::size_t>(r->setting - 1)] : chartFigures_.mixed;
    if (table.positiveFrom) {
        const double g = *table.positiveFrom;
        lines.push_back({QStringLiteral("狙い目 %1G").arg(*table.positiveFrom),
                         QColor(0xD0, 0x30, 0x90),
                         {g, g},
                         {chartBottom_, chartTop_}});
    }
    lines.push_back({QStringLiteral("カウンター"), QColor(0x20, 0x90, 0x20), {}, {}});
    chart::ClearChart(Chart->chart());
    const std::vector<QLineSeries*> series =
        chart::BuildLineChart(Chart->chart(), lines,
                              {QStringLiteral("前回のBBからのゲーム数"),
                               inYen ? QStringLiteral("期待収支(円)") : QStringLiteral("期待収支(枚)"), MainFont()});
    const std::size_t marks = kMaxSetting + 1;
    for (std::size_t i = marks; i < series.size(); ++i) {
        QPen pen(lines[i].color, 1.5, i == marks ? Qt::SolidLine : Qt::DashLine);
        series[i]->setPen(pen);
    }
    // The zero line needs no legend.
    for (QLegendMarker* m : Chart->chart()->legend()->markers(series[marks])) m->setVisible(false);
    counterLine_ = series.back();
    MarkCounter();
    return r;
}

void TValueForm::StartJob(const ValueJobRequest& request) {
    running_ = request;
    stale_ = shownRequest_.has_value();
    ShowAsStale(Table, stale_);
    StatusLabel->setText(QStringLiteral("収支の分布を計算中・・・（%1）").arg(MoneyWords(request.money)));
    CalcButton->setEnabled(false);
    runner_->Start(std::make_shared<ValueJob>(request));
}

void TValueForm::CalcButtonClick() {
    if (Running()) return;
    const auto inputs = DrawChart();
    if (!inputs) return;
    StartJob(*inputs);
}

namespace {

// Only the mixture's table depends on the prior.
bool SameTable(const ValueJobRequest& a, const ValueJobRequest& b) {
    return a.setting == b.setting && a.money == b.money && a.gamesPerHour == b.gamesPerHour &&
           (a.setting != 0 || a.prior == b.prior);
}

}  // namespace

// The chart follows every input at once, and so does the table, a second's
// work: greyed meanwhile, it never stands under inputs it is not of.
void TValueForm::InputsChanged() {
    const auto inputs = DrawChart();
    if (!inputs) {
        // The status says what is wrong.
        StopJob();
        stale_ = shownRequest_.has_value();
        ShowAsStale(Table, stale_);
        return;
    }
    if (shownRequest_ && SameTable(*inputs, *shownRequest_)) {
        StopJob();
        stale_ = false;
        ShowAsStale(Table, false);
        StatusLabel->setText(summary_);
        return;
    }
    if (Running() && running_ && SameTable(*inputs, *running_)) return;
    StartJob(*inputs);
}

void TValueForm::MarkCounter() {
    const auto g = ParseInt32(CounterEdit->text().trimmed().toStdString());
    const bool valid = g && *g >= 0 && *g < kMaxGamesSinceBB;
    marked_ = valid ? std::optional<int>(*g) : std::nullopt;
    if (counterLine_) {
        if (valid)
            counterLine_->replace({{double(*g), chartBottom_}, {double(*g), chartTop_}});
        else
            counterLine_->clear();
        for (QLegendMarker* m : Chart->chart()->legend()->markers(counterLine_)) m->setVisible(valid);
        counterLine_->setName(valid ? QStringLiteral("カウンター %1G").arg(*g) : QStringLiteral("カウンター"));
    }
    if (!valid || *g >= Table->rowCount()) {
        Table->clearSelection();
        return;
    }
    Table->selectRow(*g);
    Table->scrollToItem(Table->item(*g, kGamesColumn), QAbstractItemView::PositionAtCenter);
}

void TValueForm::Present() {
    const ValueJobRequest& r = runner_->Current<ValueJob>()->Request();
    const QString which =
        r.setting ? QStringLiteral("設定%1").arg(r.setting) : QStringLiteral("ホールの配分で混合した台");
    const QString money = MoneyWords(r.money);
    QString aim = shown_.positiveFrom
                      ? QStringLiteral("%1ゲームから先は期待収支がプラスです（狙い目、%2）。")
                            .arg(QString::number(*shown_.positiveFrom), money)
                      : QStringLiteral("%1では、どのゲーム数でも期待収支はプラスになりません。").arg(money);
    summary_ = QStringLiteral("%1: 次のBBとその継続が終わるまで打ってやめたときの収支です。%2").arg(which, aim);
    StatusLabel->setText(summary_);
    MoneyLabel->setText(
        QStringLiteral("円の列は %1、時給は %2G/時 で計算しています。").arg(money, Shortest(r.gamesPerHour)));
    for (int c : {kEvYenColumn, kPerHourColumn, kMedianYenColumn, kAheadYenColumn})
        Table->horizontalHeaderItem(c)->setToolTip(kTips[c] + QStringLiteral("（%1）").arg(money));
    Table->setUpdatesEnabled(false);
    Table->clearContents();
    Table->setRowCount(static_cast<int>(shown_.rows.size()));
    for (const CountValueRow& row : shown_.rows) {
        const int i = row.gamesSince;
        Put(Table, i, kGamesColumn, QString::number(row.gamesSince));
        Put(Table, i, kEvMedalsColumn, Fixed(row.evMedals, 1));
        Put(Table, i, kEvYenColumn, Fixed(row.evYen, 0));
        Put(Table, i, kPerHourColumn, Fixed(row.yenPerHour, 0));
        Put(Table, i, kEvGamesColumn, Fixed(row.evGames, 1));
        Put(Table, i, kCeilingColumn, Percent(row.pCeiling));
        if (row.spread) {
            const NetSpread& s = *row.spread;
            Put(Table, i, kMedianColumn, QString::number(s.median));
            Put(Table, i, kAheadColumn, Percent(s.pAhead));
            Put(Table, i, kP10Column, QString::number(s.p10));
            Put(Table, i, kP25Column, QString::number(s.p25));
            Put(Table, i, kP75Column, QString::number(s.p75));
            Put(Table, i, kP90Column, QString::number(s.p90));
        }
        if (row.yenSpread) {
            Put(Table, i, kMedianYenColumn, Fixed(row.yenSpread->median, 0));
            Put(Table, i, kAheadYenColumn, Percent(row.yenSpread->pAhead));
        }
    }
    Table->setUpdatesEnabled(true);
    Fit(Table);
    shownRequest_ = r;
    stale_ = false;
    MarkCounter();
}

}  // namespace morvane
