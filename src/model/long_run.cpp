#include "model/long_run.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "model/dynamics.h"

namespace morvane {

BBEvents SettleBBEvents(const StateDynamics& d) {
    // The kind forgets itself within a stretch and a carried count ends with
    // the next precursor, so a few dozen stretches settle it.
    BBEvents events{};
    events[BBEvent(BlueBB, 0)] = 1.0;
    for (int round = 0; round < 100; ++round) {
        StateLaw a, b;
        d.AddAfterBB(events, a);
        BBEvents next{};
        for (std::int32_t game = 1; game <= kMaxGamesSinceBB; ++game) {
            d.Game(a, game, b, next);
            std::swap(a, b);
        }
        double total = 0, moved = 0;
        for (double p : next) total += p;
        for (int e = 0; e < kBBEvents; ++e) {
            next[e] /= total;
            moved = std::max(moved, std::abs(next[e] - events[e]));
        }
        events = next;
        if (moved < 1e-15) break;
    }
    return events;
}

}  // namespace morvane
