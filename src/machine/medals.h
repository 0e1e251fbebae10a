#pragma once
// What medals are worth: to the machine, as its payout percent, and in a
// hall, as money at its exchange rate.
#include <cstdint>
#include <optional>

#include "machine/vocabulary.h"

namespace morvane {

// 機械割: medals out per 100 medals bet, from the net medals of what was bet.
constexpr double PayoutPercent(double net, double bet) { return net / bet * 100.0 + 100.0; }
// The same as a scale and an offset, for statistics of many nets: a spread
// scales by the first alone, a mean or a percentile takes both.
constexpr double PayoutPercentPerMedal(double bet) { return 100.0 / bet; }
constexpr double PayoutPercentAtEven() { return PayoutPercent(0, 1); }

// Money at the rate a hall exchanges medals: N medals per 1000 yen; 50 is 20
// yen a medal (等価), 56 is 5.6 medals per 100 yen.
struct Exchange {
    double medalsPer1000Yen = 50;
    double Yen(double medals) const { return medals * 1000.0 / medalsPer1000Yen; }
    // Exact at 50: 20.
    double YenPerMedal() const { return 1000.0 / medalsPer1000Yen; }
    friend bool operator==(const Exchange&, const Exchange&) = default;
};

// A hall's money: medals are lent at one rate and changed back at another.
// Before each game, while fewer than 3 medals are held, lendPer1000Yen
// medals are bought for 1000 yen; the medals held at the end are worth
// exchange.Yen(1) each. So the yen of a net of B medals with P purchases
// is Yen(B) less what each purchase loses, the lent medals being worth
// less than the 1000 yen paid for them: at 等価 (50 and 50) nothing.
struct HallMoney {
    Exchange exchange;                                // medals changed back per 1000 yen (56: 5.6枚交換)
    double lendPer1000Yen = 50;                       // medals bought for 1000 yen
    std::optional<std::int64_t> held = std::nullopt;  // medals held at the start; nullopt: all, never short
    double PurchaseLoss() const { return 1000.0 - exchange.Yen(lendPer1000Yen); }
    // Whether purchases change the yen: where they lose nothing the yen are
    // those of all medals held, whatever is bought.
    bool PurchasesLose() const { return held && PurchaseLoss() != 0; }
    double Yen(double netMedals, double purchases) const {
        return exchange.Yen(netMedals) - purchases * PurchaseLoss();
    }
    friend bool operator==(const HallMoney&, const HallMoney&) = default;
};

// Games played in an hour: a game at the machine's pace, 4.1 seconds at
// the shortest, about 4.8 with the player's presses. Every real game
// counts, so a BB's continued sets and its last set count six games each
// beside the BB game (the history counts the BB game and its sets as one).
inline constexpr double kDefaultGamesPerHour = 750;

}  // namespace morvane
