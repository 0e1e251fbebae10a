#pragma once
// Expected value by game count (天井期待値): a machine whose counter shows g
// games since its last BB game (g the last game's PlayNum2Log, 0 right
// after a BB game) and no BB since. Its hidden state is the long-run law of
// the state just after a BB game (the precursor count carried across BBs),
// pushed g games on given no BB in them. The player plays until the next BB
// game and all its continued sets are over and then leaves; a BB the
// machine has already decided to give after that one is not played. The
// net is the medal balance of that BB game less the balance at g, as the
// history counts it (the BB game's own small win, its sets' games and
// bonuses); the games are counted as the history counts them, the BB game
// once.
//
// Exact at every g from 0 to 1531. The state at g is the start's law given
// no BB in games 1..g, so the means are those of the BB game's number T
// given T > g: one pass forward over (mode, precursor count) gives the law
// of T and the BB's kind, and Wald's identity the net (every small win is
// drawn afresh, so the net's mean is the games times a game's mean net,
// plus the BB's mean sets by its kind). The law of the net by
// NetLawByCount.
//
// In yen at a hall's money (machine/medals.h): a player short of medals
// buys them, so the yen hang on the lowest pre-game balance as well as on
// the net. The expected purchases are exact, from the law of that lowest
// balance by counter (MinLawByCount, a pass as long as a third of the
// net's law's, made whenever medals are bought, with or without the law
// of the net); held all, none of it is done.
//
// Mixed over settings, the counter itself is evidence: a setting whose
// stretches seldom reach g is less likely at a machine showing g. The
// mixture weighs each setting by its prior times the chance that a stretch
// reaches g without a BB, which is the prior at g = 0.
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "machine/medals.h"
#include "model/setting_prior.h"
#include "model/state_law.h"

namespace morvane {

// The law of the net: the smallest net with at least p of the chance at or
// below it, for p = 10, 25, 50, 75 and 90 %, and P(net > 0).
struct NetSpread {
    std::int64_t p10 = 0, p25 = 0, median = 0, p75 = 0, p90 = 0;
    double pAhead = 0;
};

// The law of the net in yen at the hall's money: the smallest whole yen
// with at least half the chance at or below it, and P(yen > 0). Exact when
// no purchase loses (held all, or lent and changed at one rate); else
// the exact law with the pre-BB sum's own purchases, plus the extra ones
// the balance's dips below its end cost, drawn from simulated stretches:
// their standard errors are the figures' own.
struct YenSpread {
    double median = 0;
    double pAhead = 0;
    double medianSE = 0, pAheadSE = 0;  // 0 when exact
};

struct CountValueRow {
    std::int32_t gamesSince = 0;
    double evMedals = 0;     // expected net medals
    double evGames = 0;      // expected games, the BB game once
    double pCeiling = 0;     // the chance that the ceiling decides the BB
    double reach = 0;        // the chance that a stretch reaches g without a BB (mixed: under the prior)
    double evPurchases = 0;  // expected purchases of medals (0 when all are held)
    double evYen = 0;        // at the hall's money
    double yenPerHour = 0;   // evYen over the expected hours of real games
    std::optional<NetSpread> spread;
    std::optional<YenSpread> yenSpread;
};

struct CountValueTable {
    int setting = 0;                  // 1..6, 0 for the mixture
    std::vector<CountValueRow> rows;  // g = 0 .. 1531
    // The smallest g with a positive expected yen, and (狙い目) the smallest
    // g from which it stays positive up to 1531 (in medals the same
    // whenever no purchase loses).
    std::optional<std::int32_t> firstPositive, positiveFrom;
};

struct CountValueRequest {
    SettingPrior prior;  // settings with weight 0 are left out
    HallMoney money;
    bool spread = true;  // the law of the net besides its mean (slower)
    int threads = 0;     // for the law of the net; 0: all cores
    // Checked once per counter while the law of the net is found; when set,
    // the laws stop there and the result says so (the means are whole).
    const std::atomic<bool>* stop = nullptr;
    double gamesPerHour = kDefaultGamesPerHour;
};

struct CountValue {
    SettingPrior prior;
    HallMoney money;
    double gamesPerHour = kDefaultGamesPerHour;
    std::array<std::optional<CountValueTable>, kMaxSetting> bySetting;  // the settings the prior allows
    CountValueTable mixed;
    // By g: each setting's weight in the mixture at that counter.
    std::vector<std::array<double, kMaxSetting>> weights;
    bool stopped = false;  // the request's stop came before the laws were whole
    // The most chance any law of the net lacks, from the tails below 1e-15
    // dropped while it was found (0 without the laws).
    double dropped = 0;
};

CountValue ValueByGameCount(const CountValueRequest& request);

// The purchases made on the way when the lowest pre-game balance (0
// before the first game included) is `lowest`: none when all are held,
// else max(0, ceil((3 - held - lowest) / lend)).
std::int64_t PurchasesFor(const HallMoney& money, std::int64_t lowest);

// The most net medals whose yen, less what some purchases lose (`loss`
// yen), is at most `yen`: floor((yen + loss) / YenPerMedal()), the quotient
// as divided, found without dividing but where it lies next to a whole
// medal.
class MedalsUpTo {
public:
    explicit MedalsUpTo(const Exchange& exchange);
    std::int64_t operator()(double yen, double loss) const;

private:
    double yenPerMedal_, inverse_;
};

// One setting's table alone.
CountValueTable ValueByGameCount(int setting, const HallMoney& money = {}, bool spread = true);

// For each state just after a BB game, the expected net medals of playing
// until the next BB's sets are over and the games that takes (a state law
// at games since 0 weighs them), and the long-run net per game. Built once
// per setting.
struct StretchFromStart {
    StateLaw net, games;
    double perGame = 0;
};
const StretchFromStart& StretchesFromStart(int setting);

}  // namespace morvane
