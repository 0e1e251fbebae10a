#include "analysis/theory.h"

#include <cmath>
#include <utility>
#include <vector>

#include "analysis/linear.h"
#include "model/precursor.h"

namespace morvane {
namespace {

constexpr int kCounts = kPrecursorSpan;      // precursor count 0..31
constexpr int kEvents = kBBKinds * kCounts;  // a BB by kind and carried count

constexpr int Event(int kind, int count) { return kind * kCounts + count; }

// Where one unit of probability is between two games: row = mode (Blue7 and
// Red7 are about to play their BB), column = the precursor count the machine
// carries at that moment. A row is also the mode that the game just played
// records.
struct Dist {
    std::array<double, kModes * kCounts> v{};

    double& At(int mode, int count) { return v[mode * kCounts + count]; }
    double At(int mode, int count) const { return v[mode * kCounts + count]; }
    const double* Row(int mode) const { return v.data() + mode * kCounts; }
};

using EventMass = std::array<double, kEvents>;

// A precursor step at count c ends it with 1 / (32 - c).
constexpr std::array<double, kCounts> kPrecursorEnd = [] {
    std::array<double, kCounts> p{};
    for (int c = 0; c < kCounts; ++c) p[c] = 1.0 / (kCounts - c);
    return p;
}();

// One precursor step on the row `pre`, into out.
inline void PrecursorStep(const double* pre, Dist& out) {
    double ended = 0;
    for (int c = 0; c < kCounts; ++c) {
        const double end = pre[c] * kPrecursorEnd[c];
        ended += end;
        if (c + 1 < kCounts) out.At(Precursor, c + 1) += pre[c] - end;
    }
    out.At(Red7, 0) += ended * kPrecursorRedShare;
    out.At(Blue7, 0) += ended * (1.0 - kPrecursorRedShare);
}

// Counts [lo, hi) that the ordinary modes can hold: a stretch keeps the
// count its BB left until a precursor ends, and then the BB follows.
struct Columns {
    int lo = 0, hi = kCounts;
};

// A game below the ceiling. Ordinary modes take their mode-change draw, the
// precursor steps, and Blue7/Red7 play their BB: that mass leaves into bb.
void PlayGame(const GameModel& g, const Dist& in, Dist& out, EventMass& bb, Columns ord = {}) {
    out = {};
    for (int m = 0; m < kOrdinaryModes; ++m) {
        for (int to = 0; to < kModes; ++to) {
            const double w = g.modeStep[m][to];
            if (w == 0) continue;
            for (int c = ord.lo; c < ord.hi; ++c) out.At(to, c) += in.At(m, c) * w;
        }
    }
    PrecursorStep(in.Row(Precursor), out);
    for (int c = 0; c < kCounts; ++c) {
        bb[Event(BlueBB - 1, c)] += in.At(Blue7, c);
        bb[Event(RedBB - 1, c)] += in.At(Red7, c);
    }
}

// The game at 1500 games since the BB: whatever the mode, a coin sends it to
// the precursor (stepping in this game) or to a blue BB played at once; the
// precursor count goes along either way. Adds to out.
void PlayCeilingGame(const Dist& in, Dist& out, EventMass& bb) {
    std::array<double, kCounts> half{};
    for (int m = 0; m < kModes; ++m)
        for (int c = 0; c < kCounts; ++c) half[c] += in.At(m, c) / 2;
    for (int c = 0; c < kCounts; ++c) bb[Event(BlueBB - 1, c)] += half[c];
    PrecursorStep(half.data(), out);
}

// The machine right after a BB of this event: the BB's end mode, with the
// precursor count that the BB left untouched.
void AddAfterBB(const GameModel& g, int event, double mass, Dist& d) {
    const auto& end = g.bb[event / kCounts].endMode;
    for (int m = 0; m < kModes; ++m) d.At(m, event % kCounts) += mass * end[m];
}

struct Sparse {
    std::vector<std::pair<std::size_t, double>> cells;  // index into Dist::v
};

Sparse SparseOf(const Dist& d) {
    Sparse s;
    for (std::size_t i = 0; i < d.v.size(); ++i)
        if (d.v[i] != 0) s.cells.emplace_back(i, d.v[i]);
    return s;
}

// The stretch from one state right after a BB to the next BB game.
struct Stretch {
    EventMass next{};           // the BB event that ends it
    EventMass lengthByNext{};   // E[games; ends in that event]
    double meanLength = 0;      // games, the ending BB game included
    double meanSquareLength = 0;
    std::array<double, kModes> modeGames{};  // games before the BB game, by recorded mode
    Sparse atCeiling;           // before game 1500: the mass still without a BB
};

Stretch FollowStretch(const GameModel& g, const Dist& start, int count) {
    Stretch s;
    Dist a = start, b, played;
    Dist* x = &a;
    Dist* y = &b;
    EventMass squareByNext{};
    for (int game = 1; game <= kMaxGamesSinceBB; ++game) {
        EventMass bb{};
        if (game == kCeilingGames) {
            s.atCeiling = SparseOf(*x);
            *y = {};
            PlayCeilingGame(*x, *y, bb);
        } else {
            PlayGame(g, *x, *y, bb, {count, count + 1});
        }
        const double g1 = game, g2 = g1 * g1;
        for (int e = 0; e < kEvents; ++e) {
            s.next[e] += bb[e];
            s.lengthByNext[e] += g1 * bb[e];
            squareByNext[e] += g2 * bb[e];
        }
        for (std::size_t i = 0; i < played.v.size(); ++i) played.v[i] += y->v[i];
        std::swap(x, y);
    }
    for (int e = 0; e < kEvents; ++e) {
        s.meanLength += s.lengthByNext[e];
        s.meanSquareLength += squareByNext[e];
    }
    for (int m = 0; m < kModes; ++m)
        for (int c = 0; c < kCounts; ++c) s.modeGames[m] += played.At(m, c);
    return s;
}

}  // namespace

struct SettingTheory::Stretches {
    std::array<Stretch, kEvents> byEvent;
    Stretch fromReset;
};

SettingTheory::SettingTheory(int setting)
    : model_(BuildGameModel(setting)), stretches_(std::make_unique<Stretches>()) {
    const GameModel& g = model_;
    Stretches& st = *stretches_;
    for (int e = 0; e < kEvents; ++e) {
        Dist start;
        AddAfterBB(g, e, 1.0, start);
        st.byEvent[e] = FollowStretch(g, start, e % kCounts);
    }
    Dist reset;
    for (int m = 0; m < kOrdinaryModes; ++m) reset.At(m, 0) = g.initMode[m];
    st.fromReset = FollowStretch(g, reset, 0);

    // Stationary law of the BB events: pi (I - K) = 0, sum pi = 1.
    Matrix a(kEvents, kEvents);
    std::vector<double> rhs(kEvents, 0.0);
    for (int to = 0; to < kEvents; ++to)
        for (int from = 0; from < kEvents; ++from)
            a(to, from) = (to == from ? 1.0 : 0.0) - st.byEvent[from].next[to];
    for (int from = 0; from < kEvents; ++from) a(kEvents - 1, from) = 1.0;
    rhs[kEvents - 1] = 1.0;
    const std::vector<double> pi = Solve(std::move(a), std::move(rhs));

    // Renewal-reward over stretches.
    LongRunFigures& f = longRun_;
    double mu = 0;
    std::array<double, kModes> modeGames{};
    for (int e = 0; e < kEvents; ++e) {
        mu += pi[e] * st.byEvent[e].meanLength;
        for (int m = 0; m < kModes; ++m) modeGames[m] += pi[e] * st.byEvent[e].modeGames[m];
        f.kindShare[e / kCounts] += pi[e];
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
    f.payoutPercent = 100.0 + 100.0 * f.medalsPerGame / kBet;
    for (int m = 0; m < kModes; ++m) f.modeShare[m] = modeGames[m] / mu;
    for (int k = 0; k < kKoyakuKinds; ++k) f.koyakuPerGame[k] = g.koyaku[k] * (1.0 - f.bbPerGame);

    // Variance of the games between first hits, with the correlation that the
    // event chain carries from one stretch to the next: h solves
    // (I - K + 1 pi) h = m - mu.
    Matrix b(kEvents, kEvents);
    std::vector<double> dev(kEvents);
    for (int e = 0; e < kEvents; ++e) {
        for (int to = 0; to < kEvents; ++to) b(e, to) = (e == to ? 1.0 : 0.0) - st.byEvent[e].next[to] + pi[to];
        dev[e] = st.byEvent[e].meanLength - mu;
    }
    const std::vector<double> h = Solve(std::move(b), std::move(dev));
    double var = 0;
    for (int e = 0; e < kEvents; ++e) {
        const Stretch& s = st.byEvent[e];
        double cross = 0;
        for (int to = 0; to < kEvents; ++to) cross += (s.lengthByNext[to] - mu * s.next[to]) * h[to];
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
    const GameModel& g = model_;
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
        Dist a, b, cohort;
        Dist* now = &a;
        Dist* next = &b;
        std::vector<EventMass> recent = std::vector<EventMass>(kCeilingGames);  // BB events by game, mod 1500
    };
    Track p, w;
    for (int m = 0; m < kOrdinaryModes; ++m) p.now->At(m, 0) = g.initMode[m];

    auto play = [&](Track& tr, std::int64_t t, EventMass& bb) {
        const std::int64_t back = t - kCeilingGames;
        if (back < 0) {
            PlayGame(g, *tr.now, *tr.next, bb);
            return;
        }
        Dist& y = tr.cohort;
        y = {};
        if (back == 0) {
            // Only the chances have a reset cohort; no hits came before it.
            if (&tr == &p)
                for (const auto& [i, v] : st.fromReset.atCeiling.cells) y.v[i] = v;
        } else {
            const EventMass& u = tr.recent[static_cast<std::size_t>(back % kCeilingGames)];
            for (int e = 0; e < kEvents; ++e) {
                if (u[e] == 0) continue;
                for (const auto& [i, v] : st.byEvent[e].atCeiling.cells) y.v[i] += u[e] * v;
            }
        }
        for (std::size_t i = 0; i < y.v.size(); ++i) tr.now->v[i] -= y.v[i];
        PlayGame(g, *tr.now, *tr.next, bb);
        PlayCeilingGame(y, *tr.next, bb);
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
        EventMass bb{}, bbWeighted{};
        play(p, t, bb);
        play(w, t, bbWeighted);
        // E[hits after this game; event] = E[hits before; event] + P(event).
        for (int e = 0; e < kEvents; ++e) bbWeighted[e] += bb[e];
        p.recent[static_cast<std::size_t>(t % kCeilingGames)] = bb;
        w.recent[static_cast<std::size_t>(t % kCeilingGames)] = bbWeighted;
        std::array<double, kBBKinds> hit{};
        double hitWeighted = 0;
        for (int e = 0; e < kEvents; ++e) {
            if (bb[e] == 0) continue;
            hit[e / kCounts] += bb[e];
            hitWeighted += bbWeighted[e];
            AddAfterBB(g, e, bb[e], *p.next);
            AddAfterBB(g, e, bbWeighted[e], *w.next);
        }
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
