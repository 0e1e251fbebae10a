#include "shell/now_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>

#include "app/input.h"
#include "estimation/purchases_ahead.h"
#include "model/value_by_count.h"
#include "present/names.h"
#include "shell/job_runner.h"
#include "shell/money_box.h"
#include "shell/result_tables.h"

namespace morvane {
namespace {

constexpr std::int32_t kTrustSessions = 2000;
// Continuations behind the value of more games (some 0.4 s for 1000 games
// on two cores): a share's standard error is at most 1.1 points.
constexpr std::int32_t kMoreSessions = 2000;
// The pause in typing before more games are simulated, and how often the
// panel counts the sessions played.
constexpr int kMorePauseMs = 250;
constexpr int kMorePollMs = 50;
constexpr int kMostBBs = 10;
// Sessions behind the spread of the best rule: the chance of ending behind
// to a standard error of at most 1.1 points.
constexpr std::int32_t kSpreadSessions = 2000;

// Every figure of money carries its sign, 0 included: "+0.0", "-3.2".
QString Signed(double v, int decimals) {
    return (v < 0 ? QLatin1Char('-') : QLatin1Char('+')) + Fixed(std::abs(v), decimals);
}

// "2,570": whole yen with thousands separated.
QString Grouped(double v) {
    QString digits = Fixed(std::abs(v), 0);
    for (auto i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
    return digits;
}

// Purchases that lose nothing leave the yen those of all medals held:
// asked so, they need no pass over the medals held, over any games.
HallMoney Asked(HallMoney money) {
    if (!money.PurchasesLose()) money.held.reset();
    return money;
}

}  // namespace

QString MedalsAndYen(double medals) {
    const QString sign = medals < 0 ? QStringLiteral("-") : QStringLiteral("+");
    return QStringLiteral("%1%2枚（%1%3円）").arg(sign, Fixed(std::abs(medals), 0), Grouped(Exchange{}.Yen(medals)));
}

QString MedalsAndYen(double medals, double yen) {
    const auto sign = [](double v) { return v < 0 ? QStringLiteral("-") : QStringLiteral("+"); };
    return QStringLiteral("%1%2枚（%3%4円）").arg(sign(medals), Fixed(std::abs(medals), 0), sign(yen), Grouped(yen));
}

QString YenAndPerHour(double yen, double perHour) {
    const auto sign = [](double v) { return v < 0 ? QStringLiteral("-") : QStringLiteral("+"); };
    return QStringLiteral("%1%2円（時給%3%4円）").arg(sign(yen), Grouped(yen), sign(perHour), Grouped(perHour));
}

QString ShareWords(const ShareWithError& s) {
    if (s.None()) return QStringLiteral("%1未満").arg(Percent(s.Bound()));
    if (s.All()) return QStringLiteral("%1超").arg(Percent(1 - s.Bound()));
    return QStringLiteral("%1（±%2）").arg(Percent(s.share), Percent(s.se));
}

TNowPanel::TNowPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("NowPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("この先打つゲーム数"), this));
    HorizonEdit = new QLineEdit(QStringLiteral("1000"), this);
    HorizonEdit->setObjectName(QStringLiteral("HorizonEdit"));
    HorizonEdit->setMaximumWidth(80);
    HorizonEdit->setToolTip(QStringLiteral("次の何ゲームの期待収支を出すか。閉店までのゲーム数などを入れます。"));
    top->addWidget(HorizonEdit);
    top->addStretch();
    layout->addLayout(top);
    // 持ちメダル all at first: the yen are the medals at the exchange rate.
    Money = new TMoneyBox(this, false);
    Money->setObjectName(QStringLiteral("NowMoneyBox"));
    layout->addWidget(Money);
    auto* tables = new QHBoxLayout;
    StateTable = MakeTable({QStringLiteral("いまの状態"), QStringLiteral("確率")}, kModes, this);
    StateTable->setObjectName(QStringLiteral("StateTable"));
    StateTable->setToolTip(
        QStringLiteral("最後のゲームのあと、台がいまどのモードにいるかの確率（設定の確率で混ぜたもの）"));
    for (int m = 0; m < kModes; ++m) Put(StateTable, m, 0, Utf8(ModeName(m)));
    // Sized for the widest figure it will hold, so no share is cut.
    Put(StateTable, 0, 1, QStringLiteral("100.00%"));
    Fit(StateTable);
    ShowWhole(StateTable);
    delete StateTable->takeItem(0, 1);
    tables->addWidget(StateTable);
    // Short headers in the players' own G for games, so that every column
    // is in sight; the tooltips say them in full.
    ValueTable =
        MakeTable({QStringLiteral("設定"), QStringLiteral("次の99999G 収支"), QStringLiteral("次のBBまで 収支"),
                   QStringLiteral("次のBBまで G数"), QStringLiteral("次の99999G 円"), QStringLiteral("次のBBまで 円")},
                  kMaxSetting + 1, this);
    ValueTable->setObjectName(QStringLiteral("NowValueTable"));
    ValueTable->horizontalHeaderItem(1)->setToolTip(QStringLiteral(
        "この先、入れたゲーム数だけ打ってやめたときの収支の平均（枚）。最後のゲームのBBは継続まで数えます。"));
    ValueTable->horizontalHeaderItem(2)->setToolTip(
        QStringLiteral("次のBBとその継続が終わるまで打ってやめたときの収支の平均（枚）"));
    ValueTable->horizontalHeaderItem(3)->setToolTip(QStringLiteral("次のBBとその継続が終わるまでの平均ゲーム数"));
    ValueTable->horizontalHeaderItem(4)->setToolTip(QStringLiteral(
        "同じ平均を、交換率と貸し出し、投資のしかたで円にしたもの（借りたメダルの差額を含む）と、その時給"));
    ValueTable->horizontalHeaderItem(5)->setToolTip(
        QStringLiteral("次のBBが終わるまでの平均を円にしたもの（借りたメダルの差額を含む）と、その時給"));
    for (int s = 0; s < kMaxSetting; ++s) Put(ValueTable, s, 0, QString::number(s + 1));
    Put(ValueTable, kMaxSetting, 0, QStringLiteral("全体"));
    Put(ValueTable, 0, 1, QStringLiteral("+99999.9"));
    for (int c : {4, 5}) Put(ValueTable, 0, c, QStringLiteral("-999,999円（時給-99,999円）"));
    Fit(ValueTable);
    ShowWhole(ValueTable);
    for (int c : {1, 4, 5}) delete ValueTable->takeItem(0, c);
    // The widest header sized the column; from here on it names the field's horizon.
    ValueTable->horizontalHeaderItem(1)->setText(QStringLiteral("次の%1G 収支").arg(HorizonEdit->text().trimmed()));
    ValueTable->horizontalHeaderItem(4)->setText(QStringLiteral("次の%1G 円").arg(HorizonEdit->text().trimmed()));
    tables->addWidget(ValueTable, 1);
    layout->addLayout(tables);
    MoneyLabel = new QLabel(this);
    MoneyLabel->setObjectName(QStringLiteral("NowMoneyLabel"));
    MoneyLabel->setWordWrap(true);
    layout->addWidget(MoneyLabel);
    DecisionLabel = new QLabel(this);
    DecisionLabel->setObjectName(QStringLiteral("DecisionLabel"));
    DecisionLabel->setWordWrap(true);
    layout->addWidget(DecisionLabel);
    auto* trust = new QHBoxLayout;
    TrustButton = new QPushButton(QStringLiteral("推測の信頼度を調べる"), this);
    TrustButton->setObjectName(QStringLiteral("TrustButton"));
    TrustButton->setToolTip(
        QStringLiteral("同じゲーム数の台を%1台分模擬して、この推測がどれだけ当たるかを調べます。").arg(kTrustSessions));
    trust->addWidget(TrustButton);
    trust->addStretch();
    layout->addLayout(trust);
    // Under the button at the panel's width, so that each bin of the
    // calibration keeps to one line.
    TrustLabel = new QLabel(this);
    TrustLabel->setObjectName(QStringLiteral("TrustLabel"));
    TrustLabel->setWordWrap(true);
    layout->addWidget(TrustLabel);
    auto* more = new QHBoxLayout;
    more->addWidget(new QLabel(QStringLiteral("あと"), this));
    MoreEdit = new QLineEdit(QStringLiteral("1000"), this);
    MoreEdit->setObjectName(QStringLiteral("MoreEdit"));
    MoreEdit->setMaximumWidth(80);
    MoreEdit->setToolTip(QStringLiteral("様子を見るゲーム数。その間に設定がどこまで絞れるかを模擬します。"));
    more->addWidget(MoreEdit);
    more->addWidget(new QLabel(QStringLiteral("ゲーム見たら、確率が"), this));
    ThresholdEdit = new QLineEdit(QStringLiteral("80"), this);
    ThresholdEdit->setObjectName(QStringLiteral("ThresholdEdit"));
    ThresholdEdit->setMaximumWidth(60);
    ThresholdEdit->setToolTip(QStringLiteral("設定5・6の合計、またはいちばん高い設定の確率が、ここまで上がるかどうか"));
    more->addWidget(ThresholdEdit);
    more->addWidget(new QLabel(QStringLiteral("%以上になるか"), this));
    more->addStretch();
    layout->addLayout(more);
    MoreLabel = new QLabel(this);
    MoreLabel->setObjectName(QStringLiteral("MoreLabel"));
    MoreLabel->setWordWrap(true);
    layout->addWidget(MoreLabel);
    moreDebounce_ = new QTimer(this);
    moreDebounce_->setSingleShot(true);
    moreDebounce_->setInterval(kMorePauseMs);
    connect(moreDebounce_, &QTimer::timeout, this, [this] {
        if (!moreWaiting_ || !belief_) return;
        more_->Start(std::make_shared<MoreGamesSimulation>(*belief_, *MoreRequest()));
    });
    more_ = new TJobRunner(this, kMorePollMs);
    connect(more_, &TJobRunner::progress, this, &TNowPanel::ShowMore);
    connect(more_, &TJobRunner::finished, this, &TNowPanel::MoreFinished);
    connect(MoreEdit, &QLineEdit::textChanged, this, &TNowPanel::StartMore);
    connect(ThresholdEdit, &QLineEdit::textChanged, this, &TNowPanel::StartMore);
    decisions_ = new TJobRunner(this);
    connect(decisions_, &TJobRunner::progress, this, &TNowPanel::ShowTrust);
    connect(decisions_, &TJobRunner::finished, this, &TNowPanel::DecisionFinished);
    const auto edited = [this] {
        StopJob();
        Refresh();
    };
    connect(HorizonEdit, &QLineEdit::textChanged, this, edited);
    connect(Money, &TMoneyBox::changed, this, edited);
    connect(TrustButton, &QPushButton::clicked, this, [this] { StartTrust(kTrustSessions); });
}

bool TNowPanel::Running() const { return decisions_->Running(); }

std::optional<std::int32_t> TNowPanel::Horizon() const {
    const auto k = ParseInt32(HorizonEdit->text().trimmed().toStdString());
    if (!k || *k < 1) return std::nullopt;
    return k;
}

std::optional<MoreGamesRequest> TNowPanel::MoreRequest() const {
    const auto k = ParseInt32(MoreEdit->text().trimmed().toStdString());
    const std::string t = ThresholdEdit->text().trimmed().toStdString();
    double percent = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), percent, std::chars_format::fixed);
    if (!k || *k < 1 || t.empty() || ec != std::errc() || end != t.data() + t.size() ||
        !(percent > 0 && percent <= 100))
        return std::nullopt;
    MoreGamesRequest r;
    r.games = *k;
    r.highThreshold = r.topThreshold = percent / 100;
    r.sessions = kMoreSessions;
    r.seed = 1;
    return r;
}

