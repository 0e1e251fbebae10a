#pragma once
// The law of a run to come, game by game over all its stretches, on the
// model's hidden chain (model/dynamics.h). What the player's figures stand
// on: the machine now and the value of playing on.
#include <cstdint>
#include <memory>

#include "model/dynamics.h"
#include "model/likelihood.h"

namespace morvane {

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
