#pragma once
// Keep or quit: the expected net of going on under the best stopping rule
// that can be computed soundly, against leaving now (0).
//
// The player will play at most `horizon` more games (until closing, say;
// a BB in the last of them counts with all its sets). Two families of rules
// are valued exactly from the belief (MachineBelief): play exactly K games
// (K = 1 .. horizon), and play until the n-th BB's sets are over (n = 1 ..
// mostBBs), stopping at the horizon if that comes first. Each value is the
// posterior's mixture of the setting-by-setting values, which come from the
// exact law of the state after the last game followed forward over all the
// stretches to come (RunLaw), with Wald's identity for the medals. The best
// of them, and 0 for leaving, is a value the player can certainly get: a
// lower bound on the best possible.
//
// These rules decide now and do not learn. A rule that learns the setting
// along the way is valued by simulation from the belief: each session
// draws a setting from the posterior and a hidden state from its law,
// plays the machine on, and follows the record with the exact filter at
// every setting the posterior allows. It starts if the best exact rule
// gains; at the end of every BB it goes on while the updated posterior's
// expected net of the rest of the horizon is positive, taken as the exact
// expected net of the next stretch from each setting's state plus the games
// left after it at the setting's long-run rate; it never plays past the
// horizon. Any such rule is one a player can follow, so its value, with
// the simulation's standard error, is also a value the player can get; it
// is reported beside the exact rules, not mixed in.
//
// At a hall's money a player short of medals buys them: every rule's
// expected purchases are exact too (estimation/purchases_ahead.h), and the
// best rule is the one of the most yen. With all medals held there are no
// purchases and the yen are the medals at the exchange rate, so the best
// rule is then chosen on the medals, as it always was.
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "estimation/machine_belief.h"
#include "estimation/purchases_ahead.h"
#include "estimation/share.h"
#include "machine/medals.h"

namespace morvane {

struct KeepOrQuitRequest {
    std::int32_t horizon = 2000;  // the most games the player will still play
    int mostBBs = 10;             // rules up to the n-th BB
    std::int32_t sessions = 0;    // sessions of the learning rule; 0 leaves it out
    std::uint32_t seed = 0;
    int threads = 0;       // 0: all cores
    HallMoney money = {};  // the yen's; all held by default
};

struct StopRule {
    enum class Kind { Now, Games, BBs, Learning };
    Kind kind = Kind::Now;
    std::int64_t n = 0;    // games or BBs
    double value = 0;      // expected net medals
    double se = 0;         // the learning rule's standard error; 0 when exact
    double yen = 0;        // expected yen at the money, purchases taken off
    double yenSe = 0;      // the learning rule's
    double purchases = 0;  // expected purchases (the learning rule's: simulated)
};

struct KeepOrQuit {
    std::int32_t horizon = 0;
    std::vector<double> byGames;  // [K]: play exactly K games, K = 0 .. horizon
    std::vector<double> byBBs;    // [n]: until the n-th BB's sets are over (or the horizon)
    HallMoney money;
    // Expected purchases of each rule, as byGames and byBBs; empty when all
    // medals are held.
    std::vector<double> byGamesPurchases, byBBsPurchases;
    double GamesYen(std::size_t k) const {
        return money.Yen(byGames[k], byGamesPurchases.empty() ? 0.0 : byGamesPurchases[k]);
    }
    double BBsYen(std::size_t n) const { return money.Yen(byBBs[n], byBBsPurchases.empty() ? 0.0 : byBBsPurchases[n]); }
    StopRule best;  // the best exact rule, leaving now (value 0) included
    std::optional<StopRule> learning;
    std::optional<double> learningGames;  // the games the learning rule plays, on average
    bool Keep() const { return best.value > 0; }
};

KeepOrQuit DecideKeepOrQuit(const MachineBelief& belief, const KeepOrQuitRequest& request,
                            const std::atomic<bool>* stop = nullptr);

// Its expected purchases of one setting, as it finds them (medals held),
// and the same found elsewhere given back for it to take as they are
// (another copy of the core working on other settings side by side).
PurchasesAhead KeepOrQuitPurchases(const MachineBelief& belief, int setting, const KeepOrQuitRequest& request,
                                   const std::atomic<bool>* stop = nullptr);
void GiveKeepOrQuitPurchases(const MachineBelief& belief, int setting, const KeepOrQuitRequest& request,
                             PurchasesAhead figures);

// How the net of an exact rule is spread: no law of it from the belief's
// state is at hand, so by simulation from the belief as the learning rule
// draws its sessions (a setting from the posterior, a state from its law),
// each following the rule to its end. Its mean is the rule's exact value
// up to the simulation's error.
struct RuleSpread {
    StopRule rule;
    std::int32_t horizon = 0;
    ShareWithError behind;    // the net is below 0
    double mean = 0, se = 0;  // of the net, medals
    double sd = 0;            // of one session's net
    // In yen at the money, each session's purchases taken off; a session
    // can end ahead in medals and behind in yen, having bought some.
    double meanYen = 0, seYen = 0, sdYen = 0;
    ShareWithError behindYen;
};
// Returns false (and leaves out untouched) when stopped. A learning rule
// is refused.
bool SpreadOfRule(const MachineBelief& belief, const StopRule& rule, std::int32_t horizon, std::int32_t sessions,
                  std::uint32_t seed, int threads, RuleSpread& out, const std::atomic<bool>* stop = nullptr,
                  std::atomic<std::int64_t>* done = nullptr, const HallMoney& money = {});

// The chance, mixed by the posterior, that the machine is in a precursor now.
double PrecursorShare(const MachineBelief& belief);

// Keep or quit as a player acts on it. A gain below a twentieth of the
// net's standard deviation is about even: for a net near normal it ends
// ahead at most some 52 times in 100, a coin toss. A larger gain is worth
// playing for even when single sessions still end behind half the time
// (a likely 5 or 6 over 1000 games: about +130 against a spread of 1300). A
// rule of a few games that wins while the state may be in a precursor is
// a look for that precursor, not a reason to play on.
inline constexpr double kEvenAgainstSpread = 0.05;
inline constexpr double kPrecursorWorthALook = 0.01;
enum class Verdict { Quit, AboutEven, Keep };
struct Advice {
    Verdict verdict = Verdict::Quit;
    bool precursorLook = false;
};
// With `onYen` (medals are bought) the gain and the spread are the yen's,
// as the best rule was chosen.
Advice Advise(const StopRule& best, const RuleSpread* spread, double precursorShare, bool onYen = false);

}  // namespace morvane
