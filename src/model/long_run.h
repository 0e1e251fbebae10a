#pragma once
// The long run of the hidden chain: the law of the BB events, and so of the
// state just after a BB game, that one stretch carries into itself.
#include "model/state.h"

namespace morvane {

class StateDynamics;

// The BB events' chain, stretch by stretch from any start, until it no
// longer moves. Sums to 1.
BBEvents SettleBBEvents(const StateDynamics& d);

}  // namespace morvane
