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

MachineState Slot::Save() const {
    return {rng_.State(), flevel, precursorCount, gamesSinceBB, playCount, medalBalance,
            bbKind,       kmode,  bbSets,         mode,         koyaku};
}

void Slot::Restore(const MachineState& state) {
    if (!ValidSetting(state.flevel)) throw std::out_of_range("setting must be 1 to 6");
    if (state.flevel != flevel) {
        flevel = state.flevel;
        draws_->Build(tables_, flevel);
    }
    rng_.SetState(state.rng);
    precursorCount = state.precursorCount;
    gamesSinceBB = state.gamesSinceBB;
    playCount = state.playCount;
    medalBalance = state.medalBalance;
    bbKind = state.bbKind;
    kmode = state.kmode;
    bbSets = state.bbSets;
    mode = state.mode;
    koyaku = state.koyaku;
}

namespace {
inline std::int32_t Draw(std::uint64_t& s, std::int32_t mask) {
    s = s * Random::kMul + 1;
    return Random::Output(s) & mask;
}

// The small-win draws 1..7 steps on, moved up (see detail::kTopMul).
struct TopJumps {
    std::array<std::uint64_t, 8> mul{}, add{};
};
constexpr TopJumps kTopJumps = [] {
    TopJumps t;
    for (int j = 0; j < 8; ++j) {
        t.mul[static_cast<std::size_t>(j)] = JumpBy(j).mul << detail::kTopShift;
        t.add[static_cast<std::size_t>(j)] = JumpBy(j).add << detail::kTopShift;
    }
    return t;
}();
static_assert(kTopJumps.mul[1] == detail::kTopMul && kTopJumps.add[1] == detail::kTopAdd);
constexpr Jump kFirstSet = JumpBy(kGamesPerSet);
constexpr Jump kFurtherSet = JumpBy(1 + kGamesPerSet);  // the continuation draw and the games

inline constexpr std::array<std::uint32_t, kKoyakuKinds> kContinuedNet = [] {
    std::array<std::uint32_t, kKoyakuKinds> a{};
    for (std::size_t k = 0; k < a.size(); ++k) a[k] = static_cast<std::uint32_t>(kContinuePayout[k] - kBet);
    return a;
}();

// The net medals of a continued set whose six small-win draws are the
// states `first` .. `first` + 5 steps after s. Each draw comes straight from
// s, so the six run side by side instead of one after another.
template <std::size_t first>
inline std::uint32_t ContinuedSetNet(const DrawTables& d, std::uint64_t s) {
    std::uint32_t net = 0;
    for (std::size_t g = first; g < first + kGamesPerSet; ++g)
        net += kContinuedNet[d.KoyakuOfTop(s * kTopJumps.mul[g] + kTopJumps.add[g])];
    return net;
}
}  // namespace

void PlayBBInPlace(const DrawTables& d, LoopState& h) { h = PlayBB(d, h); }

LoopState PlayBB(const DrawTables& d, LoopState h) {
    h.bbKind = h.mode == Blue7 ? BlueBB : RedBB;
    h.koyaku = BBGame;
    h.kmode = d.KMode(h.bbKind, Draw(h.s, kKModeModulus - 1));
    // The first set always continues.
    std::uint64_t s = h.s;
    std::uint32_t balance = static_cast<std::uint32_t>(h.medalBalance) + ContinuedSetNet<1>(d, s) + kSetBonus;
    s = s * kFirstSet.mul + kFirstSet.add;
    h.bbSets = 1;
    // Further sets: the continuation draw and the set's six games are drawn
    // together; a continuation is far more likely than an end.
    int c;
    for (;;) {
        const std::uint64_t s1 = s * Random::kMul + 1;
        c = d.Keizoku(h.kmode, Random::Output(s1) & (kKeizokuModulus - 1));
        const std::uint32_t net = ContinuedSetNet<2>(d, s);
        if (c != Continue) [[unlikely]] {
            s = s1;
            break;
        }
        balance += net + kSetBonus;
        s = s * kFurtherSet.mul + kFurtherSet.add;
        ++h.bbSets;
    }
    // The last set, one draw after another: its games may change the mode.
    h.s = s;
    h.medalBalance = static_cast<std::int32_t>(balance);
    if (c == EndToNormal) h.mode = d.InitMode(Draw(h.s, kInitModeModulus - 1));
    for (int g = 0; g < kGamesPerSet; ++g) {
        const int k = d.Koyaku(Draw(h.s, kKoyakuModulus - 1));
        h.medalBalance = AddMedals(h.medalBalance, kNetPayout[static_cast<std::size_t>(k)]);
        if (c == EndToNormal) {
            // The ordinary modes cascade upward within one game.
            for (int m = Hamari; m <= HighProb; ++m)
                if (h.mode == m) h.mode = d.NextMode(m, k, Draw(h.s, kModeModulus - 1));
        }
    }
    switch (c) {
    case EndToPrecursor: h.mode = Precursor; break;
    case EndToBlue7: h.mode = Blue7; break;
    case EndToRed7: h.mode = Red7; break;
    default: break;
    }
    return h;
}

}  // namespace morvane
