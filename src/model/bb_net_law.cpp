#include "model/bb_net_law.h"

#include <cmath>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "model/dynamics.h"

namespace morvane {

struct BBNetLaw::Built {
    BBNetParts parts;
    std::array<BBNetLaw, kBBKinds> laws;
};

const std::array<BBNetLaw, kBBKinds>& BBNetLaw::ForSetting(int setting) { return Build(setting).laws; }

const BBNetParts& BBNetLaw::PartsFor(int setting) { return Build(setting).parts; }

const BBNetLaw::Built& BBNetLaw::Build(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    static std::array<std::once_flag, kMaxSetting> once;
    static std::array<Built, kMaxSetting> built;
    const auto si = static_cast<std::size_t>(setting - 1);
    std::call_once(once[si], [&] {
        const GameModel& g = Dynamics(setting).Model();
        // One game's net in a continued set and in a normal game (the last
        // set and the BB game's own small win), by net + 3.
        constexpr int kNetSpan = 11;
        std::array<double, kNetSpan> cont{}, normal{};
        for (int k = 0; k < kKoyakuKinds; ++k) {
            cont[static_cast<std::size_t>(kContinuePayout[k] - kBet + 3)] += g.koyaku[static_cast<std::size_t>(k)];
            normal[static_cast<std::size_t>(kNetPayout[k] + 3)] += g.koyaku[static_cast<std::size_t>(k)];
        }
        const auto convolve = [](const std::vector<double>& a, const std::array<double, kNetSpan>& b) {
            std::vector<double> out(a.size() + kNetSpan - 1, 0.0);
            for (std::size_t i = 0; i < a.size(); ++i)
                for (std::size_t j = 0; j < kNetSpan; ++j) out[i + j] += a[i] * b[j];
            return out;
        };
        // A continued set: six games and the set's bonus, from 108 - 18 up.
        std::vector<double> set = {1.0};
        for (int i = 0; i < kGamesPerSet; ++i) set = convolve(set, cont);
        const std::int64_t setLo = kSetBonus - 3 * kGamesPerSet;
        const std::int64_t setHi = setLo + static_cast<std::int64_t>(set.size()) - 1;
        // The last set and the BB game's small win: seven normal games.
        std::vector<double> tail = {1.0};
        for (int i = 0; i <= kGamesPerSet; ++i) tail = convolve(tail, normal);
        const std::int64_t tailLo = -3 * (kGamesPerSet + 1);

        // Per continuation mode, N >= 1 continued sets with P(N = n) =
        // (1 - q) q^(n - 1): U = S * ((1 - q) delta + q U), filled upward
        // from the lowest net, until more sets than that have a chance
        // below 1e-18. Index: net - setLo.
        std::array<std::vector<double>, kKModes> u;
        const BBModel& any = g.bb[0];
        for (std::size_t km = 0; km < kKModes; ++km) {
            const double q = any.continueChance[km];
            const auto most = static_cast<std::int64_t>(std::ceil(std::log(1e-18) / std::log(q))) + 1;
            std::vector<double>& v = u[km];
            v.assign(static_cast<std::size_t>(most * setHi - setLo + 1), 0.0);
            for (std::size_t x = 0; x < v.size(); ++x) {
                double sum = x < set.size() ? (1 - q) * set[x] : 0.0;
                // Another set of net setLo + j on top of U at x - j - setLo.
                const auto reach = static_cast<std::int64_t>(x) - setLo;
                // Four sums side by side, so the adds need not wait on each other.
                const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(set.size()) - 1, reach) + 1;
                std::array<double, 4> more{};
                std::int64_t j = 0;
                for (; j + 4 <= n; j += 4)
                    for (std::size_t k = 0; k < 4; ++k)
                        more[k] += set[static_cast<std::size_t>(j) + k] * v[static_cast<std::size_t>(reach - j) - k];
                for (; j < n; ++j) more[0] += set[static_cast<std::size_t>(j)] * v[static_cast<std::size_t>(reach - j)];
                v[x] = sum + q * ((more[0] + more[1]) + (more[2] + more[3]));
            }
        }
        for (int kind = 0; kind < kBBKinds; ++kind) {
            std::vector<double> sets;
            for (std::size_t km = 0; km < kKModes; ++km) {
                const double w = g.bb[static_cast<std::size_t>(kind)].kmode[km];
                if (w == 0) continue;
                if (sets.size() < u[km].size()) sets.resize(u[km].size(), 0.0);
                for (std::size_t x = 0; x < u[km].size(); ++x) sets[x] += w * u[km][x];
            }
            std::vector<double> pmf(sets.size() + tail.size() - 1, 0.0);
            for (std::size_t i = 0; i < sets.size(); ++i)
                for (std::size_t j = 0; j < tail.size(); ++j) pmf[i + j] += sets[i] * tail[j];
            BBNetLaw& law = built[si].laws[static_cast<std::size_t>(kind)];
            law.lo_ = setLo + tailLo;
            law.reversed_.resize(pmf.size());
            double cum = 0;
            for (std::size_t i = 0; i < pmf.size(); ++i) {
                cum += pmf[i];
                law.reversed_[pmf.size() - 1 - i] = cum;
                law.mean_ += pmf[i] * static_cast<double>(law.lo_ + static_cast<std::int64_t>(i));
            }
        }
        BBNetParts& parts = built[si].parts;
        parts.setLo = setLo;
        parts.set = std::move(set);
        parts.tailLo = tailLo;
        parts.tail = std::move(tail);
        parts.continueChance = any.continueChance;
        for (std::size_t kind = 0; kind < kBBKinds; ++kind) parts.kmode[kind] = g.bb[kind].kmode;
    });
    return built[si];
}

}  // namespace morvane
