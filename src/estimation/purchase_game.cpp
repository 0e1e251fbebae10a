#include "estimation/purchase_game.h"

#include <stdexcept>

namespace morvane {

PurchaseGame::PurchaseGame(const StateDynamics& d) : bb(BBNetLaw::PartsFor(d.Setting())) {
    const GameModel& g = d.Model();
    for (int k = 0; k < kKoyakuKinds; ++k) {
        const auto n = static_cast<std::size_t>(kNetPayout[k] - kLeastNet);
        win[n] += g.koyaku[k];
        for (std::size_t m = 0; m < kOrdinaryModes; ++m)
            for (std::size_t to = 0; to < kModes; ++to) taps[m][to][n] += g.koyaku[k] * g.modeChange[k][m][to];
    }
    // Held medals never fall while a BB is played.
    if (bb.setLo + bb.tailLo < 0) throw std::logic_error("a BB's net below 0 would let held medals fall");
    for (std::size_t km = 0; km < kKModes; ++km) ending[km] = g.bb[0].ending[km];
    normalEnd = g.normalEnd;
}

}  // namespace morvane
