#include "shell/money_box.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <cmath>

#include "app/value_job.h"

namespace morvane {
namespace {

// Ten medals or more per 100 yen is a rate per 1000 yen typed here.
constexpr double kMostMedalsPer1000Yen = 100;

// The rates halls name, medals per 100 yen.
const QStringList kCommonRates{"5.0（等価）", "5.6", "6.0", "6.4", "7.0"};

QString Shortest(double v) { return QString::number(v, 'g', 10); }

// "5.6", "5.6枚", "5.6枚交換" or an entry of the list.
std::optional<Exchange> RateTyped(QString text) {
    text = text.trimmed();
    for (const QString& tail :
         {QStringLiteral("（等価）"), QStringLiteral("(等価)"), QStringLiteral("枚交換"), QStringLiteral("枚")})
        if (text.endsWith(tail)) text.chop(tail.size());
    const auto rate = ParseExchangePer100Yen(text.trimmed().toStdString());
    if (!rate || rate->medalsPer1000Yen >= kMostMedalsPer1000Yen) return std::nullopt;
    return rate;
}

}  // namespace

QString MoneyWords(const HallMoney& money) {
    const double per100 = money.exchange.medalsPer1000Yen / 10;
    const QString rate =
        money.exchange.medalsPer1000Yen == 50
            ? QStringLiteral("等価")
            : (per100 * 10 == std::round(per100 * 10) ? QString::number(per100, 'f', 1) : Shortest(per100)) +
                  QStringLiteral("枚交換");
    const QString lend = QStringLiteral("（貸出%1枚/1000円）").arg(Shortest(money.lendPer1000Yen));
    if (!money.held) return rate + QStringLiteral("・持ちメダル");
    if (*money.held == 0) return rate + QStringLiteral("・現金投資") + lend;
    return rate + QStringLiteral("・持ちメダル%1枚").arg(*money.held) + lend;
}

TMoneyBox::TMoneyBox(QWidget* parent, bool cash) : QWidget(parent) {
    setObjectName(QStringLiteral("MoneyBox"));
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 0, 0, 0);
    Left = new QFormLayout;
    ExchangeBox = new QComboBox(this);
    ExchangeBox->setObjectName(QStringLiteral("ExchangeBox"));
    ExchangeBox->setEditable(true);
    // Enter calculates; it adds nothing to the list.
    ExchangeBox->setInsertPolicy(QComboBox::NoInsert);
    ExchangeBox->addItems(kCommonRates);
    ExchangeBox->setToolTip(
        QStringLiteral("100円あたりの枚数。5.0で等価（1枚20円）、5.6で5.6枚交換。一覧にない率は入力できます。"));
    Left->addRow(QStringLiteral("交換率(枚/100円)"), ExchangeBox);
    LendEdit = new QLineEdit(QStringLiteral("50"), this);
    LendEdit->setObjectName(QStringLiteral("LendEdit"));
    LendEdit->setToolTip(QStringLiteral("1000円で借りられるメダルの枚数"));
    Left->addRow(QStringLiteral("貸し出し(枚/1000円)"), LendEdit);
    columns->addLayout(Left);

    Right = new QFormLayout;
    auto* play = new QHBoxLayout;
    CashButton = new QRadioButton(QStringLiteral("現金投資"), this);
    CashButton->setObjectName(QStringLiteral("CashButton"));
    CashButton->setToolTip(QStringLiteral("メダルを持たずに座り、3枚を切るたびに1000円ずつ借りる"));
    HeldButton = new QRadioButton(QStringLiteral("持ちメダル"), this);
    HeldButton->setObjectName(QStringLiteral("HeldButton"));
    HeldButton->setToolTip(QStringLiteral("持っているメダルで打ち、なくなったら1000円ずつ借りる"));
    auto* playGroup = new QButtonGroup(this);
    playGroup->addButton(CashButton);
    playGroup->addButton(HeldButton);
    (cash ? CashButton : HeldButton)->setChecked(true);
    HeldEdit = new QLineEdit(QStringLiteral("all"), this);
    HeldEdit->setObjectName(QStringLiteral("HeldEdit"));
    HeldEdit->setToolTip(QStringLiteral("持ちメダルの枚数。all でなくならない"));
    HeldEdit->setFixedWidth(70);
    HeldEdit->setEnabled(!cash);
    play->addWidget(CashButton);
    play->addWidget(HeldButton);
    play->addWidget(HeldEdit);
    Right->addRow(QStringLiteral("投資"), play);
    GamesPerHourEdit = new QLineEdit(Shortest(kDefaultGamesPerHour), this);
    GamesPerHourEdit->setObjectName(QStringLiteral("GamesPerHourEdit"));
    GamesPerHourEdit->setToolTip(QStringLiteral("1時間に回すゲーム数。時給に使う"));
    Right->addRow(QStringLiteral("時給のゲーム数(G/時)"), GamesPerHourEdit);
    for (QLineEdit* e : {LendEdit, GamesPerHourEdit}) e->setMaximumWidth(120);
    ExchangeBox->setMaximumWidth(160);
    columns->addLayout(Right);
    // The fields keep their widths in a wide window.
    columns->addStretch();

    connect(ExchangeBox, &QComboBox::currentTextChanged, this, &TMoneyBox::changed);
    for (QLineEdit* e : {LendEdit, HeldEdit, GamesPerHourEdit})
        connect(e, &QLineEdit::textChanged, this, &TMoneyBox::changed);
    connect(HeldButton, &QRadioButton::toggled, this, [this](bool held) {
        HeldEdit->setEnabled(held);
        emit changed();
    });
}

std::optional<MoneyInputs> TMoneyBox::Money(QString* problem) const {
    const auto fail = [problem](const QString& why) {
        *problem = why;
        return std::nullopt;
    };
    MoneyInputs r;
    const auto exchange = RateTyped(ExchangeBox->currentText());
    if (!exchange)
        return fail(
            QStringLiteral("交換率は、100円あたりの枚数を10未満の正の数で入れてください"
                           "（等価は5.0、5.6枚交換は5.6）。"));
    r.money.exchange = *exchange;
    const auto lend = ParsePositiveDecimal(LendEdit->text().trimmed().toStdString());
    if (!lend)
        return fail(QStringLiteral("貸し出しは、1000円で借りられる枚数を正の数で入れてください（ふつうは50）。"));
    r.money.lendPer1000Yen = *lend;
    if (CashButton->isChecked()) {
        r.money.held = 0;
    } else if (const QString held = HeldEdit->text().trimmed(); held != QStringLiteral("all")) {
        bool ok = false;
        const qlonglong n = held.toLongLong(&ok);
        if (!ok || n < 0 || held.startsWith(QLatin1Char('+')))
            return fail(QStringLiteral("持ちメダルは、0以上の枚数か all を入れてください。"));
        r.money.held = n;
    }
    const auto perHour = ParsePositiveDecimal(GamesPerHourEdit->text().trimmed().toStdString());
    if (!perHour)
        return fail(QStringLiteral("時給のゲーム数は、1時間に回すゲーム数を正の数で入れてください（750ほど）。"));
    r.gamesPerHour = *perHour;
    return r;
}

}  // namespace morvane
