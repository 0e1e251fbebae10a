#include "machine/slot.h"

#include <ctime>
#include <stdexcept>

namespace morvane {

Slot::Slot() : Slot(static_cast<std::uint32_t>(std::time(nullptr))) {}

Slot::Slot(std::uint32_t seed) : draws_(std::make_unique<DrawTables>()) {
    rng_.SeedRandom(seed);
    for (auto& t : tables_) t.Clear();
    for (int id = 0; id < kTableCount; ++id)
        for (std::int32_t w : TableWeights(id)) tables_[static_cast<std::size_t>(id)].Add(w);
    draws_->Build(tables_, flevel);
}

void Slot::SetFlevel(int s) {
    if (!ValidSetting(s)) throw std::out_of_range("setting must be 1 to 6");
    if (s != flevel) {
        flevel = s;
        draws_->Build(tables_, flevel);
    }
    Reset();
}

void Slot::Reset() {
    mode = draws_->InitMode(rng_.Rand31() & (kInitModeModulus - 1));
    gamesSinceBB = 0;
    playCount = 0;
    medalBalance = 0;
    bbSets = 0;
}

namespace {
inline std::int32_t Draw(std::uint64_t& s, std::int32_t mask) {
    s = s * Random::kMul + 1;
    return Random::Output(s) & mask;
}
}  // namespace

LoopState PlayBB(const DrawTables& d, LoopState h) {
    h.bbKind = h.mode == Blue7 ? BlueBB : RedBB;
    h.koyaku = BBGame;
    h.kmode = d.KMode(h.bbKind, Draw(h.s, kKModeModulus - 1));
    h.bbSets = 0;
    for (;;) {
        int c = Continue;
        if (h.bbSets != 0) {
            c = d.Keizoku(h.kmode, Draw(h.s, kKeizokuModulus - 1));
            if (c == EndToNormal) h.mode = d.InitMode(Draw(h.s, kInitModeModulus - 1));
        }
        const auto& payout = c == Continue ? kContinuePayout : kPayout;
        for (int g = 0; g < kGamesPerSet; ++g) {
            const int k = d.Koyaku(Draw(h.s, kKoyakuModulus - 1));
            h.medalBalance = AddMedals(h.medalBalance, payout[static_cast<std::size_t>(k)] - kBet);
            if (c == EndToNormal) {
                // The ordinary modes cascade upward within one game.
                for (int m = Hamari; m <= HighProb; ++m)
                    if (h.mode == m) h.mode = d.NextMode(m, k, Draw(h.s, kModeModulus - 1));
            }
        }
        switch (c) {
        case EndToNormal: return h;
        case EndToPrecursor: h.mode = Precursor; return h;
        case EndToBlue7: h.mode = Blue7; return h;
        case EndToRed7: h.mode = Red7; return h;
        default:
            h.medalBalance = AddMedals(h.medalBalance, kSetBonus);
            ++h.bbSets;
        }
    }
}

}  // namespace morvane
