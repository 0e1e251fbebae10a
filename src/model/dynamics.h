#pragma once
// The machine's hidden chain at one setting, one game at a time: the
// ordinary game, the ceiling's game and the state a BB leaves. Every exact
// figure follows the machine through these steps.
//
// Games since the BB are not part of the state: a caller that follows one
// stretch knows them, and one that follows a run over many stretches takes
// the ceiling off the mass whose stretch began 1500 games back (AtCeiling).
#include <cstdint>
#include <memory>

#include "model/game_model.h"
#include "model/precursor.h"
#include "model/state.h"

namespace morvane {

// An ordinary game's mode step: row m is the law of the next mode from
// ordinary mode m (GameModel::modeStep, or modeChange after a seen small win).
using ModeStep = std::array<std::array<double, kModes>, kOrdinaryModes>;

// The ordinary modes' mass through a mode step, n counts at once: mass
// from[m * stride + i] goes by step[m][to] into into[to * stride + i], added
// to. The precursor and the BB modes are the caller's to step.
inline void StepOrdinaryModes(const ModeStep& step, const double* from, double* into, int stride, int n) {
    for (int m = 0; m < kOrdinaryModes; ++m) {
        const double* f = from + m * stride;
        for (int to = 0; to < kModes; ++to) {
            const double w = step[static_cast<std::size_t>(m)][static_cast<std::size_t>(to)];
            if (w == 0) continue;
            double* o = into + to * stride;
            for (int i = 0; i < n; ++i) o[i] += w * f[i];
        }
    }
}

class StateDynamics {
public:
    // Throws std::out_of_range for a setting outside 1..6.
    explicit StateDynamics(int setting);
    ~StateDynamics();
    StateDynamics(const StateDynamics&) = delete;
    StateDynamics& operator=(const StateDynamics&) = delete;

    int Setting() const { return model_.setting; }
    const GameModel& Model() const { return model_; }
    static double PrecursorEnd(int count) { return kPrecursorEnd[static_cast<std::size_t>(count)]; }

    // One game whose games-since-BB count (after the game starts) is
    // gameSince: at 1500 the ceiling's coin sends every state to the
    // precursor or to a blue BB. Mass that plays a BB in this game leaves
    // into bb (added to); out is overwritten.
    void Game(const StateLaw& in, std::int32_t gameSince, StateLaw& out, BBEvents& bb) const;
    // The ceiling's game alone, added to out.
    void CeilingGame(const StateLaw& in, StateLaw& out, BBEvents& bb) const;
    // The state right after BB events, added to out.
    void AddAfterBB(const BBEvents& bb, StateLaw& out) const;
    // Expected net medals of a BB of an event, its game's own small win
    // included.
    double BBGameNet(int event) const {
        return model_.netPerGame + model_.bb[static_cast<std::size_t>(EventKind(event) - 1)].meanMedals;
    }

    // The long-run law of BB events (summing to 1) and of the state just
    // after a BB game (long_run.h).
    const BBEvents& LongRunEvents() const { return longRun_; }
    StateLaw LongRunAfterBB() const;

    // What is left without a BB of a stretch begun right after a BB of this
    // event when its game 1500 starts (the ceiling not yet applied).
    const StateLaw& AtCeiling(int event) const;

private:
    struct Ceilings;
    GameModel model_;
    BBEvents longRun_{};
    std::unique_ptr<Ceilings> ceilings_;
};

// The six settings' dynamics, built once and shared by every thread.
const StateDynamics& Dynamics(int setting);

}  // namespace morvane
