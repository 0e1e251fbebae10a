#include "sessions/sampled_machine.h"

namespace morvane {

SessionDraws::SessionDraws(std::uint32_t seed, std::uint32_t index)
    : s_((std::uint64_t{seed} << 32 | index) ^ 0xD1B54A32D192ED03ULL) {}

double SessionDraws::Uniform() {
    std::uint64_t z = (s_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-53;
}

int DrawSetting(const std::array<double, kMaxSetting>& p, double u) {
    int last = kMinSetting;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const double w = p[static_cast<std::size_t>(s - 1)];
        if (w <= 0) continue;
        last = s;
        if (u < w) return s;
        u -= w;
    }
    return last;  // what rounding leaves over
}

HiddenDraw DrawHidden(const HiddenState& law, double u) {
    HiddenDraw last;
    for (int c = 0; c < kPrecursorSpan; ++c) {
        const auto cc = static_cast<std::size_t>(c);
        for (int m = 0; m < kModes; ++m) {
            const double w = m == Precursor ? law.pre[cc] : law.layer[cc][static_cast<std::size_t>(m)];
            if (w <= 0) continue;
            last = {m, c};
            if (u < w) return last;
            u -= w;
        }
    }
    return last;
}

Slot& SessionMachines::Fresh(int setting, std::uint32_t seed) {
    auto& slot = slots_[static_cast<std::size_t>(setting - 1)];
    if (!slot) slot = std::make_unique<Slot>(0u);
    slot->Rng().SeedRandom(seed);
    slot->precursorCount = slot->gamesSinceBB = slot->playCount = slot->medalBalance = 0;
    slot->bbKind = slot->kmode = slot->bbSets = slot->mode = slot->koyaku = 0;
    slot->SetFlevel(setting);
    slot->Reset();
    return *slot;
}

Slot& SessionMachines::Placed(int setting, const HiddenDraw& state, std::int32_t since, std::uint32_t seed) {
    Slot& slot = Fresh(setting, seed);
    slot.mode = state.mode;
    slot.precursorCount = state.count;
    slot.gamesSinceBB = since;
    return slot;
}

}  // namespace morvane
