#include "estimation/more_games.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "model/setting_prior.h"
#include "sessions/sampled_machine.h"

namespace morvane {

namespace {

__extension__ typedef unsigned __int128 Wide;

// P(5 + 6) and its square are summed in fixed point, exactly, so the mean
// is the same whichever thread played which session.
constexpr int kFixedBits = 62;
std::uint64_t Fixed(double v) {
    return static_cast<std::uint64_t>(std::llround(std::ldexp(std::clamp(v, 0.0, 1.0), kFixedBits)));
}
double Unfixed(Wide v) { return std::ldexp(static_cast<double>(v), -kFixedBits); }

// What the sessions leave: running tallies, so any number of sessions fits.
struct Tally {
    std::int64_t high = 0, top = 0, right = 0;
    std::array<std::int64_t, 10> highAfter{};
    Wide sum = 0, squares = 0;

    void Add(const Tally& o) {
        high += o.high;
        top += o.top;
        right += o.right;
        for (std::size_t k = 0; k < highAfter.size(); ++k) highAfter[k] += o.highAfter[k];
        sum += o.sum;
        squares += o.squares;
    }
};

}  // namespace

bool ValueOfMoreGames(const MachineBelief& b, const MoreGamesRequest& r, MoreGames& out, const std::atomic<bool>* stop,
                      std::atomic<std::int64_t>* done) {
    if (r.games < 0 || r.sessions < 1) throw std::invalid_argument("games and sessions out of range");
    // One tally per thread, at an address that stays put.
    std::mutex tallyLock;
    std::deque<Tally> tallies;
    struct Worker {
        SessionMachines machines;
        Tally* tally;
    };
    const bool finished = ForEachSession(
        r.sessions, r.threads,
        [&] {
            const std::lock_guard<std::mutex> hold(tallyLock);
            return Worker{{}, &tallies.emplace_back()};
        },
        [&](std::int64_t i, Worker& w) {
            SessionDraws draws(r.seed, static_cast<std::uint32_t>(i));
            const int truth = DrawSetting(b.posterior, draws.Uniform());
            const HiddenDraw start = DrawHidden(b.state[static_cast<std::size_t>(truth - 1)], draws.Uniform());
            Slot& slot =
                w.machines.Placed(truth, start, b.gamesSinceBB, SessionSeed(r.seed, static_cast<std::uint32_t>(i)));
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
            for (auto& [s, f] : filters) {
                const auto si = static_cast<std::size_t>(s - 1);
                logPost[si] = std::log(b.posterior[si]) + f.LogLikelihood();
            }
            // The setting played can always play its own record.
            const std::array<double, kMaxSetting> p =
                UniformPosterior(logPost).value_or(std::array<double, kMaxSetting>{});
            const double high = p[4] + p[5];
            const auto best = static_cast<std::size_t>(std::max_element(p.begin(), p.end()) - p.begin());
            Tally& t = *w.tally;
            t.high += high >= r.highThreshold;
            t.top += p[best] >= r.topThreshold;
            t.right += static_cast<int>(best) == truth - 1;
            ++t.highAfter[static_cast<std::size_t>(std::min(9, static_cast<int>(high * 10)))];
            t.sum += Fixed(high);
            t.squares += Fixed(high * high);
        },
        stop, done);
    if (!finished) return false;

    Tally all;
    for (const Tally& t : tallies) all.Add(t);
    out = {};
    out.request = r;
    out.highNow = b.posterior[4] + b.posterior[5];
    out.topNow = *std::max_element(b.posterior.begin(), b.posterior.end());
    const double n = static_cast<double>(r.sessions);
    const auto share = [&](std::int64_t k) { return ShareWithError::Of(k, r.sessions); };
    const double sum = Unfixed(all.sum), squares = Unfixed(all.squares);
    out.highAfter = all.highAfter;
    out.meanHighAfter = sum / n;
    if (n > 1) out.meanHighAfterSe = std::sqrt(std::max(0.0, (squares - sum * sum / n) / (n - 1)) / n);
    out.highPasses = share(all.high);
    out.topPasses = share(all.top);
    out.topRight = share(all.right);
    return true;
}

}  // namespace morvane
