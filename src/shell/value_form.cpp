#include "shell/value_form.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>
#include <memory>
#include <vector>

#include "chart/builders.h"
#include "chart/chart_view.h"
#include "shell/fonts.h"
#include "shell/job_runner.h"
#include "shell/prior_box.h"
#include "shell/result_tables.h"

namespace morvane {
namespace {

constexpr int kMixedIndex = kMaxSetting;  // the box's entry after 設定6

const QStringList kColumns{"ゲーム数",         "期待収支(枚)",     "期待収支(円)",       "当たりまでの平均ゲーム数",
                           "天井で当たる確率", "収支の中央値(枚)", "プラスで終わる確率", "下位10%(枚)",
                           "下位25%(枚)",      "上位25%(枚)",      "上位10%(枚)"};
const QStringList kTips{
    "データカウンターが示す、前回のBBからのゲーム数",
    "次のBBとその継続が終わるまで打ったときの収支の平均（枚）",
    "同じ平均を、交換率で円にしたもの",
    "次のBBのゲームまでにかかるゲーム数の平均（BBのゲームを1ゲームと数える）",
    "次のBBが天井で決まる確率",
    "半分の台がこれ以下、半分がこれ以上で終わる収支",
    "収支がプラスで終わる確率",
    "10%の台がこれ以下で終わる収支",
    "25%の台がこれ以下で終わる収支",
    "25%の台がこれ以上で終わる収支",
    "10%の台がこれ以上で終わる収支",
};

const std::array<QColor, kMaxSetting + 1> kLineColors = {
    QColor(0x40, 0x60, 0xC0), QColor(0x40, 0xA0, 0xC0), QColor(0x40, 0xA0, 0x60), QColor(0xC0, 0xA0, 0x20),
    QColor(0xE0, 0x70, 0x20), QColor(0xC0, 0x20, 0x20), QColor(0x20, 0x20, 0x20)};

}  // namespace

TValueForm::TValueForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ValueForm"));
    setWindowTitle(QStringLiteral("期待値"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    auto* inputs = new QHBoxLayout;
    auto* form = new QFormLayout;
    SettingBox = new QComboBox(this);
    SettingBox->setObjectName(QStringLiteral("SettingBox"));
    for (int s = kMinSetting; s <= kMaxSetting; ++s) SettingBox->addItem(QStringLiteral("設定%1").arg(s));
    SettingBox->addItem(QStringLiteral("ホールの配分で混合"));
    SettingBox->setCurrentIndex(kMixedIndex);
    form->addRow(QStringLiteral("表の設定"), SettingBox);
    ExchangeEdit = new QLineEdit(QStringLiteral("50"), this);
    ExchangeEdit->setObjectName(QStringLiteral("ExchangeEdit"));
    ExchangeEdit->setToolTip(QStringLiteral("1000円あたりのメダル枚数。50で等価（1枚20円）、56で5.6枚交換。"));
    form->addRow(QStringLiteral("交換率(枚/1000円)"), ExchangeEdit);
    inputs->addLayout(form);
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
    Chart = MakeChart(this, QStringLiteral("ゲーム数ごとの期待収支（枚）"), {640, 280});
    layout->addWidget(Chart);
    Table = MakeTable(kColumns, 0, this);
    Table->setObjectName(QStringLiteral("ValueTable"));
    for (int c = 0; c < kColumns.size(); ++c) Table->horizontalHeaderItem(c)->setToolTip(kTips[c]);
    layout->addWidget(Table, 1);
    runner_ = new TJobRunner(this);
    connect(runner_, &TJobRunner::finished, this, [this] {
        CalcButton->setEnabled(true);
        shown_ = runner_->Current<ValueJob>()->Table();
        Present();
    });
    connect(CalcButton, &QPushButton::clicked, this, &TValueForm::CalcButtonClick);
    connect(SettingBox, &QComboBox::currentIndexChanged, this, &TValueForm::InputsChanged);
    connect(ExchangeEdit, &QLineEdit::textChanged, this, &TValueForm::InputsChanged);
    connect(Prior, &TPriorBox::changed, this, &TValueForm::InputsChanged);
    resize(900, 760);
}

void TValueForm::closeEvent(QCloseEvent* e) {
    StopJob();
    QDialog::closeEvent(e);
}

bool TValueForm::Running() const { return runner_->Running(); }

void TValueForm::StopJob() {
    if (!Running()) return;
    runner_->Stop();
    CalcButton->setEnabled(true);
}

std::optional<ValueJobRequest> TValueForm::Inputs() const {
    const auto prior = Prior->Prior();
    const auto exchange = ParseExchange(ExchangeEdit->text().trimmed().toStdString());
    if (!prior || !exchange) return std::nullopt;
    ValueJobRequest r;
    r.setting = SettingBox->currentIndex() == kMixedIndex ? 0 : SettingBox->currentIndex() + kMinSetting;
    r.prior = *prior;
    r.exchange = *exchange;
    return r;
}

std::optional<ValueJobRequest> TValueForm::DrawChart() {
    const auto prior = Prior->Prior();
    if (!prior) {
        StatusLabel->setText(TPriorBox::Problem());
        return std::nullopt;
    }
    const auto r = Inputs();
    if (!r) {
        StatusLabel->setText(QStringLiteral("交換率は、1000円あたりの枚数を正の数で入れてください（等価は50）。"));
        return std::nullopt;
    }
    // The means of every setting and of the prior's mixture take
    // milliseconds: the chart shows them at once.
    CountValueRequest means{SettingPrior(), HallMoney{r->exchange}, false, 1};
    chartFigures_ = ValueByGameCount(means);
    chartFigures_.mixed = ValueByGameCount({r->prior, HallMoney{r->exchange}, false, 1}).mixed;
    std::vector<chart::Line> lines;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const CountValueTable& t = *chartFigures_.bySetting[static_cast<std::size_t>(s - 1)];
        chart::Line& l = lines.emplace_back();
        l.name = QStringLiteral("設定%1").arg(s);
        l.color = kLineColors[static_cast<std::size_t>(s - 1)];
        for (const CountValueRow& row : t.rows) l.x.push_back(row.gamesSince), l.y.push_back(row.evMedals);
    }
    chart::Line& mixed = lines.emplace_back();
    mixed.name = r->prior.IsUniform() ? QStringLiteral("混合(均等)") : QStringLiteral("混合(配分)");
    mixed.color = kLineColors[kMaxSetting];
    for (const CountValueRow& row : chartFigures_.mixed.rows)
        mixed.x.push_back(row.gamesSince), mixed.y.push_back(row.evMedals);
    chart::ClearChart(Chart->chart());
    chart::BuildLineChart(Chart->chart(), lines,
                          {QStringLiteral("前回のBBからのゲーム数"), QStringLiteral("期待収支(枚)"), MainFont()});
    return r;
}

void TValueForm::CalcButtonClick() {
    if (Running()) return;
    const auto inputs = DrawChart();
    if (!inputs) return;
    StatusLabel->setText(QStringLiteral("収支の分布を計算中・・・"));
    CalcButton->setEnabled(false);
    runner_->Start(std::make_shared<ValueJob>(*inputs));
}

namespace {

QString PriorText(const SettingPrior& prior) {
    if (const PriorShape* shape = PriorShapeOf(prior))
        return QString::fromUtf8(shape->label.data(), static_cast<qsizetype>(shape->label.size()));
    QStringList parts;
    for (double p : prior.Probabilities()) parts << Percent(p);
    return parts.join(QLatin1Char(':'));
}

// Only the mixture's table depends on the prior.
bool SameTable(const ValueJobRequest& a, const ValueJobRequest& b) {
    return a.setting == b.setting && a.exchange == b.exchange && (a.setting != 0 || a.prior == b.prior);
}

}  // namespace

// The chart follows every input at once; the table, a second's work, is
// greyed under inputs other than its own and says which they are.
void TValueForm::InputsChanged() {
    if (Running()) return;
    const auto inputs = DrawChart();
    if (!shownRequest_) return;
    stale_ = !inputs || !SameTable(*inputs, *shownRequest_);
    ShowAsStale(Table, stale_);
    if (!inputs) return;  // the status says what is wrong
    if (!stale_) {
        StatusLabel->setText(summary_);
        return;
    }
    const ValueJobRequest& r = *shownRequest_;
    const QString which = r.setting ? QStringLiteral("設定%1").arg(r.setting)
                                    : QStringLiteral("配分「%1」で混合").arg(PriorText(r.prior));
    StatusLabel->setText(
        QStringLiteral("下の表は %1・交換率 %2枚/1000円 の結果です。計算を押すと、いまの入力で計算します。")
            .arg(which, QString::number(r.exchange.medalsPer1000Yen, 'g', 10)));
}

void TValueForm::Present() {
    const ValueJobRequest& r = runner_->Current<ValueJob>()->Request();
    const QString which =
        r.setting ? QStringLiteral("設定%1").arg(r.setting) : QStringLiteral("ホールの配分で混合した台");
    QString aim = shown_.positiveFrom
                      ? QStringLiteral("%1ゲームから先は期待収支がプラスです（狙い目）。").arg(*shown_.positiveFrom)
                      : QStringLiteral("どのゲーム数でも期待収支はプラスになりません。");
    summary_ = QStringLiteral("%1: 次のBBとその継続が終わるまで打ってやめたときの収支です。%2").arg(which, aim);
    StatusLabel->setText(summary_);
    Table->setRowCount(static_cast<int>(shown_.rows.size()));
    Table->setUpdatesEnabled(false);
    for (const CountValueRow& row : shown_.rows) {
        const int i = row.gamesSince;
        Put(Table, i, 0, QString::number(row.gamesSince));
        Put(Table, i, 1, Fixed(row.evMedals, 1));
        Put(Table, i, 2, Fixed(row.evYen, 0));
        Put(Table, i, 3, Fixed(row.evGames, 1));
        Put(Table, i, 4, Percent(row.pCeiling));
        if (row.spread) {
            const NetSpread& s = *row.spread;
            Put(Table, i, 5, QString::number(s.median));
            Put(Table, i, 6, Percent(s.pAhead));
            Put(Table, i, 7, QString::number(s.p10));
            Put(Table, i, 8, QString::number(s.p25));
            Put(Table, i, 9, QString::number(s.p75));
            Put(Table, i, 10, QString::number(s.p90));
        }
    }
    Table->setUpdatesEnabled(true);
    Fit(Table);
    shownRequest_ = r;
    stale_ = false;
    // Inputs edited while it was found.
    InputsChanged();
}

}  // namespace morvane