void TNowPanel::SetBelief(const std::optional<MachineBelief>& belief, std::int32_t recordGames, const QString& why,
                          const std::optional<HallTrustShape>& hall) {
    StopJob();
    belief_ = belief;
    recordGames_ = recordGames;
    hall_ = hall;
    why_ = why;
    known_.trust.reset();
    ShowTrust();
    Refresh();
    StartMore();
}

// The figures of the last belief stay in sight until the new ones are
// found; the simulation starts once the typing pauses.
void TNowPanel::StartMore() {
    more_->Cancel();
    known_.more.reset();
    moreWaiting_ = belief_ && MoreRequest();
    if (moreWaiting_)
        moreDebounce_->start();
    else
        moreDebounce_->stop();
    ShowMore();
}

void TNowPanel::MoreFinished(bool completed) {
    if (!completed || !moreWaiting_) return;
    moreWaiting_ = false;
    known_.more.emplace(more_->Current<MoreGamesSimulation>()->Figures());
    ShowMore();
    emit updated();
}

void TNowPanel::ShowMore() {
    const auto r = MoreRequest();
    if (!belief_) {
        MoreLabel->clear();
        return;
    }
    if (!r) {
        MoreLabel->setText(QStringLiteral("見るゲーム数は1以上の整数、確率は0より大きく100以下の%で入れてください。"));
        return;
    }
    if (!known_.more) {
        QString text = QStringLiteral("あと%1ゲーム見た場合を模擬中・・・").arg(r->games);
        if (more_->Running())
            text += QStringLiteral(" %1/%2").arg(more_->Current<MoreGamesSimulation>()->Done()).arg(r->sessions);
        MoreLabel->setText(text);
        return;
    }
    const MoreGames& m = *known_.more;
    const QString threshold = QString::number(m.request.highThreshold * 100, 'g', 6) + QLatin1Char('%');
    MoreLabel->setText(
        QStringLiteral("あと%1ゲーム見ると、設定5・6の合計が%2以上になる見込みは%3、いちばん高い設定の確率が%2以上に"
                       "なる見込みは%4です。いまは設定5・6が%5、いちばん高い設定が%6です（%7通りの続きを模擬）。")
            .arg(m.request.games)
            .arg(threshold, ShareWords(m.highPasses), ShareWords(m.topPasses), Percent(m.highNow), Percent(m.topNow))
            .arg(m.request.sessions));
}

