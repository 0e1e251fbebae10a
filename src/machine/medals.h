#pragma once
// What medals are worth: to the machine, as its payout percent, and in a
// hall, as money at its exchange rate.
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

}  // namespace morvane
