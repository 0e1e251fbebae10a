#include "shell/hall_form.h"
#include "app/hall_input.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "app/hall_job.h"
#include "app/input.h"
#include "estimation/machine_belief.h"
#include "estimation/trust.h"
#include "machine/vocabulary.h"
#include "shell/fonts.h"
#include "shell/form_input.h"
#include "shell/job_runner.h"
#include "shell/now_panel.h"
#include "shell/prior_box.h"
#include "shell/result_tables.h"

namespace morvane {
namespace {

constexpr int kBBRows = 300;
// The pause in typing after which an estimate starts.
constexpr int kPauseMs = 250;

struct CountKind {
    const char* name;
    const char* caption;
};
constexpr CountKind kCountKinds[] = {
    {"cherry2", "2枚チェリー"}, {"cherry4", "4枚チェリー"}, {"cherry", "チェリー(合算)"}, {"suika_a", "スイカA"},
    {"suika_b", "スイカB"},     {"suika", "スイカ(合算)"},  {"chance", "チャンス目"},
};

QString Cell(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text().trimmed() : QString();
}

// Which entry of a BB row is wrong, what it held, and what it may hold.
QString HallBBProblem(int row, const QStringList& cells, const HallBBReading& r) {
    QStringList given;
    for (const QString& c : cells)
        if (!c.trimmed().isEmpty()) given << c.trimmed();
    const QString line =
        QStringLiteral("BB履歴の%1行目「%2」の").arg(row + 1).arg(Quotable(given.join(QLatin1Char(' '))));
    const QString text = Quotable(QString::fromStdString(r.text));
    switch (r.wrong) {
    case HallBBPart::Games:
        return text.isEmpty()
                   ? line + QStringLiteral("ゲーム数がありません（前のBBからのゲーム数、1以上の整数）。")
                   : line +
                         QStringLiteral("ゲーム数「%1」が読めません（前のBBからのゲーム数、1以上の整数）。").arg(text);
    case HallBBPart::Colour: return line + QStringLiteral("色「%1」が読めません（b: 青, r: 赤, ?: 不明）。").arg(text);
    case HallBBPart::Sets:
        return line + QStringLiteral("継続数「%1」が読めません（1以上の整数、分からなければ空欄）。").arg(text);
    case HallBBPart::None: break;
    }
    return QStringLiteral("BB履歴の%1行目が読めません。").arg(row + 1);
}

QString ProblemText(const HallEstimate& e) {
    const qulonglong k = e.problemIndex + 1;
    switch (e.problem) {
    case HallProblem::None: return {};
    case HallProblem::NoGames: return QStringLiteral("総ゲーム数を1以上で入れてください。");
    case HallProblem::BadBB: return QStringLiteral("%1番目のBBの値が正しくありません。").arg(k);
    case HallProblem::BBsPastGames: return QStringLiteral("BB履歴のゲーム数の合計が、総ゲーム数を超えています。");
    case HallProblem::CountsOverlap: return QStringLiteral("数えた小役が重なっているか、負の数です。");
    case HallProblem::CountsPastGames: return QStringLiteral("数えた小役が、BB以外のゲーム数より多くなっています。");
    case HallProblem::NoSetting:
        return QStringLiteral("このBB履歴は、どの設定でも起こり得ません（BBなしで1532ゲーム以上続く区間があります）。");
    }
    return {};
}

}  // namespace

THallForm::THallForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HallForm"));
    setWindowTitle(QStringLiteral("ホールデータ"));
    setFont(MainFont());
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("総ゲーム数"), this), 0, 0);
    GamesEdit = new QLineEdit(this);
    GamesEdit->setObjectName(QStringLiteral("GamesEdit"));
    top->addWidget(GamesEdit, 0, 1);
    int slot = 1;
    for (const CountKind& kind : kCountKinds) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(kind.name));
        edit->setPlaceholderText(QStringLiteral("数えていない"));
        top->addWidget(new QLabel(QString::fromUtf8(kind.caption), this), slot / 2, (slot % 2) * 2);
        top->addWidget(edit, slot / 2, (slot % 2) * 2 + 1);
        Counts.push_back({kind.name, edit});
        connect(edit, &QLineEdit::textChanged, this, [this] { Recompute(); });
        ++slot;
    }
    connect(GamesEdit, &QLineEdit::textChanged, this, [this] { Recompute(); });
    layout->addLayout(top);

    layout->addWidget(new QLabel(
        QStringLiteral(
            "BB履歴（データカウンターの古い順。ゲーム数はBBのゲームを含む。色は青・赤、継続数は分からなければ空欄。"
            "表計算ソフトなどから列ごと貼り付けられます）"),
        this));
    BBTable = new QTableWidget(kBBRows, 3, this);
    BBTable->setObjectName(QStringLiteral("BBTable"));
    BBTable->setHorizontalHeaderLabels({QStringLiteral("ゲーム数"), QStringLiteral("色"), QStringLiteral("継続数")});
    BBTable->verticalHeader()->setDefaultSectionSize(18);
    BBTable->installEventFilter(this);
    connect(BBTable, &QTableWidget::cellChanged, this, [this] {
        if (!filling_) Recompute();
    });
    layout->addWidget(BBTable, 1);

    Prior = new TPriorBox(this);
    connect(Prior, &TPriorBox::changed, this, [this] { Recompute(); });
    layout->addWidget(Prior);
    Status = new QLabel(this);
    Status->setWordWrap(true);
    layout->addWidget(Status);
    FiguresLabel = new QLabel(this);
    FiguresLabel->setObjectName(QStringLiteral("FiguresLabel"));
    FiguresLabel->setWordWrap(true);
    FiguresLabel->hide();
    layout->addWidget(FiguresLabel);
    Table = MakeTable({QStringLiteral("設定"), QStringLiteral("確率"), QStringLiteral("BB履歴のみ"),
                       QStringLiteral("小役のみ"), QStringLiteral("事前の配分")},
                      kMaxSetting, this);
    Table->setObjectName(QStringLiteral("HallTable"));
    Table->setMaximumHeight(18 * 7 + 8);
    layout->addWidget(Table);
    Now = new TNowPanel(this);
    layout->addWidget(Now);
    resize(620, 900);
    debounce_ = new QTimer(this);
    debounce_->setSingleShot(true);
    debounce_->setInterval(kPauseMs);
    connect(debounce_, &QTimer::timeout, this, &THallForm::StartEstimate);
    runner_ = new TJobRunner(this);
    connect(runner_, &TJobRunner::finished, this, &THallForm::EstimateFinished);
    Recompute();
}

