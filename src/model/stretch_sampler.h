#pragma once
// The hidden chain played forward, game by game, from a state at a counter
// until the BB game, each game's small win drawn: what the recursions give
// as laws, one stretch at a time. For figures no recursion gives cheaply.
#include <cstdint>
#include <vector>

#include "model/dynamics.h"
#include "model/state_law.h"

namespace morvane {

// 64 random bits, and a uniform in [0, 1), from a splitmix64 stream.
std::uint64_t NextBits(std::uint64_t& state);
double NextUniform(std::uint64_t& state);

class StretchSampler {
public:
    explicit StretchSampler(const StateDynamics& d);

    // A state (mode, precursor count) drawn from a law, which need not sum
    // to 1.
    static void DrawState(const StateLaw& law, double u, int& mode, int& count);

    // Plays from (mode, count) at counter `since` until the BB game: the
    // balance before each game, the first 0 and the last the BB game's,
    // into `balances`. Returns the BB's kind (0 blue, 1 red).
    int Play(int mode, int count, std::int32_t since, std::uint64_t& rng, std::vector<std::int32_t>& balances) const;

private:
    int DrawWin(double u) const;
    const StateDynamics& d_;
    std::array<double, kKoyakuKinds> win_{};  // cumulative
    // By the top bits of a draw: the first small win it may be.
    static constexpr int kGuideBits = 10;
    std::array<std::uint8_t, 1 << kGuideBits> guide_{};
    // Cumulative law of the next mode after small win k from ordinary mode m.
    std::array<std::array<std::array<double, kModes>, kOrdinaryModes>, kKoyakuKinds> next_{};
};

}  // namespace morvane