void TNowPanel::Refresh() {
    known_.now.reset();
    known_.priced.reset();
    known_.keep.reset();
    known_.spread.reset();
    known_.advice = {};
    for (QTableWidget* t : {StateTable, ValueTable})
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 1; c < t->columnCount(); ++c) delete t->takeItem(r, c);
    TrustButton->setEnabled(belief_.has_value() && recordGames_ > 0);
    const auto k = Horizon();
    if (k) {
        ValueTable->horizontalHeaderItem(1)->setText(QStringLiteral("次の%1G 収支").arg(*k));
        ValueTable->horizontalHeaderItem(4)->setText(QStringLiteral("次の%1G 円").arg(*k));
    }
    QString problem;
    const auto money = Money->Money(&problem);
    if (money && !PurchasesFollowed(money->money))
        problem = QStringLiteral("メダルを借りるときの貸し出しは、1000円で借りられる枚数を整数で入れてください。");
    else if (money && money->money.PurchasesLose() && k && *k > kMostPurchaseGames)
        problem = QStringLiteral(
                      "借りる回数を数えるのは、この先%1Gまでです。この先打つゲーム数を%1以下にするか、"
                      "持ちメダルを all にしてください。")
                      .arg(kMostPurchaseGames);
    const bool priced = money && problem.isEmpty();
    if (!priced)
        MoneyLabel->setText(problem);
    else
        MoneyLabel->setText(QStringLiteral("円の列は %1、時給は %2G/時 で計算しています。")
                                .arg(MoneyWords(money->money), QString::number(money->gamesPerHour, 'g', 10)));
    const HallMoney asked = money ? Asked(money->money) : HallMoney{};
    if (belief_ && k) {
        // Without purchases that lose the yen come at once; with them, off
        // the window's thread with keep or quit.
        const bool buys = priced && asked.held;
        known_.now = NowFigures(*belief_, *k, priced && !buys ? NowMoney{asked, money->gamesPerHour} : NowMoney{});
        if (priced && !buys) known_.priced = known_.now;
        const MachineNow& now = *known_.now;
        for (int m = 0; m < kModes; ++m) Put(StateTable, m, 1, Percent(now.mode[static_cast<std::size_t>(m)]));
        for (int s = 0; s < kMaxSetting; ++s) {
            const SettingNow& n = now.bySetting[static_cast<std::size_t>(s)];
            if (!n.possible || n.posterior == 0) continue;
            Put(ValueTable, s, 1, Signed(n.nextGames, 1));
            Put(ValueTable, s, 2, Signed(n.untilBB, 1));
            Put(ValueTable, s, 3, Fixed(n.untilBBGames, 1));
        }
        Put(ValueTable, kMaxSetting, 1, Signed(now.nextGames, 1));
        Put(ValueTable, kMaxSetting, 2, Signed(now.untilBB, 1));
        Put(ValueTable, kMaxSetting, 3, Fixed(now.untilBBGames, 1));
        ShowYen();
    }
    ShowDecision();
    if (!known_.now) return;
    DecisionRequest r;
    r.keep = {*k, kMostBBs, 0, 0, 0};
    r.spreadSessions = kSpreadSessions;
    if (priced) {
        r.keep.money = asked;
        if (asked.held) r.priced = NowMoney{asked, money->gamesPerHour};
    }
    StartJob(r);
    ShowYen();
}

