#include "shell/estimate_form.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <climits>
#include <cmath>

#include "chart/builders.h"
#include "chart/chart_view.h"
#include "estimation/estimate.h"
#include "estimation/exact_estimate.h"
#include "model/likelihood.h"
#include "model/theory.h"
#include "present/names.h"
#include "present/number_format.h"
#include "shell/fonts.h"
#include "shell/form_input.h"
#include "shell/now_panel.h"
#include "shell/prior_box.h"
#include "shell/result_tables.h"
#include "shell/texts.h"

namespace morvane {
TEstimateForm::TEstimateForm(const std::vector<SettingTheory>& theories, QWidget* parent)
    : QDialog(parent), theories_(theories) {
    setObjectName(QStringLiteral("EstimateForm"));
    setWindowTitle(QStringLiteral("設定推測"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    EarlierLabel = new QLabel(this);
    EarlierLabel->setObjectName(QStringLiteral("EarlierLabel"));
    EarlierLabel->setWordWrap(true);
    EarlierLabel->hide();
    layout->addWidget(EarlierLabel);
    Seen = new QLabel(this);
    Seen->setWordWrap(true);
    layout->addWidget(Seen);
    Prior = new TPriorBox(this);
    layout->addWidget(Prior);
    Chart = MakeChart(this, QStringLiteral("設定ごとの確率"), {420, 160});
    layout->addWidget(Chart);
    Table = MakeTable({"設定", "確率", "事前の配分", "回数だけの判別"}, static_cast<int>(theories.size()), this);
    Table->horizontalHeaderItem(1)->setToolTip(
        QStringLiteral("見えた記録とホールの配分から出した、その設定である確率"));
    Table->horizontalHeaderItem(2)->setToolTip(QStringLiteral("記録を見る前の、ホールの設定配分"));
    Table->horizontalHeaderItem(3)->setToolTip(
        QStringLiteral("小役と初当りの回数だけから、配分を均等として出した確率。よくある設定判別ツールと同じ出し方で、"
                       "比べるためのものです。"));
    // All six settings stay in sight when the panel below grows.
    Table->setFixedHeight(18 * 7 + 8);
    layout->addWidget(Table);
    Now = new TNowPanel(this);
    layout->addWidget(Now);
    connect(Prior, &TPriorBox::changed, this, [this] { Recompute(); });
    resize(720, 900);
}

TEstimateForm::~TEstimateForm() = default;

void TEstimateForm::ShowFor(const RunRecords& records) {
    Follow(records);
    show();
    raise();
    activateWindow();
}

void TEstimateForm::Follow(const RunRecords& records) {
    records_ = &records;
    Recompute();
}

// The figures stay until the next play is on screen, greyed and said to be
// of the play before.
void TEstimateForm::Forget() {
    records_ = nullptr;
    Now->StopJob();
    if (probabilities_.empty()) return;
    ShowAsStale(Table, true);
    // Grey bars, the chart left as it is laid out.
    for (QAbstractSeries* series : Chart->chart()->series())
        if (auto* bars = qobject_cast<QBarSeries*>(series))
            for (QBarSet* set : bars->barSets()) set->setColor(QColor(0xC8, 0xC8, 0xC8));
    Now->setEnabled(false);
    Seen->setEnabled(false);
    EarlierLabel->setText(
        QStringLiteral("以下は、前に画面にあったプレイ（Play数 %1）の推測です。画面のプレイが変わると推測し直します。")
            .arg(shownGames_));
    EarlierLabel->show();
}

void TEstimateForm::Recompute() {
    if (!records_) return;
    const RunRecords& records = *records_;
    const Observations seen = ObserveRecords(records);
    probabilities_.clear();
    countProbabilities_.clear();
    shownGames_ = seen.games;
    EarlierLabel->hide();
    Seen->setEnabled(true);
    ShowAsStale(Table, false);
    Now->setEnabled(true);
    chart::ClearChart(Chart->chart());
    QChart* c = Chart->chart();
    const auto prior = Prior->Prior();
    if (!prior) {
        Seen->setText(TPriorBox::Problem());
        Table->clearContents();
        Now->SetBelief(std::nullopt, 0);
        return;
    }
    // One pass of the filter gives both the posterior and the state now.
    const RecordBelief both = EstimateWithBelief(records, *prior);
    const ExactEstimate& exact = both.estimate;
    if (seen.games == 0) {
        Seen->setText(
            QStringLiteral("推測するプレイがありません。シミュレーションを実行するか、ファイルを開いてください。"));
        Table->clearContents();
        Now->SetBelief(std::nullopt, 0);
    } else if (exact.problem) {
        const qulonglong game = exact.problemGame + 1;
        Seen->setText(
            exact.unrecordable
                ? QStringLiteral("%1ゲーム目に、この機械が記録しない値があります。推測できません。").arg(game)
                : QStringLiteral("このプレイは、どの設定でも起こり得ません（%1ゲーム目）。推測できません。").arg(game));
        Table->clearContents();
        Now->SetBelief(std::nullopt, 0);
    } else {
        QStringList wins;
        for (std::int32_t k = 0; k < 8; ++k) {
            wins << Utf8(KoyakuRateName(k)) + QLatin1Char(':') +
                        QString::number(seen.smallWins[static_cast<std::size_t>(k)]);
        }
        Seen->setText(QStringLiteral("Play数:%1　BB初当り数:%2\n%3\n%4")
                          .arg(seen.games)
                          .arg(seen.bbGames)
                          .arg(wins.mid(0, 4).join(QStringLiteral("　")), wins.mid(4).join(QStringLiteral("　"))));
        const SettingPosterior& post = exact.posterior;
        const SettingPosterior counted = EstimateSetting(theories_, seen);
        QStringList settings;
        std::vector<double> bars;
        for (std::size_t i = 0; i < post.probability.size(); ++i) {
            probabilities_.push_back(post.probability[i]);
            // The bars show the table's figure, rounded the same way.
            bars.push_back(Percent(post.probability[i]).chopped(1).toDouble());
            settings << QStringLiteral("設定%1").arg(i + 1);
            const int row = static_cast<int>(i);
            Put(Table, row, 0, QString::number(i + 1));
            Put(Table, row, 1, Percent(post.probability[i]));
            const double ll = post.logLikelihood[i];
            Table->item(row, 1)->setToolTip(
                QStringLiteral("対数尤度: %1").arg(std::isinf(ll) ? QStringLiteral("-∞") : Fixed(ll, 3)));
            Put(Table, row, 2, Percent(exact.prior[i]));
            countProbabilities_.push_back(counted.probability[i]);
            Put(Table, row, 3, Percent(counted.probability[i]));
        }
        chart::BuildBarChart(c, settings, bars,
                             {QStringLiteral("確率"), QColor(0xFF, 0x8E, 0x8E), QStringLiteral("@value%"), 5, 110, 20,
                              QStringLiteral("%d%%"), MainFont()});
        Fit(Table);
        Now->SetBelief(both.belief, static_cast<std::int32_t>(std::min<std::int64_t>(seen.games, INT32_MAX)));
    }
}

}  // namespace morvane
