#include "analysis/more_games.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "analysis/sampled_machine.h"

namespace morvane {

bool ValueOfMoreGames(const MachineBelief& b, const MoreGamesRequest& r, MoreGames& out, const std::atomic<bool>* stop,
                      std::atomic<std::int64_t>* done) {
    if (r.games < 0 || r.sessions < 1) throw std::invalid_argument("games and sessions out of range");
    struct Session {
        double high = 0, top = 0;
        bool topRight = false;
    };
    std::vector<Session> sessions(static_cast<std::size_t>(r.sessions));
    struct Worker {
        SessionMachines machines;
    };
    const bool finished = ForEachSession(
        r.sessions, r.threads, [] { return Worker{}; },
        [&](std::int64_t i, Worker& w) {
            SessionDraws draws(r.seed, static_cast<std::uint32_t>(i));
            const int truth = DrawSetting(b.posterior, draws.Uniform());
            const HiddenDraw start = DrawHidden(b.state[static_cast<std::size_t>(truth - 1)], draws.Uniform());
            Slot& slot = w.machines.Placed(truth, start, b.gamesSinceBB, SessionSeed(r.seed, static_cast<std::uint32_t>(i)));
            std::array<double, kMaxSetting> logPost;
            logPost.fill(-std::numeric_limits<double>::infinity());
            std::vector<std::pair<int, RecordFilter>> filters;
            for (int s = kMinSetting; s <= kMaxSetting; ++s) {
                const double p = b.posterior[static_cast<std::size_t>(s - 1)];
                if (p > 0) filters.emplace_back(s, b.Follow(s));
            }
            for (std::int32_t j = 0; j < r.games; ++j) {
                slot.Play();
                const GameRecord g = slot.Record();
                for (auto& [s, f] : filters) f.Add(g);
            }
            double top = -std::numeric_limits<double>::infinity();
            for (auto& [s, f] : filters) {
                const auto si = static_cast<std::size_t>(s - 1);
                logPost[si] = std::log(b.posterior[si]) + f.LogLikelihood();
                top = std::max(top, logPost[si]);
            }
            std::array<double, kMaxSetting> p{};
            double sum = 0;
            for (std::size_t k = 0; k < kMaxSetting; ++k) {
                p[k] = std::exp(logPost[k] - top);
                sum += p[k];
            }
            for (double& v : p) v /= sum;
            Session& s = sessions[static_cast<std::size_t>(i)];
            s.high = p[4] + p[5];
            const auto best = static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
            s.top = p[best];
            s.topRight = static_cast<int>(best) == truth - 1;
        },
        stop, done);
    if (!finished) return false;

    out = {};
    out.request = r;
    out.highNow = b.posterior[4] + b.posterior[5];
    out.topNow = *std::max_element(b.posterior.begin(), b.posterior.end());
    const double n = static_cast<double>(r.sessions);
    std::int64_t high = 0, top = 0, right = 0;
    double sum = 0, squares = 0;
    for (const Session& s : sessions) {
        sum += s.high;
        squares += s.high * s.high;
        high += s.high >= r.highThreshold;
        top += s.top >= r.topThreshold;
        right += s.topRight;
        ++out.highAfter[static_cast<std::size_t>(std::min(9, static_cast<int>(s.high * 10)))];
    }
    const auto share = [&](std::int64_t k) { return ShareWithError::Of(k, r.sessions); };
    out.meanHighAfter = sum / n;
    if (n > 1) out.meanHighAfterSe = std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)) / n);
    out.highPasses = share(high);
    out.topPasses = share(top);
    out.topRight = share(right);
    return true;
}

}  // namespace morvane