// The yen columns from the figures at the money, or that they are being found.
void TNowPanel::ShowYen() {
    if (!known_.now) return;
    const MachineNow& now = *known_.now;
    for (int s = 0; s <= kMaxSetting; ++s) {
        const bool mixed = s == kMaxSetting;
        if (!mixed) {
            const SettingNow& n = now.bySetting[static_cast<std::size_t>(s)];
            if (!n.possible || n.posterior == 0) continue;
        }
        if (!known_.priced) {
            for (int c : {4, 5}) Put(ValueTable, s, c, Running() ? QStringLiteral("計算中") : QString());
            continue;
        }
        const MachineNow& p = *known_.priced;
        if (mixed) {
            Put(ValueTable, s, 4, YenAndPerHour(p.NextYen(), p.NextYenPerHour()));
            Put(ValueTable, s, 5, YenAndPerHour(p.UntilBBYen(), p.UntilBBYenPerHour()));
        } else {
            const SettingNow& n = p.bySetting[static_cast<std::size_t>(s)];
            Put(ValueTable, s, 4, YenAndPerHour(p.NextYen(s + 1), p.PerHour(p.NextYen(s + 1), n.nextRealGames)));
            Put(ValueTable, s, 5,
                YenAndPerHour(p.UntilBBYen(s + 1), p.PerHour(p.UntilBBYen(s + 1), n.untilBBRealGames)));
        }
    }
}

