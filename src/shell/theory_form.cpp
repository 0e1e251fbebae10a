#include "shell/theory_form.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

#include "chart/chart_view.h"
#include "estimation/estimate.h"
#include "machine/medals.h"
#include "model/theory.h"
#include "present/names.h"
#include "present/number_format.h"
#include "shell/fonts.h"
#include "shell/form_input.h"
#include "shell/result_tables.h"
#include "shell/texts.h"
#include "system/memory_room.h"

namespace morvane {
namespace {

QString OneIn(double perGame) {
    return perGame > 0 ? QStringLiteral("1/") + Fixed(1 / perGame, 2) : QStringLiteral("0");
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

    // The colours and the continuation modes are shares of all BBs, and say so.
    LongRunTable = MakeTable({"設定", "機械割", "BB確率", "継続数平均", "青7の割合", "赤7の割合", "継続A(75%)の割合",
                              "継続B(79%)の割合", "継続C(84%)の割合", "継続D(88%)の割合"},
                             static_cast<int>(theories.size()), Pages);
    for (int c = 4; c < LongRunTable->columnCount(); ++c)
        LongRunTable->horizontalHeaderItem(c)->setToolTip(QStringLiteral("BBのうち、この種類だったものの割合"));
    QStringList modeColumns{"設定"}, winColumns{"設定"};
    for (std::int32_t m = 0; m < kModes; ++m) modeColumns << Utf8(ModeName(m));
    for (std::int32_t k = 0; k < 8; ++k) winColumns << Utf8(KoyakuRateName(k));
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
        for (int k = 0; k < kKModes; ++k)
            Put(LongRunTable, row, 6 + k, Percent(f.kmodeShare[static_cast<std::size_t>(k)]));
        Put(ModeTable, row, 0, setting);
        for (int m = 0; m < kModes; ++m) Put(ModeTable, row, 1 + m, Percent(f.modeShare[static_cast<std::size_t>(m)]));
        Put(WinTable, row, 0, setting);
        for (int k = 0; k < 8; ++k) Put(WinTable, row, 1 + k, OneIn(f.koyakuPerGame[static_cast<std::size_t>(k)]));
    }
    Fit(LongRunTable);
    Fit(ModeTable);
    Fit(WinTable);
    resize(900, 240);
}

void TTheoryForm::ShowFor(std::int64_t games) {
    RunCaption->setText(QStringLiteral("Play数 %1 の期待値（設定変更直後から）").arg(games));
    for (std::size_t i = 0; i < theories_.size(); ++i) {
        const int row = static_cast<int>(i);
        const RunExpectation e = theories_[i].ExpectedRun(games);
        Put(RunTable, row, 0, QString::number(theories_[i].Setting()));
        Put(RunTable, row, 1, Fixed(e.balance, 1));
        Put(RunTable, row, 2, Fixed(e.balance * Exchange{}.YenPerMedal(), 0) + QStringLiteral("円"));
        Put(RunTable, row, 3, Fixed(e.bbGames, 2));
        Put(RunTable, row, 4, Fixed(e.sets, 2));
        Put(RunTable, row, 5, Fixed(std::sqrt(std::max(0.0, e.bbGamesVariance)), 2));
    }
    Fit(RunTable);
    show();
    raise();
    activateWindow();
}

}  // namespace morvane
