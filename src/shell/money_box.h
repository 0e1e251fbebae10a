#pragma once
// The hall's money as a player gives it: the exchange rate, the lending
// rate, cash or medals held, and the games played in an hour. The 期待値
// window and the machine-now panel take it from the same fields.
#include <QWidget>
#include <optional>

#include "machine/medals.h"

class QComboBox;
class QFormLayout;
class QLineEdit;
class QRadioButton;

namespace morvane {

// The money as players say it, e.g. "5.6枚交換・現金投資（貸出50枚/1000円）".
QString MoneyWords(const HallMoney& money);

struct MoneyInputs {
    HallMoney money;
    double gamesPerHour = kDefaultGamesPerHour;
};

class TMoneyBox : public QWidget {
    Q_OBJECT
public:
    // With `cash` 現金投資 is chosen at first, else 持ちメダル all.
    TMoneyBox(QWidget* parent, bool cash);

    // The money on screen; nullopt with what is wrong worded in `problem`.
    std::optional<MoneyInputs> Money(QString* problem) const;

    QComboBox* ExchangeBox;  // medals per 100 yen: the common rates, or typed
    QLineEdit* LendEdit;     // medals bought for 1000 yen
    QRadioButton* CashButton;
    QRadioButton* HeldButton;
    QLineEdit* HeldEdit;  // the medals held, or all
    QLineEdit* GamesPerHourEdit;
    // The fields' two columns, for an owner to add rows of its own to.
    QFormLayout* Left;
    QFormLayout* Right;

signals:
    // Any field was edited.
    void changed();
};

}  // namespace morvane
