#pragma once
// How high held medals can be and still buy within the games left: past
// these caps a pass over held medals lets the mass go.
#include <array>
#include <cstdint>
#include <vector>

namespace morvane {

// A small win's net lies in -3 .. 7.
inline constexpr int kLeastNet = -3;
inline constexpr int kNets = 11;

// Mass held at h with r games left buys in them only when the small wins'
// nets fall by h - 2 within r - 1 games: a BB game pays more than any small
// win, so the nets of the small wins alone, drawn afresh each game whatever
// the state, fall at least as often. For any t > 0 the chance is at most
// phi(t)^(r-1) exp(-t (h - 2)), phi(t) = E exp(-t net) (the exponential
// martingale's maximal inequality). Mass from where it is below kUnlikely
// is let go: it would change the purchases by less than kUnlikely times
// the few hundred a player could make, and a game takes 3 medals at most,
// so from 3 + 3 (r - 1) none is bought at all. Caps by r.
inline constexpr double kUnlikely = 1e-20;
std::vector<int> PurchaseCaps(const std::array<double, kNets>& win, std::int32_t games);

}  // namespace morvane
