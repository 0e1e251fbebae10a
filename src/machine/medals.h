#pragma once
// What medals are worth: to the machine, as its payout percent, and in a
// hall, as money at its exchange rate.
#include <cstdint>
#include <optional>

#include "machine/vocabulary.h"

namespace morvane {

// 機械割: medals out per 100 medals bet, from the net medals of what was bet.
constexpr double PayoutPercent(double net, double bet) { return net / bet * 100.0 + 100.0; }

// Money at the rate a hall exchanges medals: N medals per 1000 yen; 50 is 20
// yen a medal (等価), 56 is 5.6 medals per 100 yen.
struct Exchange {
    double medalsPer1000Yen = 50;
    double Yen(double medals) const { return medals * 1000.0 / medalsPer1000Yen; }
    // Exact at 50: 20.
    double YenPerMedal() const { return 1000.0 / medalsPer1000Yen; }
    friend bool operator==(const Exchange&, const Exchange&) = default;
};

// A hall's money both ways: medals are bought at the lending rate whenever
// fewer than a game's bet are held, and changed back at the exchange rate.
// Each purchase loses the difference; medals held from the start lose
// nothing until they run out.
struct HallMoney {
    Exchange exchange;                                // medals changed back per 1000 yen (56: 5.6枚交換)
    double lendPer1000Yen = 50;                       // medals bought for 1000 yen
    std::optional<std::int64_t> held = std::nullopt;  // medals held at the start; nullopt: all, never short
    double PurchaseLoss() const { return 1000.0 - exchange.Yen(lendPer1000Yen); }
    double Yen(double netMedals, double purchases) const {
        return exchange.Yen(netMedals) - purchases * PurchaseLoss();
    }
    friend bool operator==(const HallMoney&, const HallMoney&) = default;
};

// Games a player gets through in an hour, for 時給.
inline constexpr double kDefaultGamesPerHour = 700;

}  // namespace morvane
