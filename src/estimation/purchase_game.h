#pragma once
// A setting's game as the purchase passes step it, forward and backward: a
// small win's net, the mode step it draws by net, and a BB's net by its
// continuation mode, on which the way it ends hangs too.
#include <array>

#include "estimation/purchase_caps.h"
#include "model/bb_net_law.h"
#include "model/dynamics.h"

namespace morvane {

// A BB's ways to end: EndToNormal .. EndToRed7.
inline constexpr int kEnds = 4;

struct PurchaseGame {
    std::array<double, kNets> win{};                                                   // by net - kLeastNet
    std::array<std::array<std::array<double, kNets>, kModes>, kOrdinaryModes> taps{};  // [from][to][net]
    const BBNetParts& bb;
    std::array<std::array<double, kEnds>, kKModes> ending{};  // whatever the BB's kind
    std::array<double, kModes> normalEnd{};

    explicit PurchaseGame(const StateDynamics& d);
};

}  // namespace morvane
