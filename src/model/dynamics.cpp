#include "model/dynamics.h"

#include <mutex>
#include <stdexcept>
#include <utility>

#include "model/long_run.h"

namespace morvane {

struct StateDynamics::Ceilings {
    std::once_flag once;
    std::array<StateLaw, kBBEvents> at;
};

StateDynamics::StateDynamics(int setting) : model_(BuildGameModel(setting)), ceilings_(std::make_unique<Ceilings>()) {
    longRun_ = SettleBBEvents(*this);
}

StateDynamics::~StateDynamics() = default;

void StateDynamics::Game(const StateLaw& in, std::int32_t gameSince, StateLaw& out, BBEvents& bb) const {
    out = {};
    if (gameSince == kCeilingGames) {
        CeilingGame(in, out, bb);
        return;
    }
    // Mode by mode over all counts at once: the rows are contiguous.
    const double* v = in.v.data();
    double* o = out.v.data();
    StepOrdinaryModes(model_.modeStep, v, o, kLawCounts, kLawCounts);
    for (int c = 0; c < kLawCounts; ++c) {
        bb[static_cast<std::size_t>(BBEvent(BlueBB, c))] += v[Blue7 * kLawCounts + c];
        bb[static_cast<std::size_t>(BBEvent(RedBB, c))] += v[Red7 * kLawCounts + c];
    }
    const double ended = StepPrecursor(v + Precursor * kLawCounts, o + Precursor * kLawCounts);
    AddPrecursorEnd(ended, out.At(Blue7, 0), out.At(Red7, 0));
}

void StateDynamics::CeilingGame(const StateLaw& in, StateLaw& out, BBEvents& bb) const {
    // The coin sends half of each count to a blue BB this game and half to
    // a precursor that steps in it.
    std::array<double, kLawCounts> half{};
    for (int c = 0; c < kLawCounts; ++c) {
        double t = 0;
        for (int m = 0; m < kModes; ++m) t += in.At(m, c);
        half[static_cast<std::size_t>(c)] = t / 2;
        bb[BBEvent(BlueBB, c)] += half[static_cast<std::size_t>(c)];
    }
    std::array<double, kLawCounts> stepped{};
    const double ended = StepPrecursor(half.data(), stepped.data());
    for (int c = 1; c < kLawCounts; ++c) out.At(Precursor, c) += stepped[static_cast<std::size_t>(c)];
    AddPrecursorEnd(ended, out.At(Blue7, 0), out.At(Red7, 0));
}

void StateDynamics::AddAfterBB(const BBEvents& bb, StateLaw& out) const {
    for (int e = 0; e < kBBEvents; ++e) {
        const double mass = bb[e];
        if (mass == 0) continue;
        const auto& end = model_.bb[static_cast<std::size_t>(EventKind(e) - 1)].endMode;
        for (int m = 0; m < kModes; ++m) out.At(m, EventCount(e)) += mass * end[static_cast<std::size_t>(m)];
    }
}

StateLaw StateDynamics::LongRunAfterBB() const {
    StateLaw s;
    AddAfterBB(longRun_, s);
    return s;
}

const StateLaw& StateDynamics::AtCeiling(int event) const {
    std::call_once(ceilings_->once, [this] {
        for (int e = 0; e < kBBEvents; ++e) {
            BBEvents one{}, gone{};
            one[e] = 1.0;
            StateLaw a, b;
            AddAfterBB(one, a);
            for (std::int32_t game = 1; game < kCeilingGames; ++game) {
                Game(a, game, b, gone);
                std::swap(a, b);
            }
            ceilings_->at[e] = a;
        }
    });
    return ceilings_->at[static_cast<std::size_t>(event)];
}

const StateDynamics& Dynamics(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    static const std::array<std::unique_ptr<StateDynamics>, kMaxSetting> all = [] {
        std::array<std::unique_ptr<StateDynamics>, kMaxSetting> a;
        for (int s = kMinSetting; s <= kMaxSetting; ++s)
            a[static_cast<std::size_t>(s - 1)] = std::make_unique<StateDynamics>(s);
        return a;
    }();
    return *all[static_cast<std::size_t>(setting - 1)];
}

}  // namespace morvane
