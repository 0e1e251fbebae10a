#include "estimation/trust.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "model/likelihood.h"
#include "sessions/sampled_machine.h"

namespace morvane {
namespace {

constexpr int kBins = 10;

struct Session {
    std::int8_t truth = 0;
    std::array<double, kMaxSetting> shown{};
};

void Summarise(const TrustRequest& r, const std::vector<Session>& sessions, Trust& out) {
    out = {};
    out.request = r;
    out.sessions = r.sessions;
    std::array<std::int64_t, kBins> shown{}, truths{};
    std::array<double, kBins> shownSum{};
    std::int64_t right = 0;
    std::array<std::int64_t, kMaxSetting> rightBy{};
    double logTrue = 0;
    for (const Session& s : sessions) {
        int top = 0;
        for (int k = 1; k < kMaxSetting; ++k)
            if (s.shown[static_cast<std::size_t>(k)] > s.shown[static_cast<std::size_t>(top)]) top = k;
        const auto t = static_cast<std::size_t>(s.truth - 1);
        ++out.sessionsBy[t];
        if (top == s.truth - 1) {
            ++right;
            ++rightBy[t];
        }
        logTrue += std::log(s.shown[t]);
        for (int k = 0; k < kMaxSetting; ++k) {
            const double p = s.shown[static_cast<std::size_t>(k)];
            const auto bin = static_cast<std::size_t>(std::min(kBins - 1, static_cast<int>(p * kBins)));
            ++shown[bin];
            shownSum[bin] += p;
            truths[bin] += k == s.truth - 1;
        }
    }
    const double n = static_cast<double>(r.sessions);
    out.right = right;
    out.topRight = static_cast<double>(right) / n;
    out.topRightSe = std::sqrt(out.topRight * (1 - out.topRight) / n);
    for (std::size_t k = 0; k < kMaxSetting; ++k)
        out.topRightBy[k] =
            out.sessionsBy[k] ? static_cast<double>(rightBy[k]) / static_cast<double>(out.sessionsBy[k]) : 0.0;
    out.meanLogTrue = logTrue / n;
    for (std::size_t b = 0; b < kBins; ++b) {
        CalibrationBin c;
        c.from = static_cast<double>(b) / kBins;
        c.to = static_cast<double>(b + 1) / kBins;
        c.shown = shown[b];
        c.truths = truths[b];
        if (shown[b] > 0) {
            const double m = static_cast<double>(shown[b]);
            c.meanShown = shownSum[b] / m;
            c.trueShare = static_cast<double>(truths[b]) / m;
            c.se = std::sqrt(c.trueShare * (1 - c.trueShare) / m);
        }
        out.bins.push_back(c);
    }
}

}  // namespace

bool TrustOfEstimate(const TrustRequest& r, Trust& out, const std::atomic<bool>* stop,
                     std::atomic<std::int64_t>* done) {
    if (r.games < 1 || r.sessions < 1) throw std::invalid_argument("games and sessions must be at least 1");
    std::vector<Session> sessions(static_cast<std::size_t>(r.sessions));
    struct Worker {
        SessionMachines machines;
        std::vector<GameRecord> record;
    };
    const auto& filters = AllExactLikelihoods();
    const bool finished = ForEachSession(
        r.sessions, r.threads, [] { return Worker{}; },
        [&](std::int64_t i, Worker& w) {
            SessionDraws draws(r.seed, static_cast<std::uint32_t>(i));
            const int truth = DrawSetting(r.prior.Probabilities(), draws.Uniform());
            Slot& slot = w.machines.Fresh(truth, SessionSeed(r.seed, static_cast<std::uint32_t>(i)));
            w.record.resize(static_cast<std::size_t>(r.games));
            GameRecord* at = w.record.data();
            slot.PlayGames(r.games, [&at](const GameRecord& g) { *at++ = g; });
            std::array<double, kMaxSetting> ll{};
            for (const ExactLikelihood& f : filters)
                ll[static_cast<std::size_t>(f.Setting() - 1)] = f.Evaluate(w.record).logLikelihood;
            Session& s = sessions[static_cast<std::size_t>(i)];
            s.truth = static_cast<std::int8_t>(truth);
            // The true setting can always play its own record.
            s.shown = *ApplyPrior(r.prior, ll);
        },
        stop, done);
    if (!finished) return false;
    Summarise(r, sessions, out);
    return true;
}

HallTrustShape ShapeOf(const HallData& data) {
    HallTrustShape shape;
    if (!data.bbs.empty()) {
        shape.kindsSeen = std::any_of(data.bbs.begin(), data.bbs.end(), [](const HallBB& b) { return b.kind != 0; });
        shape.setsSeen = std::any_of(data.bbs.begin(), data.bbs.end(), [](const HallBB& b) { return b.sets != 0; });
    }
    for (const CountedWins& c : data.counted) shape.counted.push_back(c.kinds);
    return shape;
}

bool TrustOfHallEstimate(const TrustRequest& r, const HallTrustShape& shape, Trust& out, const std::atomic<bool>* stop,
                         std::atomic<std::int64_t>* done) {
    if (r.games < 1 || r.sessions < 1) throw std::invalid_argument("games and sessions must be at least 1");
    std::vector<Session> sessions(static_cast<std::size_t>(r.sessions));
    struct Worker {
        SessionMachines machines;
        HallData data;
    };
    const bool finished = ForEachSession(
        r.sessions, r.threads, [] { return Worker{}; },
        [&](std::int64_t i, Worker& w) {
            SessionDraws draws(r.seed, static_cast<std::uint32_t>(i));
            const int truth = DrawSetting(r.prior.Probabilities(), draws.Uniform());
            const HiddenDraw start = DrawHidden(LongRunStateAfterBB(truth), draws.Uniform());
            Slot& slot = w.machines.Placed(truth, start, 0, SessionSeed(r.seed, static_cast<std::uint32_t>(i)));
            HallData& data = w.data;
            data.games = r.games;
            data.bbs.clear();
            data.counted.assign(shape.counted.size(), CountedWins{});
            for (std::size_t k = 0; k < shape.counted.size(); ++k) data.counted[k].kinds = shape.counted[k];
            std::int32_t since = 0;
            slot.PlayGames(r.games, [&](const GameRecord& g) {
                ++since;
                if (g.bbKind != NoBB) {
                    data.bbs.push_back({since, shape.kindsSeen ? g.bbKind : 0, shape.setsSeen ? g.bbSets : 0});
                    since = 0;
                    return;
                }
                for (CountedWins& c : data.counted)
                    if (c.kinds >> g.koyaku & 1u) ++c.count;
            });
            const HallEstimate e = EstimateSettingFromHallData(data, r.prior);
            Session& s = sessions[static_cast<std::size_t>(i)];
            s.truth = static_cast<std::int8_t>(truth);
            s.shown = e.posterior.probability;
        },
        stop, done);
    if (!finished) return false;
    Summarise(r, sessions, out);
    return true;
}

}  // namespace morvane
