#include "shell/estimate_form.h"

#include <QBarCategoryAxis>
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
#include "chart/builders.h"
#include "chart/chart_view.h"
#include "present/names.h"
#include "present/number_format.h"
#include "shell/fonts.h"
#include "shell/form_input.h"
#include "shell/result_tables.h"
#include "shell/texts.h"

namespace morvane {
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

void TEstimateForm::ShowFor(const PlayHistory& history) {
    const Observations seen = ObserveHistory(history);
    probabilities_.clear();
    countProbabilities_.clear();
    chart::ClearChart(Chart->chart());
    QChart* c = Chart->chart();
    const ExactEstimate exact = EstimateSettingExactly(history.records());
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
            wins << Utf8(KoyakuRateName(k)) + QLatin1Char(':') + QString::number(seen.smallWins[static_cast<std::size_t>(k)]);
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
            bars.push_back(post.probability[i] * 100);
            settings << QStringLiteral("設定%1").arg(i + 1);
            Put(Table, static_cast<int>(i), 0, QString::number(i + 1));
            Put(Table, static_cast<int>(i), 1, Fixed(post.probability[i] * 100, 2) + QLatin1Char('%'));
            const double ll = post.logLikelihood[i];
            Put(Table, static_cast<int>(i), 2, std::isinf(ll) ? QStringLiteral("-∞") : Fixed(ll, 3));
            countProbabilities_.push_back(counted.probability[i]);
            Put(Table, static_cast<int>(i), 3, Fixed(counted.probability[i] * 100, 2) + QLatin1Char('%'));
        }
        chart::BuildBarChart(c, settings, bars,
                             {QStringLiteral("確率"), QColor(0xFF, 0x8E, 0x8E), QStringLiteral("@value%"), 4, 110, 20,
                              QStringLiteral("%d%%"), MainFont()});
        Fit(Table);
    }
    show();
    raise();
    activateWindow();
}

}  // namespace morvane
