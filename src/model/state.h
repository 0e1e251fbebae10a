#pragma once
// The machine's hidden state between two games, as a law: mass by (mode,
// precursor count). A row is the mode the game just played leaves (Blue7
// and Red7 play their BB in the next game); a column is the precursor count
// the machine carries. Ordinary modes keep the count a ceiling's Blue7 left
// behind, a precursor steps it, and a precursor's end resets it.
//
// The BBs the state plays leave it as events: a BB by kind and the count it
// carried, which the BB leaves untouched.
#include <array>
#include <cstddef>

#include "machine/vocabulary.h"
#include "model/game_model.h"

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
};

}  // namespace morvane