namespace {

// "あと13ゲーム打ってやめる", "2回目のBBが終わるまで打つ".
QString RuleWords(const StopRule& r) {
    return r.kind == StopRule::Kind::BBs ? QStringLiteral("%1回目のBBが終わるまで打つ").arg(r.n)
                                         : QStringLiteral("あと%1ゲーム打ってやめる").arg(r.n);
}

// "平均+23枚（+456円）、負けで終わる見込みは61.20%（±1.09%）": behind in
// yen once medals are bought, as the rule was chosen.
QString GainWords(const StopRule& best, const std::optional<RuleSpread>& spread, bool withYen, bool buys) {
    QString text = QStringLiteral("平均%1").arg(withYen ? MedalsAndYen(best.value, best.yen)
                                                        : Signed(best.value, 0) + QStringLiteral("枚"));
    if (spread)
        text += QStringLiteral("、負けで終わる見込みは%1").arg(ShareWords(buys ? spread->behindYen : spread->behind));
    return text;
}

}  // namespace

void TNowPanel::ShowDecision() {
    if (!belief_) {
        DecisionLabel->clear();
        return;
    }
    if (!known_.now) {
        DecisionLabel->setText(QStringLiteral("この先打つゲーム数は、1以上の整数にしてください。"));
        return;
    }
    const MachineNow& now = *known_.now;
    // The yen once the figures at the money are in; medals alone till then.
    const auto worth = [&](double medals, double yen) {
        return known_.priced ? MedalsAndYen(medals, yen)
                             : (medals < 0 ? QStringLiteral("-") : QStringLiteral("+")) + Fixed(std::abs(medals), 0) +
                                   QStringLiteral("枚");
    };
    const MachineNow& p = known_.priced ? *known_.priced : now;
    QString text =
        QStringLiteral(
            "前回のBBから%1ゲーム。次の%2ゲームを打つと平均%3、次のBBが終わるまでなら平均%4"
            "（約%5ゲーム）です。")
            .arg(now.gamesSinceBB)
            .arg(now.horizon)
            .arg(worth(now.nextGames, p.NextYen()), worth(now.untilBB, p.UntilBBYen()), Fixed(now.untilBBGames, 0));
    if (!known_.keep) {
        DecisionLabel->setText(text + QStringLiteral("続けるかどうかを計算中・・・"));
        return;
    }
    const StopRule& best = known_.keep->best;
    const Advice& a = known_.advice;
    const bool buys = known_.keep->money.held.has_value();
    const QString gain = GainWords(best, known_.spread, known_.priced.has_value(), buys);
    text += QStringLiteral("続けるか: ");
    switch (a.verdict) {
    case Verdict::Quit: text += QStringLiteral("やめるのが得です。どの打ち方でも期待収支はプラスになりません。"); break;
    case Verdict::AboutEven:
        text += QStringLiteral(
                    "ほぼ五分です。いちばん良いのは%1%2ことで、%3ですが、1回ごとのばらつき（標準偏差%4）に"
                    "比べて小さな差で、続けてもやめても大きな違いはありません。")
                    .arg(a.precursorLook ? QStringLiteral("、前兆の可能性を見て") : QStringLiteral("、"),
                         RuleWords(best), gain,
                         buys ? Grouped(known_.spread ? known_.spread->sdYen : 0) + QStringLiteral("円")
                              : Fixed(known_.spread ? known_.spread->sd : 0, 0) + QStringLiteral("枚"));
        break;
    case Verdict::Keep:
        if (a.precursorLook)
            text += QStringLiteral(
                        "前兆の可能性があるので、あと%1ゲームだけ様子を見る価値があります（%2）。"
                        "それより長く打っても平均は増えません。")
                        .arg(best.n)
                        .arg(gain);
        else
            text +=
                QStringLiteral("続ける価値があります。いちばん良いのは、%1ことです（%2）。").arg(RuleWords(best), gain);
        break;
    }
    DecisionLabel->setText(text);
}

