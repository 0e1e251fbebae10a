#include "model/state_law.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace morvane {

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
    std::vector<std::vector<BBEvents>> entered;        // by index, a ring of kCeilingGames games
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
