#include "analysis/state_law.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace morvane {

double StateLaw::Total() const {
    double t = 0;
    for (double p : v) t += p;
    return t;
}

double StateLaw::ModeTotal(int mode) const {
    double t = 0;
    for (int c = 0; c < kLawCounts; ++c) t += At(mode, c);
    return t;
}

void StateLaw::Scale(double f) {
    for (double& p : v) p *= f;
}

void StateLaw::Add(const StateLaw& o, double f) {
    for (std::size_t i = 0; i < v.size(); ++i) v[i] += f * o.v[i];
}

StateLaw StateLaw::From(const HiddenState& h) {
    StateLaw s;
    for (int c = 0; c < kLawCounts; ++c) {
        const auto cc = static_cast<std::size_t>(c);
        s.At(Precursor, c) = h.pre[cc];
        for (int m = 0; m < kModes; ++m)
            if (m != Precursor) s.At(m, c) = h.layer[cc][static_cast<std::size_t>(m)];
    }
    return s;
}

struct StateDynamics::Ceilings {
    std::once_flag once;
    std::array<StateLaw, kBBEvents> at;
};

StateDynamics::StateDynamics(int setting) : model_(BuildGameModel(setting)), ceilings_(std::make_unique<Ceilings>()) {
    // Rand31 mod n gives 0 for ceil(2^31 / n) of the 2^31 values.
    for (int c = 0; c < kLawCounts; ++c) {
        const std::int64_t n = kLawCounts - c;
        const std::int64_t zeros = (std::int64_t{1} << 31) / n + ((std::int64_t{1} << 31) % n != 0);
        end_[static_cast<std::size_t>(c)] = static_cast<double>(zeros) / 2147483648.0;
        stay_[static_cast<std::size_t>(c)] = static_cast<double>((std::int64_t{1} << 31) - zeros) / 2147483648.0;
    }
    // The BB events' chain, from any start, until it no longer moves: the
    // kind forgets itself within a stretch and a carried count ends with
    // the next precursor, so a few dozen stretches settle it.
    BBEvents events{};
    events[BBEvent(BlueBB, 0)] = 1.0;
    for (int round = 0; round < 100; ++round) {
        StateLaw a, b;
        AddAfterBB(events, a);
        BBEvents next{};
        for (std::int32_t game = 1; game <= kMaxGamesSinceBB; ++game) {
            Game(a, game, b, next);
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
    longRun_ = events;
}

StateDynamics::~StateDynamics() = default;

void StateDynamics::Game(const StateLaw& in, std::int32_t gameSince, StateLaw& out, BBEvents& bb) const {
    out = {};
    if (gameSince == kCeilingGames) {
        CeilingGame(in, out, bb);
        return;
    }
    // Mode by mode over all counts at once: the rows are contiguous.
    const auto& step = model_.modeStep;
    const double* v = in.v.data();
    double* o = out.v.data();
    for (int m = 0; m < kOrdinaryModes; ++m) {
        const double* from = v + m * kLawCounts;
        for (int to = 0; to < kModes; ++to) {
            const double w = step[static_cast<std::size_t>(m)][static_cast<std::size_t>(to)];
            if (w == 0) continue;
            double* into = o + to * kLawCounts;
            for (int c = 0; c < kLawCounts; ++c) into[c] += w * from[c];
        }
    }
    for (int c = 0; c < kLawCounts; ++c) {
        bb[static_cast<std::size_t>(BBEvent(BlueBB, c))] += v[Blue7 * kLawCounts + c];
        bb[static_cast<std::size_t>(BBEvent(RedBB, c))] += v[Red7 * kLawCounts + c];
    }
    const double* pre = v + Precursor * kLawCounts;
    double ended = 0;
    for (int c = 0; c < kLawCounts; ++c) ended += pre[c] * end_[static_cast<std::size_t>(c)];
    double* preOut = o + Precursor * kLawCounts;
    for (int c = 0; c + 1 < kLawCounts; ++c) preOut[c + 1] += pre[c] * stay_[static_cast<std::size_t>(c)];
    out.At(Red7, 0) += ended * kPrecursorRedShare;
    out.At(Blue7, 0) += ended * (1.0 - kPrecursorRedShare);
}

void StateDynamics::CeilingGame(const StateLaw& in, StateLaw& out, BBEvents& bb) const {
    double ended = 0;
    for (int c = 0; c < kLawCounts; ++c) {
        double t = 0;
        for (int m = 0; m < kModes; ++m) t += in.At(m, c);
        if (t == 0) continue;
        const double half = t / 2;
        bb[BBEvent(BlueBB, c)] += half;
        ended += half * end_[static_cast<std::size_t>(c)];
        if (c + 1 < kLawCounts) out.At(Precursor, c + 1) += half * stay_[static_cast<std::size_t>(c)];
    }
    out.At(Red7, 0) += ended * kPrecursorRedShare;
    out.At(Blue7, 0) += ended * (1.0 - kPrecursorRedShare);
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
        for (int s = kMinSetting; s <= kMaxSetting; ++s) a[static_cast<std::size_t>(s - 1)] = std::make_unique<StateDynamics>(s);
        return a;
    }();
    return *all[static_cast<std::size_t>(setting - 1)];
}

// Index 0 is the stretch the run starts in, whose games since the BB are
// known; index i >= 1 holds the later stretches entered after i BBs (the
// last index: that many or more). Each later index remembers, game by game
// for the last 1500 games, the BB events that started its stretches, so
// that the ceiling can be taken off the mass whose stretch began 1500 games
// back.
struct RunLaw::Parts {
    std::int32_t since = 0;
    StateLaw current, scratch;
    std::vector<StateLaw> later, laterNext;
    std::vector<std::vector<BBEvents>> entered;  // by index, a ring of kCeilingGames games
    std::vector<std::array<double, kBBKinds>> chance;  // of the game just played, by BBs before it
    std::vector<BBEvents> into;
};

RunLaw::RunLaw(const StateDynamics& d, const StateLaw& start, std::int32_t since, int tracked)
    : d_(d), p_(std::make_unique<Parts>()) {
    if (tracked < 1) throw std::invalid_argument("a run law tracks at least one BB");
    p_->since = since;
    p_->current = start;
    p_->later.resize(static_cast<std::size_t>(tracked));
    p_->laterNext.resize(static_cast<std::size_t>(tracked));
    p_->entered.resize(static_cast<std::size_t>(tracked));
    p_->chance.resize(static_cast<std::size_t>(tracked) + 1);
    p_->into.resize(static_cast<std::size_t>(tracked));
}

RunLaw::~RunLaw() = default;

double RunLaw::BBChance(int before, int kindIndex) const {
    return p_->chance[static_cast<std::size_t>(before)][static_cast<std::size_t>(kindIndex)];
}

double RunLaw::Holding(int bbs) const {
    return bbs == 0 ? p_->current.Total() : p_->later[static_cast<std::size_t>(bbs - 1)].Total();
}

void RunLaw::Next() {
    Parts& p = *p_;
    ++played_;
    const auto tracked = p.later.size();
    for (auto& c : p.chance) c = {};
    auto tally = [&](std::size_t before, const BBEvents& bb) {
        for (int e = 0; e < kBBEvents; ++e) p.chance[before][static_cast<std::size_t>(EventKind(e) - 1)] += bb[e];
    };
    // Events that start stretches of each later index in this game.
    auto& into = p.into;
    for (auto& e : into) e = {};

    // The stretch the run started in, until its last possible game.
    if (p.since < kMaxGamesSinceBB) {
        BBEvents bb{};
        ++p.since;
        d_.Game(p.current, p.since, p.scratch, bb);
        std::swap(p.current, p.scratch);
        tally(0, bb);
        for (int e = 0; e < kBBEvents; ++e) into[0][e] += bb[e];
    }
    // The later stretches, each without the ceiling, which is taken off
    // the cohort that reaches it now.
    const std::size_t slot = static_cast<std::size_t>(played_ % kCeilingGames);
    for (std::size_t i = 0; i < tracked; ++i) {
        StateLaw& law = p.later[i];
        StateLaw& next = p.laterNext[i];
        BBEvents bb{};
        StateLaw cohort;
        bool ceiling = false;
        if (played_ > kCeilingGames && !p.entered[i].empty()) {
            const BBEvents& began = p.entered[i][slot];
            for (int e = 0; e < kBBEvents; ++e) {
                if (began[e] == 0) continue;
                cohort.Add(d_.AtCeiling(e), began[e]);
                ceiling = true;
            }
            if (ceiling) law.Add(cohort, -1.0);
        }
        d_.Game(law, 1, next, bb);
        if (ceiling) d_.CeilingGame(cohort, next, bb);
        std::swap(law, next);
        tally(i + 1, bb);
        const std::size_t to = std::min(i + 1, tracked - 1);
        for (int e = 0; e < kBBEvents; ++e) into[to][e] += bb[e];
    }
    for (std::size_t i = 0; i < tracked; ++i) {
        d_.AddAfterBB(into[i], p.later[i]);
        auto& ring = p.entered[i];
        bool any = false;
        for (double v : into[i]) any = any || v != 0;
        if (ring.empty() && !any) continue;
        if (ring.empty()) ring.resize(kCeilingGames);
        ring[slot] = into[i];
    }
}

}  // namespace morvane