void TNowPanel::ShowTrust() {
    const DecisionJob* job = decisions_->Current<DecisionJob>();
    if (Running() && job->Request().trustSessions > 0) {
        TrustLabel->setText(QStringLiteral("模擬中・・・ %1/%2").arg(job->Done()).arg(job->Request().trustSessions));
        return;
    }
    if (!known_.trust) {
        TrustLabel->setText(why_);
        return;
    }
    const Trust& t = *known_.trust;
    QStringList lines;
    lines << QStringLiteral(
                 "設定をこの配分で選んだ台の%1ゲームの%2%3回を模擬すると、いちばん確率の高い設定が本当の設定だったのは"
                 "%4でした。表示された確率が当たる割合（10%ごと）:")
                 .arg(recordGames_)
                 .arg(hall_ ? QStringLiteral("データ（同じ形のBB履歴と数えた小役）") : QStringLiteral("記録"))
                 .arg(t.sessions)
                 .arg(ShareWords(ShareWithError::Of(t.right, t.sessions)));
    for (const CalibrationBin& b : t.bins)
        if (b.shown > 0)
            lines << QStringLiteral("・%1〜%2%（平均%3）と出た%4件のうち、実際に当たったのは%5")
                         .arg(Fixed(b.from * 100, 0), Fixed(b.to * 100, 0), Percent(b.meanShown))
                         .arg(b.shown)
                         .arg(ShareWords(ShareWithError::Of(b.truths, b.shown)));
    TrustLabel->setText(lines.join(QLatin1Char('\n')));
}

void TNowPanel::StartTrust(std::int32_t sessions) {
    if (!belief_ || recordGames_ < 1) return;
    StopJob();
    DecisionRequest r;
    r.keep = {Horizon().value_or(1000), kMostBBs, 0, 0, 0};
    QString problem;
    const auto money = Money->Money(&problem);
    if (money && PurchasesFollowed(money->money)) {
        r.keep.money = Asked(money->money);
        if (r.keep.money.held) r.priced = NowMoney{r.keep.money, money->gamesPerHour};
    }
    r.spreadSessions = kSpreadSessions;
    r.recordGames = recordGames_;
    r.trustSessions = sessions;
    r.hall = hall_;
    StartJob(r);
    ShowTrust();
}

void TNowPanel::StartJob(const DecisionRequest& r) { decisions_->Start(std::make_shared<DecisionJob>(*belief_, r)); }

void TNowPanel::StopJob() {
    if (!Running()) return;
    decisions_->Stop();
    ShowTrust();
}

void TNowPanel::DecisionFinished(bool completed) {
    if (completed) {
        const DecisionJob& job = *decisions_->Current<DecisionJob>();
        known_.keep = job.Keep();
        known_.spread = job.Spread();
        if (job.Priced()) known_.priced = job.Priced();
        known_.advice = job.Advised();
        if (job.TrustFigures()) known_.trust = job.TrustFigures();
    }
    ShowYen();
    ShowDecision();
    ShowTrust();
    if (completed) emit updated();
}

}  // namespace morvane