bool THallForm::eventFilter(QObject* watched, QEvent* e) {
    if (watched == BBTable && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->matches(QKeySequence::Paste)) {
        PasteIntoBBTable(QApplication::clipboard()->text());
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void THallForm::PasteIntoBBTable(const QString& text) {
    const int row0 = std::max(0, BBTable->currentRow()), column0 = std::max(0, BBTable->currentColumn());
    filling_ = true;
    int row = row0;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\r?\n")))) {
        if (line.trimmed().isEmpty()) continue;
        if (row >= BBTable->rowCount()) BBTable->setRowCount(row + 1);
        const QStringList cells = line.split(QRegularExpression(QStringLiteral("[\t,]|\\s+")), Qt::SkipEmptyParts);
        for (int c = 0; c < cells.size() && column0 + c < BBTable->columnCount(); ++c)
            BBTable->setItem(row, column0 + c, new QTableWidgetItem(cells[c].trimmed()));
        ++row;
    }
    filling_ = false;
    Recompute();
}

std::optional<HallData> THallForm::Data(QString* problem) const {
    auto fail = [&](const QString& text) -> std::optional<HallData> {
        if (problem) *problem = text;
        return std::nullopt;
    };
    HallData data;
    const auto games = ParseInt32(GamesEdit->text().trimmed().toStdString());
    if (!games) return fail(QStringLiteral("総ゲーム数を入れてください。"));
    data.games = *games;
    for (int r = 0; r < BBTable->rowCount(); ++r) {
        const QString g = Cell(BBTable, r, 0), kind = Cell(BBTable, r, 1), sets = Cell(BBTable, r, 2);
        if (g.isEmpty() && kind.isEmpty() && sets.isEmpty()) continue;
        const HallBBReading bb = ReadHallBBEntries(g.toStdString(), kind.toStdString(), sets.toStdString());
        if (!bb.bb) return fail(HallBBProblem(r, {g, kind, sets}, bb));
        data.bbs.push_back(*bb.bb);
    }
    for (const CountField& f : Counts) {
        const QString t = f.edit->text().trimmed();
        if (t.isEmpty()) continue;
        const auto count = ParseInt32(t.toStdString());
        if (!count) return fail(QStringLiteral("小役の数が読めません: %1").arg(Quotable(t)));
        data.counted.push_back({*CountedWinKinds(f.name), *count});
    }
    return data;
}

void THallForm::Recompute() {
    QString problem;
    std::optional<HallData> data = Data(&problem);
    const auto prior = Prior->Prior();
    if (data && !prior) {
        shown_ = {};
        shown_.problem = HallProblem::NoGames;
        Refuse(TPriorBox::Problem());
        return;
    }
    HallEstimate refused;
    if (data) refused.problem = CheckHallData(*data, &refused.problemIndex);
    // More games after the last BB than can pass without one: the history
    // is not entered yet, or not to its end. Said as what is missing, since
    // the user is most likely still typing.
    QString missing;
    if (data && refused.problem == HallProblem::None) {
        std::int64_t tail = data->games;
        for (const HallBB& b : data->bbs) tail -= b.games;
        if (tail >= kMaxGamesSinceBB) {
            missing = data->bbs.empty() ? QStringLiteral("BB履歴を入れてください。BBなしで続くのは%1ゲームまでです。")
                                              .arg(kMaxGamesSinceBB - 1)
                                        : QStringLiteral(
                                              "最後のBBのあとが%1ゲームあります。BBなしで続くのは%2ゲームまでなので、"
                                              "BB履歴の続きを入れてください。")
                                              .arg(tail)
                                              .arg(kMaxGamesSinceBB - 1);
            refused.problem = HallProblem::NoSetting;
            refused.problemIndex = data->bbs.size();
        }
    }
    if (!data || refused.problem != HallProblem::None) {
        // Said at once: nothing to wait for.
        shown_ = refused;
        if (!data) shown_.problem = HallProblem::NoGames;
        Refuse(!data ? problem : !missing.isEmpty() ? missing : ProblemText(refused));
        return;
    }
    // The last posterior stays in sight, greyed, until the new one is
    // ready; the estimate starts once the typing pauses.
    waiting_ = std::move(data);
    waitingPrior_ = *prior;
    runner_->Cancel();
    Status->setText(QStringLiteral("計算中・・・"));
    MarkStale(true, QStringLiteral("更新中・・・"));
    debounce_->start();
}

void THallForm::Refuse(const QString& why) {
    debounce_->stop();
    runner_->Cancel();
    waiting_.reset();
    Status->setText(why);
    MarkStale(true);
}

void THallForm::MarkStale(bool stale, const QString& note) {
    stale_ = stale;
    const bool earlier = stale && figuresOf_;
    ShowAsStale(Table, earlier);
    // The machine now is of the same figures: greyed whole, its own edits
    // too, which would only work on from the earlier entries.
    Now->setEnabled(!earlier);
    if (!earlier) {
        FiguresLabel->clear();
        FiguresLabel->hide();
        return;
    }
    const HallData& d = *figuresOf_;
    const QString of = QStringLiteral("総ゲーム数 %1・BB %2回・数えた小役 %3種類")
                           .arg(d.games)
                           .arg(d.bbs.size())
                           .arg(d.counted.size());
    FiguresLabel->setText((note.isEmpty() ? QString() : note + QStringLiteral("　")) +
                          QStringLiteral("下の表は、前に計算できた入力（%1）の結果です。").arg(of));
    FiguresLabel->show();
}

bool THallForm::Computing() const { return waiting_.has_value(); }

void THallForm::StartEstimate() {
    if (!waiting_) return;
    runner_->Start(std::make_shared<HallEstimateJob>(*waiting_, waitingPrior_));
}

void THallForm::EstimateFinished() {
    if (!waiting_) return;
    const HallEstimateJob& done = *runner_->Current<HallEstimateJob>();
    HallData data = std::move(*waiting_);
    waiting_.reset();
    shown_ = done.Estimate();
    if (shown_.problem != HallProblem::None) {
        Refuse(ProblemText(shown_));
        return;
    }
    Table->clearContents();
    figuresOf_ = data;
    MarkStale(false);
    Status->setText(
        QStringLiteral("BB %1回、数えた小役 %2種類から推測しています。").arg(data.bbs.size()).arg(data.counted.size()));
    for (int s = 0; s < kMaxSetting; ++s) {
        const auto i = static_cast<std::size_t>(s);
        Put(Table, s, 0, QString::number(s + 1));
        Put(Table, s, 1, Percent(shown_.posterior.probability[i]));
        Put(Table, s, 2, Percent(shown_.bbPosterior[i]));
        Put(Table, s, 3, data.counted.empty() ? QStringLiteral("-") : Percent(shown_.winsPosterior[i]));
        Put(Table, s, 4, Percent(shown_.prior[i]));
    }
    // Trust is of hall data of the same shape and length.
    Now->SetBelief(done.Belief(), static_cast<std::int32_t>(data.games), {}, ShapeOf(data));
}

}  // namespace morvane
