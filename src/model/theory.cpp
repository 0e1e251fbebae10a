#include "model/theory.h"

#include <cmath>
#include <utility>
#include <vector>

#include "machine/medals.h"
#include "model/linear.h"

namespace morvane {
namespace {

// The stretch from one state right after a BB to the next BB game.
struct Stretch {
    BBEvents next{};          // the BB event that ends it
    BBEvents lengthByNext{};  // E[games; ends in that event]
    double meanLength = 0;    // games, the ending BB game included
    double meanSquareLength = 0;
    std::array<double, kModes> modeGames{};  // games before the BB game, by recorded mode
    StateLaw atCeiling;                      // before game 1500: the mass still without a BB
};

Stretch FollowStretch(const StateDynamics& d, const StateLaw& start) {
    Stretch s;
    StateLaw a = start, b, played;
    StateLaw* x = &a;
    StateLaw* y = &b;
    BBEvents squareByNext{};
    for (std::int32_t game = 1; game <= kMaxGamesSinceBB; ++game) {
        BBEvents bb{};
        if (game == kCeilingGames) s.atCeiling = *x;
        d.Game(*x, game, *y, bb);
        const double g1 = game, g2 = g1 * g1;
        for (int e = 0; e < kBBEvents; ++e) {
            s.next[e] += bb[e];
            s.lengthByNext[e] += g1 * bb[e];
            squareByNext[e] += g2 * bb[e];
        }
        played.Add(*y);
        std::swap(x, y);
    }
    for (int e = 0; e < kBBEvents; ++e) {
        s.meanLength += s.lengthByNext[e];
        s.meanSquareLength += squareByNext[e];
    }
    for (int m = 0; m < kModes; ++m) s.modeGames[m] = played.ModeTotal(m);
    return s;
}

}  // namespace

struct SettingTheory::Stretches {
    std::array<Stretch, kBBEvents> byEvent;
    Stretch fromReset;
};

SettingTheory::SettingTheory(int setting) : d_(&Dynamics(setting)), stretches_(std::make_unique<Stretches>()) {
    const StateDynamics& d = *d_;
    const GameModel& g = d.Model();
    Stretches& st = *stretches_;
    for (int e = 0; e < kBBEvents; ++e) {
        BBEvents one{};
        one[e] = 1.0;
        StateLaw start;
        d.AddAfterBB(one, start);
        st.byEvent[e] = FollowStretch(d, start);
    }
    StateLaw reset;
    for (int m = 0; m < kOrdinaryModes; ++m) reset.At(m, 0) = g.initMode[m];
    st.fromReset = FollowStretch(d, reset);

    // Stationary law of the BB events: pi (I - K) = 0, sum pi = 1.
    Matrix a(kBBEvents, kBBEvents);
    std::vector<double> rhs(kBBEvents, 0.0);
    for (int to = 0; to < kBBEvents; ++to)
        for (int from = 0; from < kBBEvents; ++from) a(to, from) = (to == from ? 1.0 : 0.0) - st.byEvent[from].next[to];
    for (int from = 0; from < kBBEvents; ++from) a(kBBEvents - 1, from) = 1.0;
    rhs[kBBEvents - 1] = 1.0;
    const std::vector<double> pi = Solve(std::move(a), std::move(rhs));

    // Renewal-reward over stretches.
    LongRunFigures& f = longRun_;
    double mu = 0;
    std::array<double, kModes> modeGames{};
    for (int e = 0; e < kBBEvents; ++e) {
        mu += pi[e] * st.byEvent[e].meanLength;
        for (int m = 0; m < kModes; ++m) modeGames[m] += pi[e] * st.byEvent[e].modeGames[m];
        f.kindShare[EventKind(e) - 1] += pi[e];
    }
    f.gamesPerBB = mu;
    f.bbPerGame = 1.0 / mu;
    double bbMedals = 0;
    for (int kind = 0; kind < kBBKinds; ++kind) {
        const BBModel& b = g.bb[kind];
        const double share = f.kindShare[kind];
        bbMedals += share * b.meanMedals;
        f.setsPerBB += share * b.meanSets;
        for (int km = 0; km < kKModes; ++km) f.kmodeShare[km] += share * b.kmode[km];
        // The BB game records the mode the BB ends in.
        for (int m = 0; m < kModes; ++m) modeGames[m] += share * b.endMode[m];
    }
    f.medalsPerGame = g.netPerGame + bbMedals / mu;
    f.payoutPercent = PayoutPercent(f.medalsPerGame, kBet);
    for (int m = 0; m < kModes; ++m) f.modeShare[m] = modeGames[m] / mu;
    for (int k = 0; k < kKoyakuKinds; ++k) f.koyakuPerGame[k] = g.koyaku[k] * (1.0 - f.bbPerGame);

    // Variance of the games between first hits, with the correlation that the
    // event chain carries from one stretch to the next: h solves
    // (I - K + 1 pi) h = m - mu.
    Matrix b(kBBEvents, kBBEvents);
    std::vector<double> dev(kBBEvents);
    for (int e = 0; e < kBBEvents; ++e) {
        for (int to = 0; to < kBBEvents; ++to) b(e, to) = (e == to ? 1.0 : 0.0) - st.byEvent[e].next[to] + pi[to];
        dev[e] = st.byEvent[e].meanLength - mu;
    }
    const std::vector<double> h = Solve(std::move(b), std::move(dev));
    double var = 0;
    for (int e = 0; e < kBBEvents; ++e) {
        const Stretch& s = st.byEvent[e];
        double cross = 0;
        for (int to = 0; to < kBBEvents; ++to) cross += (s.lengthByNext[to] - mu * s.next[to]) * h[to];
        var += pi[e] * (s.meanSquareLength - 2 * mu * s.meanLength + mu * mu + 2 * cross);
    }
    f.intervalVariance = var;
}

SettingTheory::~SettingTheory() = default;
SettingTheory::SettingTheory(SettingTheory&&) noexcept = default;
SettingTheory& SettingTheory::operator=(SettingTheory&&) noexcept = default;

RunExpectation SettingTheory::ExpectedRun(std::int64_t games, bool settle) const {
    RunExpectation r;
    if (games <= 0) return r;
    const StateDynamics& d = *d_;
    const GameModel& g = d.Model();
    const Stretches& st = *stretches_;
    const LongRunFigures& f = longRun_;
    std::array<double, kBBKinds> rate{};
    for (int kind = 0; kind < kBBKinds; ++kind) rate[kind] = f.kindShare[kind] * f.bbPerGame;
    const double varianceRate = f.intervalVariance / (f.gamesPerBB * f.gamesPerBB * f.gamesPerBB);

    // The whole machine, game by game, as if there were no ceiling; at each
    // game the ceiling acts on the mass whose last BB (or reset) lies exactly
    // 1500 games back, which is that BB's events carried through 1499 games.
    // Beside the chances p, the same machine carries E[hits so far; state],
    // whose BB games give E[hits before; BB now] and so the second moment.
    struct Track {
        StateLaw a, b, cohort;
        StateLaw* now = &a;
        StateLaw* next = &b;
        std::vector<BBEvents> recent = std::vector<BBEvents>(kCeilingGames);  // BB events by game, mod 1500
    };
    Track p, w;
    for (int m = 0; m < kOrdinaryModes; ++m) p.now->At(m, 0) = g.initMode[m];

    auto play = [&](Track& tr, std::int64_t t, BBEvents& bb) {
        const std::int64_t back = t - kCeilingGames;
        if (back < 0) {
            d.Game(*tr.now, 1, *tr.next, bb);
            return;
        }
        StateLaw& y = tr.cohort;
        y = {};
        if (back == 0) {
            // Only the chances have a reset cohort; no hits came before it.
            if (&tr == &p) y = st.fromReset.atCeiling;
        } else {
            const BBEvents& u = tr.recent[static_cast<std::size_t>(back % kCeilingGames)];
            for (int e = 0; e < kBBEvents; ++e)
                if (u[e] != 0) y.Add(st.byEvent[e].atCeiling, u[e]);
        }
        tr.now->Add(y, -1.0);
        d.Game(*tr.now, 1, *tr.next, bb);
        d.CeilingGame(y, *tr.next, bb);
    };

    // The expectations are exact game by game; once the BB chances and the
    // growth of the variance have sat on their long-run values for a full
    // stretch, they stay there.
    constexpr double kSettled = 1e-15;
    constexpr double kVarianceSettled = 1e-12;
    double square = 0;  // E[hits^2]
    std::int64_t settledFor = 0;
    std::int64_t t = 0;
    // Settling takes some ten thousand games; the cap keeps the cost bounded
    // should rounding ever keep a chance from meeting its rate that closely.
    constexpr std::int64_t kMaxFollowed = std::int64_t{1} << 21;
    while (t < games && settledFor < kMaxGamesSinceBB && (!settle || t < kMaxFollowed)) {
        ++t;
        BBEvents bb{}, bbWeighted{};
        play(p, t, bb);
        play(w, t, bbWeighted);
        // E[hits after this game; event] = E[hits before; event] + P(event).
        for (int e = 0; e < kBBEvents; ++e) bbWeighted[e] += bb[e];
        p.recent[static_cast<std::size_t>(t % kCeilingGames)] = bb;
        w.recent[static_cast<std::size_t>(t % kCeilingGames)] = bbWeighted;
        std::array<double, kBBKinds> hit{};
        double hitWeighted = 0;
        for (int e = 0; e < kBBEvents; ++e) {
            if (bb[e] == 0) continue;
            hit[EventKind(e) - 1] += bb[e];
            hitWeighted += bbWeighted[e];
        }
        d.AddAfterBB(bb, *p.next);
        d.AddAfterBB(bbWeighted, *w.next);
        const double before = r.bbGamesVariance;
        r.balance += g.netPerGame;
        bool settled = true;
        for (int kind = 0; kind < kBBKinds; ++kind) {
            r.balance += hit[kind] * g.bb[kind].meanMedals;
            r.bbGames += hit[kind];
            r.sets += hit[kind] * g.bb[kind].meanSets;
            settled = settled && std::abs(hit[kind] - rate[kind]) <= kSettled;
        }
        // (C + B)^2 = C^2 + 2 C B + B with B = 0 or 1, so E[C'^2] = E[C^2] + 2 E[C'B] - E[B].
        const double hits = hit[0] + hit[1];
        square += 2 * hitWeighted - hits;
        r.bbGamesVariance = square - r.bbGames * r.bbGames;
        settled = settled && std::abs(r.bbGamesVariance - before - varianceRate) <= kVarianceSettled;
        std::swap(p.now, p.next);
        std::swap(w.now, w.next);
        settledFor = settle && settled ? settledFor + 1 : 0;
    }
    const double rest = static_cast<double>(games - t);
    r.balance += rest * f.medalsPerGame;
    r.bbGames += rest * f.bbPerGame;
    r.sets += rest * f.bbPerGame * f.setsPerBB;
    r.bbGamesVariance += rest * varianceRate;
    return r;
}

}  // namespace morvane
