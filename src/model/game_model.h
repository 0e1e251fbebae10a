#pragma once
// Exact probabilities of one game and of one BB at a setting, taken from the
// machine's weight tables: every draw is uniform over its modulus.
#include <array>

#include "machine/vocabulary.h"

namespace morvane {

inline constexpr int kBBKinds = 2;  // index 0 blue, 1 red (bbKind - 1)

// One BB of a given kind: what its continuation does, set by set.
struct BBModel {
    std::array<double, kKModes> kmode{};  // continuation mode drawn at its start
    // Per continuation mode: the chance that a later set continues, and the
    // ending outcomes 0..3 given that a set does not continue.
    std::array<double, kKModes> continueChance{};
    std::array<std::array<double, 4>, kKModes> ending{};
    std::array<double, kModes> endMode{};  // the mode the BB leaves behind
    double meanSets = 0;                   // continued sets
    double meanMedals = 0;                 // net medals of its inner games and set bonuses
    double medalVariance = 0;

    // Probability that the BB has exactly n continued sets (n >= 1).
    double SetsProbability(int n) const;
    // Mean continued sets for one continuation mode: 1 / (1 - continue chance).
    double MeanSets(int km) const { return 1.0 / (1.0 - continueChance[static_cast<std::size_t>(km)]); }
};

struct GameModel {
    int setting = 1;
    std::array<double, kKoyakuKinds> koyaku{};  // small win of any game
    double netPerGame = 0;                      // its payout less the bet
    // An ordinary game's mode step: from Hamari/LowProb/HighProb to 0..5.
    std::array<std::array<double, kModes>, kOrdinaryModes> modeStep{};
    // One game of a BB's EndToNormal set, with its upward cascade; Precursor,
    // Blue7 and Red7 stay put inside the BB.
    std::array<std::array<double, kModes>, kModes> cascadeStep{};
    std::array<double, kOrdinaryModes> initMode{};
    // The mode-change draw after each small win: row m is the law of the next
    // mode from ordinary mode m (the mode itself when no table is selected).
    std::array<std::array<std::array<double, kModes>, kOrdinaryModes>, kKoyakuKinds> modeChange{};
    // The mode an EndToNormal set leaves: its initial mode, then six cascade games.
    std::array<double, kModes> normalEnd{};
    std::array<BBModel, kBBKinds> bb{};
};

// Throws std::out_of_range for a setting outside 1..6.
GameModel BuildGameModel(int setting);

}  // namespace morvane
