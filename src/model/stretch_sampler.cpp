#include "model/stretch_sampler.h"

#include <cmath>

#include "model/precursor.h"

namespace morvane {

std::uint64_t NextBits(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double NextUniform(std::uint64_t& state) { return static_cast<double>(NextBits(state) >> 11) * 0x1.0p-53; }

StretchSampler::StretchSampler(const StateDynamics& d) : d_(d) {
    const GameModel& g = d.Model();
    double sum = 0;
    for (std::size_t k = 0; k < kKoyakuKinds; ++k) win_[k] = sum += g.koyaku[k];
    for (std::size_t i = 0; i < guide_.size(); ++i)
        guide_[i] = static_cast<std::uint8_t>(DrawWin(std::ldexp(static_cast<double>(i), -kGuideBits)));
    for (std::size_t k = 0; k < kKoyakuKinds; ++k)
        for (std::size_t m = 0; m < kOrdinaryModes; ++m) {
            double c = 0;
            for (std::size_t to = 0; to < kModes; ++to) next_[k][m][to] = c += g.modeChange[k][m][to];
        }
}

void StretchSampler::DrawState(const StateLaw& law, double u, int& mode, int& count) {
    u *= law.Total();
    for (int m = 0; m < kModes; ++m)
        for (int c = 0; c < kLawCounts; ++c) {
            const double w = law.At(m, c);
            if (w <= 0) continue;
            mode = m;
            count = c;
            if (u < w) return;
            u -= w;
        }
}

int StretchSampler::DrawWin(double u) const {
    // Every draw at or above the guide's start takes at least its small win.
    // (Scaling by a power of two is exact: the bucket ldexp would give.)
    int k = guide_[static_cast<std::size_t>(u * double(1 << kGuideBits))];
    while (k + 1 < kKoyakuKinds && u >= win_[static_cast<std::size_t>(k)]) ++k;
    return k;
}

int StretchSampler::Play(int mode, int count, std::int32_t since, std::uint64_t& rng,
                         std::vector<std::int32_t>& balances) const {
    balances.clear();
    std::int32_t balance = 0;
    // A precursor game from count c: its small win, then its end or the
    // next count.
    const auto precursorStep = [&] {
        balance += kNetPayout[static_cast<std::size_t>(DrawWin(NextUniform(rng)))];
        if (NextUniform(rng) < d_.PrecursorEnd(count)) {
            mode = NextUniform(rng) < kPrecursorRedShare ? Red7 : Blue7;
            count = 0;
        } else {
            mode = Precursor;
            ++count;
        }
    };
    for (std::int32_t game = since + 1;; ++game) {
        balances.push_back(balance);
        if (game == kCeilingGames) {
            // The ceiling's coin: a blue BB now, or a precursor step.
            if (NextUniform(rng) < 0.5) return 0;
            precursorStep();
            continue;
        }
        if (mode == Blue7) return 0;
        if (mode == Red7) return 1;
        if (mode == Precursor) {
            precursorStep();
            continue;
        }
        // An ordinary game: its small win and the mode it leaves, both from
        // one draw's two halves.
        const std::uint64_t z = NextBits(rng);
        const int k = DrawWin(static_cast<double>(z >> 32) * 0x1.0p-32);
        balance += kNetPayout[static_cast<std::size_t>(k)];
        const auto& to = next_[static_cast<std::size_t>(k)][static_cast<std::size_t>(mode)];
        const double u = static_cast<double>(z & 0xFFFFFFFFu) * 0x1.0p-32 * to[kModes - 1];
        // The first mode whose cumulative chance passes u. Most games stay
        // in their mode: tested first, so that the next game need not wait
        // for the comparisons; else, as the law is cumulative, the count of
        // those u passes.
        const auto stay = static_cast<std::size_t>(mode);
        if ((stay == 0 || u >= to[stay - 1]) && u < to[stay]) continue;
        int m = 0;
        for (std::size_t j = 0; j + 1 < kModes; ++j) m += u >= to[j];
        mode = m;
    }
}

}  // namespace morvane
