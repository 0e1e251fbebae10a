#pragma once
// The medals a player short of them buys on the games ahead of the machine
// now, at a hall's money (machine/medals.h): before each game, while fewer
// than 3 are held, `lend` medals are bought. Their expected number is what
// the yen need beside the expected net medals.
//
// Exact, by one pass forward over the hidden state and the medals held:
// purchases hang on nothing else. A game takes 3 medals at most, so medals
// held at 3 + 3r or more buy nothing in the r games left and that mass is
// let go; a BB game pays at least 69 (BBNetLaw), so held medals never fall
// while it is played. The pass follows the state as RunLaw does, the counts
// a ceiling left as one law of counts (purchases_ahead.cpp). Only the
// stretch the play starts in can meet its ceiling: one begun after a BB in
// the games ahead reaches its game 1500 past them (kMostPurchaseGames).
#include <atomic>
#include <cstdint>
#include <vector>

#include "machine/medals.h"
#include "machine/vocabulary.h"
#include "model/dynamics.h"

namespace morvane {

struct PurchasesAhead {
    std::vector<double> byGames;  // [K]: over the next K games, K = 0 .. games
    std::vector<double> byBBs;    // [n]: until the n-th BB's sets are over or `games` are played, n = 0 .. mostBBs
    // The chance let go as too small to follow (rows below 1e-13, BBs below
    // 1e-12 a game) and that moved between the counts a ceiling left so as
    // to follow them as one law of counts (a few 1e-6 where a ceiling falls
    // within the games, far less from hall data's own): each figure is off
    // by at most this times the purchases a player could still make.
    double dropped = 0;
};

// From a state law `since` games into its stretch. With all medals held
// (money.held empty) every figure is 0. `mostBBs` may be 0 (byBBs then
// holds the one 0). With `stop` set it ends early with figures to throw
// away.
// Where PurchaseValues hold (estimation/purchase_values.h) the figures are
// theirs, found backward once for the money and kept; elsewhere the pass
// forward below.
PurchasesAhead ExpectedPurchasesAhead(const StateDynamics& d, const StateLaw& law, std::int32_t since,
                                      std::int32_t games, int mostBBs, const HallMoney& money,
                                      const std::atomic<bool>* stop = nullptr);
// The pass forward from the law, whatever it carries.
PurchasesAhead PurchasesAheadForward(const StateDynamics& d, const StateLaw& law, std::int32_t since,
                                     std::int32_t games, int mostBBs, const HallMoney& money,
                                     const std::atomic<bool>* stop = nullptr);

// The same until the next BB game, however long that takes (its sets need
// no medals); with `stop` set, a figure to throw away.
double ExpectedPurchasesUntilBB(const StateDynamics& d, const StateLaw& law, std::int32_t since, const HallMoney& money,
                                const std::atomic<bool>* stop = nullptr);

// Figures found elsewhere for the same question (another copy of the core,
// such as the page's second worker taking half the settings): the next
// ExpectedPurchasesAhead of that setting, law, games since the BB, games,
// BBs and money returns them as they are. The last few given are kept.
void GivePurchasesAhead(int setting, const StateLaw& law, std::int32_t since, std::int32_t games, int mostBBs,
                        const HallMoney& money, PurchasesAhead figures);

// The pass counts medals in whole numbers: a lending rate that is not whole
// is not taken (the front ends say so).
bool PurchasesFollowed(const HallMoney& money);

// Purchases are followed over at most this many games (some two hours of
// play), within which a stretch begun after a BB in the games ahead cannot
// reach its ceiling; past them it can, and its purchases would hang on the
// game it began, a pass a hundred times longer. More are refused
// (std::invalid_argument), as the front ends refuse them first.
inline constexpr std::int32_t kMostPurchaseGames = kCeilingGames;

}  // namespace morvane
