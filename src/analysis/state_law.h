#pragma once
// The exact law of the machine's hidden state at one setting, game by game:
// mass by (mode, precursor count) between two games. What the player's
// figures stand on: the expected value by game count, the machine now and
// the value of playing on.
//
// A row is the mode the game just played leaves (Blue7 and Red7 play their
// BB in the next game); a column is the precursor count the machine carries.
// Ordinary modes keep the count a ceiling's Blue7 left behind, a precursor
// steps it, and a precursor's end resets it. The precursor's end chance is
// the exact one of its draw, Rand31 mod (32 - count) giving 0.
//
// Games since the BB are not part of the law: a caller that follows one
// stretch knows them, and one that follows a run over many stretches takes
// the ceiling off the mass whose stretch began 1500 games back (AtCeiling).
#include <array>
#include <cstdint>
#include <memory>

#include "analysis/likelihood.h"
#include "analysis/model.h"

namespace morvane {

inline constexpr int kLawCounts = kPrecursorSpan;
inline constexpr int kBBEvents = kBBKinds * kLawCounts;  // a BB by kind and carried count

// bbKind 1 blue, 2 red.
constexpr int BBEvent(int bbKind, int count) { return (bbKind - 1) * kLawCounts + count; }
constexpr int EventKind(int event) { return event / kLawCounts + 1; }
constexpr int EventCount(int event) { return event % kLawCounts; }

using BBEvents = std::array<double, kBBEvents>;

struct StateLaw {
    std::array<double, kModes * kLawCounts> v{};

    double& At(int mode, int count) { return v[static_cast<std::size_t>(mode * kLawCounts + count)]; }
    double At(int mode, int count) const { return v[static_cast<std::size_t>(mode * kLawCounts + count)]; }
    double Total() const;
    double ModeTotal(int mode) const;
    void Scale(double f);
    void Add(const StateLaw& o, double f = 1.0);

    static StateLaw From(const HiddenState& h);
};

class StateDynamics {
public:
    // Throws std::out_of_range for a setting outside 1..6.
    explicit StateDynamics(int setting);
    ~StateDynamics();
    StateDynamics(const StateDynamics&) = delete;
    StateDynamics& operator=(const StateDynamics&) = delete;

    int Setting() const { return model_.setting; }
    const GameModel& Model() const { return model_; }
    double PrecursorEnd(int count) const { return end_[static_cast<std::size_t>(count)]; }

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
    double BBGameNet(int event) const { return model_.netPerGame + model_.bb[static_cast<std::size_t>(EventKind(event) - 1)].meanMedals; }

    // The long-run law of BB events (summing to 1) and of the state just
    // after a BB game.
    const BBEvents& LongRunEvents() const { return longRun_; }
    StateLaw LongRunAfterBB() const;

    // What is left without a BB of a stretch begun right after a BB of this
    // event when its game 1500 starts (the ceiling not yet applied).
    const StateLaw& AtCeiling(int event) const;

private:
    struct Ceilings;
    GameModel model_;
    std::array<double, kLawCounts> end_{}, stay_{};
    BBEvents longRun_{};
    std::unique_ptr<Ceilings> ceilings_;
};

// The six settings' dynamics, built once and shared by every thread.
const StateDynamics& Dynamics(int setting);

// Follows a run from a state law `since` games into its stretch (0: just
// after a BB game) over the games to come, all later stretches included.
// The mass is kept apart by how many BBs it has played so far, 0 to
// `tracked` (the last holding that many or more).
class RunLaw {
public:
    RunLaw(const StateDynamics& d, const StateLaw& start, std::int32_t since, int tracked = 1);
    ~RunLaw();

    // Plays one more game.
    void Next();
    std::int64_t Played() const { return played_; }
    // The chance that the game just played played a BB of a kind (0 blue,
    // 1 red) with `before` BBs before it (0..tracked).
    double BBChance(int before, int kindIndex) const;
    // The chance of having played exactly `bbs` BBs so far (the last
    // tracked count: that many or more).
    double Holding(int bbs) const;

private:
    struct Parts;
    const StateDynamics& d_;
    std::unique_ptr<Parts> p_;
    std::int64_t played_ = 0;
};

}  // namespace morvane
