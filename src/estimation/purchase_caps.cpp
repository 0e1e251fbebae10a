#include "estimation/purchase_caps.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace morvane {

std::vector<int> PurchaseCaps(const std::array<double, kNets>& win, std::int32_t games) {
    std::vector<int> caps(static_cast<std::size_t>(games) + 1, 0);
    const auto logPhi = [&](double t) {
        double phi = 0;
        for (int n = 0; n < kNets; ++n) phi += win[static_cast<std::size_t>(n)] * std::exp(-t * (n + kLeastNet));
        return std::log(phi);
    };
    // A grid of t is enough: any t gives a bound.
    std::vector<std::pair<double, double>> grid;
    for (double t = 0.005; t < 4; t *= 1.05) grid.emplace_back(t, logPhi(t));
    for (std::int32_t r = 1; r <= games; ++r) {
        double best = 3.0 + 3.0 * (r - 1);
        for (const auto& [t, lp] : grid) best = std::min(best, 2.0 + ((r - 1) * lp - std::log(kUnlikely)) / t);
        caps[static_cast<std::size_t>(r)] = static_cast<int>(std::ceil(best));
    }
    return caps;
}

}  // namespace morvane
