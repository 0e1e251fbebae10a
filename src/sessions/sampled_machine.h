#pragma once
// Simulated machines started from a law instead of from a reset: a setting
// drawn from a prior or posterior, a hidden state drawn from its law, and a
// machine put in that state. Sessions are numbered like the spread
// engine's: session i of a seed plays from SessionSeed(seed, i), and its
// draws of setting and state come from a stream of their own, so what a
// session does depends on neither the threads nor the other sessions.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "machine/slot.h"
#include "model/likelihood.h"
#include "sessions/spread_play.h"
#include "sessions/spread_stats.h"
#include "system/workers.h"

namespace morvane {

// Uniform draws in [0, 1) for one session's choices (splitmix64).
class SessionDraws {
public:
    SessionDraws(std::uint32_t seed, std::uint32_t index);
    double Uniform();

private:
    std::uint64_t s_;
};

// 1..6 from six chances summing to 1.
int DrawSetting(const std::array<double, kMaxSetting>& p, double u);

struct HiddenDraw {
    int mode = Hamari;
    int count = 0;
};
HiddenDraw DrawHidden(const HiddenState& law, double u);

// One machine per setting, reused from session to session (a new setting's
// tables take longer to build than a session to play).
class SessionMachines {
public:
    // As the spread engine starts a session: the machine a seed builds,
    // precursor count 0, the setting, a reset.
    Slot& Fresh(int setting, std::uint32_t seed);
    // The machine in a given hidden state, `since` games after its last BB
    // game, with its counters and balance at 0.
    Slot& Placed(int setting, const HiddenDraw& state, std::int32_t since, std::uint32_t seed);

private:
    std::array<std::unique_ptr<Slot>, kMaxSetting> slots_;
};

// Runs work(index, worker) for every index below count on up to `threads`
// threads (0: all cores), each with a Worker of its own made by make().
// Returns false when `stop` was set before all were done.
template <class Make, class Work>
bool ForEachSession(std::int64_t count, int threads, Make make, Work work, const std::atomic<bool>* stop = nullptr,
                    std::atomic<std::int64_t>* done = nullptr) {
    return ForEachIndex(count, threads, {16, stop, done}, make, work);
}

}  // namespace morvane
