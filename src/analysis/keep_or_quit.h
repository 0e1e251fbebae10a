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
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/machine_belief.h"

namespace morvane {

struct KeepOrQuitRequest {
    std::int32_t horizon = 2000;  // the most games the player will still play
    int mostBBs = 10;             // rules up to the n-th BB
    std::int32_t sessions = 0;    // sessions of the learning rule; 0 leaves it out
    std::uint32_t seed = 0;
    int threads = 0;              // 0: all cores
};

struct StopRule {
    enum class Kind { Now, Games, BBs, Learning };
    Kind kind = Kind::Now;
    std::int64_t n = 0;  // games or BBs
    double value = 0;    // expected net medals
    double se = 0;       // the learning rule's standard error; 0 when exact
};

struct KeepOrQuit {
    std::int32_t horizon = 0;
    std::vector<double> byGames;  // [K]: play exactly K games, K = 0 .. horizon
    std::vector<double> byBBs;    // [n]: until the n-th BB's sets are over (or the horizon)
    StopRule best;                // the best exact rule, leaving now (value 0) included
    std::optional<StopRule> learning;
    std::optional<double> learningGames;  // the games the learning rule plays, on average
    bool Keep() const { return best.value > 0; }
};

KeepOrQuit DecideKeepOrQuit(const MachineBelief& belief, const KeepOrQuitRequest& request,
                            const std::atomic<bool>* stop = nullptr);

}  // namespace morvane
