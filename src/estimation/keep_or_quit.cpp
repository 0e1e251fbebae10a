#include "estimation/keep_or_quit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "estimation/machine_now.h"
#include "estimation/purchases_ahead.h"
#include "model/setting_prior.h"
#include "model/value_by_count.h"
#include "sessions/sampled_machine.h"
#include "system/workers.h"

namespace morvane {
namespace {

struct MeanAndSe {
    double mean = 0, se = 0;
};
MeanAndSe MeanAndSeOf(const std::vector<double>& v) {
    const double n = static_cast<double>(v.size());
    double sum = 0;
    for (double x : v) sum += x;
    const double mean = sum / n;
    double ss = 0;
    for (double x : v) ss += (x - mean) * (x - mean);
    return {mean, n > 1 ? std::sqrt(ss / (n - 1) / n) : 0.0};
}

// The exact rules at one setting, unmixed.
void FixedRules(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int32_t horizon, int mostBBs,
                std::vector<double>& byGames, std::vector<double>& byBBs) {
    const GameModel& g = d.Model();
    byGames.assign(static_cast<std::size_t>(horizon) + 1, 0.0);
    byBBs.assign(static_cast<std::size_t>(mostBBs) + 1, 0.0);
    RunLaw run(d, law, since, mostBBs);
    double net = 0;
    std::vector<double> fewer(static_cast<std::size_t>(mostBBs) + 1), bbBefore(fewer.size());
    for (std::int32_t j = 1; j <= horizon; ++j) {
        // Before game j: the chance of having played fewer than n BBs is the
        // chance that the rule for n plays it.
        double below = 0;
        for (int n = 1; n <= mostBBs; ++n) {
            below += run.Holding(n - 1);
            fewer[static_cast<std::size_t>(n)] = below;
        }
        run.Next();
        double bbNet = 0;
        std::fill(bbBefore.begin(), bbBefore.end(), 0.0);
        for (int before = 0; before <= mostBBs; ++before)
            for (int k = 0; k < kBBKinds; ++k) {
                const double v = run.BBChance(before, k) * g.bb[static_cast<std::size_t>(k)].meanMedals;
                bbNet += v;
                bbBefore[static_cast<std::size_t>(before)] += v;
            }
        net += g.netPerGame + bbNet;
        byGames[static_cast<std::size_t>(j)] = net;
        double bbs = 0;
        for (int n = 1; n <= mostBBs; ++n) {
            bbs += bbBefore[static_cast<std::size_t>(n - 1)];
            byBBs[static_cast<std::size_t>(n)] += g.netPerGame * fewer[static_cast<std::size_t>(n)] + bbs;
        }
    }
}

// The learning rule's figure at the end of a BB with `left` games to go:
// the posterior's expected net of the next stretch, exact from each
// setting's law of the state, and of the games left after it at the
// setting's long-run rate.
double GoOnFigure(const std::array<double, kMaxSetting>& p, const std::array<StateLaw, kMaxSetting>& laws,
                  double left) {
    double v = 0;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto si = static_cast<std::size_t>(s - 1);
        if (p[si] <= 0) continue;
        const StretchFromStart& f = StretchesFromStart(s);
        double net = 0, games = 0;
        for (std::size_t i = 0; i < f.net.v.size(); ++i) {
            net += laws[si].v[i] * f.net.v[i];
            games += laws[si].v[i] * f.games.v[i];
        }
        v += p[si] * (net + std::max(0.0, left - games) * f.perGame);
    }
    return v;
}

}  // namespace

PurchasesAhead KeepOrQuitPurchases(const MachineBelief& b, int setting, const KeepOrQuitRequest& r,
                                   const std::atomic<bool>* stop) {
    return ExpectedPurchasesAhead(Dynamics(setting), b.Law(setting), b.gamesSinceBB, r.horizon, r.mostBBs, r.money,
                                  stop);
}

void GiveKeepOrQuitPurchases(const MachineBelief& b, int setting, const KeepOrQuitRequest& r, PurchasesAhead figures) {
    GivePurchasesAhead(setting, b.Law(setting), b.gamesSinceBB, r.horizon, r.mostBBs, r.money, std::move(figures));
}

KeepOrQuit DecideKeepOrQuit(const MachineBelief& b, const KeepOrQuitRequest& r, const std::atomic<bool>* stop) {
    if (r.horizon < 0 || r.mostBBs < 1) throw std::invalid_argument("horizon and BBs out of range");
    KeepOrQuit out;
    out.horizon = r.horizon;
    out.byGames.assign(static_cast<std::size_t>(r.horizon) + 1, 0.0);
    out.byBBs.assign(static_cast<std::size_t>(r.mostBBs) + 1, 0.0);
    out.money = r.money;
    const bool buys = r.money.held.has_value();
    if (buys) {
        out.byGamesPurchases.assign(out.byGames.size(), 0.0);
        out.byBBsPurchases.assign(out.byBBs.size(), 0.0);
    }
    // Setting by setting on the threads, then mixed in order.
    struct Rules {
        std::vector<double> games, bbs;
        PurchasesAhead bought;
    };
    std::array<Rules, kMaxSetting> by;
    ForEachIndex(
        kMaxSetting, r.threads, {1, stop, nullptr}, [] { return 0; },
        [&](std::int64_t i, int) {
            const int s = static_cast<int>(i) + kMinSetting;
            if (b.posterior[static_cast<std::size_t>(i)] <= 0) return;
            Rules& rules = by[static_cast<std::size_t>(i)];
            FixedRules(Dynamics(s), b.Law(s), b.gamesSinceBB, r.horizon, r.mostBBs, rules.games, rules.bbs);
            if (buys) rules.bought = KeepOrQuitPurchases(b, s, r, stop);
        });
    if (stop && stop->load(std::memory_order_relaxed)) return out;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const double p = b.posterior[static_cast<std::size_t>(s - 1)];
        if (p <= 0) continue;
        const Rules& rules = by[static_cast<std::size_t>(s - 1)];
        for (std::size_t k = 0; k < rules.games.size(); ++k) out.byGames[k] += p * rules.games[k];
        for (std::size_t n = 0; n < rules.bbs.size(); ++n) out.byBBs[n] += p * rules.bbs[n];
        if (!buys) continue;
        for (std::size_t k = 0; k < rules.bought.byGames.size(); ++k)
            out.byGamesPurchases[k] += p * rules.bought.byGames[k];
        for (std::size_t n = 0; n < rules.bought.byBBs.size(); ++n) out.byBBsPurchases[n] += p * rules.bought.byBBs[n];
    }
    // On the medals while nothing is bought, so that the choice is the one
    // the medals always made; on the yen when purchases take some off.
    const auto worth = [&](double medals, double yen) { return buys ? yen : medals; };
    out.best = {StopRule::Kind::Now, 0, 0.0, 0.0};
    double bestWorth = 0;
    const auto consider = [&](StopRule::Kind kind, std::size_t n, double medals, double yen, double purchases) {
        if (const double w = worth(medals, yen); w > bestWorth) {
            bestWorth = w;
            out.best = {kind, static_cast<std::int64_t>(n), medals, 0.0, yen, 0.0, purchases};
        }
    };
    for (std::size_t k = 1; k < out.byGames.size(); ++k)
        consider(StopRule::Kind::Games, k, out.byGames[k], out.GamesYen(k), buys ? out.byGamesPurchases[k] : 0.0);
    for (std::size_t n = 1; n < out.byBBs.size(); ++n)
        consider(StopRule::Kind::BBs, n, out.byBBs[n], out.BBsYen(n), buys ? out.byBBsPurchases[n] : 0.0);

    if (r.sessions <= 0) return out;
    // Now it goes on when the best exact rule gains.
    const bool goOn = bestWorth > 0;
    std::vector<double> net(static_cast<std::size_t>(r.sessions), 0.0), played(net.size(), 0.0), yen(net.size(), 0.0),
        bought(net.size(), 0.0);
    struct Worker {
        SessionMachines machines;
    };
    const bool finished = ForEachSession(
        r.sessions, r.threads, [] { return Worker{}; },
        [&](std::int64_t i, Worker& w) {
            if (!goOn) return;
            SessionDraws draws(r.seed, static_cast<std::uint32_t>(i));
            const int truth = DrawSetting(b.posterior, draws.Uniform());
            const HiddenDraw start = DrawHidden(b.state[static_cast<std::size_t>(truth - 1)], draws.Uniform());
            Slot& slot =
                w.machines.Placed(truth, start, b.gamesSinceBB, SessionSeed(r.seed, static_cast<std::uint32_t>(i)));
            std::vector<RecordFilter> filters;
            std::array<double, kMaxSetting> logPost{};
            std::array<int, kMaxSetting> settingOf{};
            for (int s = kMinSetting; s <= kMaxSetting; ++s) {
                const double p = b.posterior[static_cast<std::size_t>(s - 1)];
                if (p <= 0) continue;
                settingOf[filters.size()] = s;
                logPost[filters.size()] = std::log(p);
                filters.push_back(b.Follow(s));
            }
            std::int32_t j = 0;
            std::int64_t lowest = 0;
            while (j < r.horizon) {
                lowest = std::min<std::int64_t>(lowest, slot.medalBalance);
                slot.Play();
                ++j;
                const GameRecord g = slot.Record();
                for (RecordFilter& f : filters) f.Add(g);
                if (g.bbKind == NoBB) continue;
                // The end of a BB: the posterior and the states now.
                std::array<double, kMaxSetting> logNow;
                logNow.fill(-std::numeric_limits<double>::infinity());
                for (std::size_t k = 0; k < filters.size(); ++k)
                    logNow[static_cast<std::size_t>(settingOf[k] - 1)] = logPost[k] + filters[k].LogLikelihood();
                // The setting played can always play its own record.
                const std::array<double, kMaxSetting> p =
                    UniformPosterior(logNow).value_or(std::array<double, kMaxSetting>{});
                std::array<StateLaw, kMaxSetting> now;
                for (std::size_t k = 0; k < filters.size(); ++k)
                    now[static_cast<std::size_t>(settingOf[k] - 1)] = LawOf(filters[k].State());
                if (!(GoOnFigure(p, now, r.horizon - j) > 0)) break;
            }
            net[static_cast<std::size_t>(i)] = slot.medalBalance;
            played[static_cast<std::size_t>(i)] = j;
            bought[static_cast<std::size_t>(i)] = static_cast<double>(PurchasesFor(r.money, lowest));
            yen[static_cast<std::size_t>(i)] = r.money.Yen(slot.medalBalance, bought[static_cast<std::size_t>(i)]);
        },
        stop);
    if (!finished) return out;
    double mean = 0, games = 0;
    for (std::size_t i = 0; i < net.size(); ++i) {
        mean += net[i];
        games += played[i];
    }
    mean /= static_cast<double>(net.size());
    double ss = 0;
    for (double v : net) ss += (v - mean) * (v - mean);
    const double n = static_cast<double>(net.size());
    const double se = n > 1 ? std::sqrt(ss / (n - 1) / n) : 0.0;
    const MeanAndSe y = MeanAndSeOf(yen);
    out.learning = StopRule{StopRule::Kind::Learning, 0, mean, se, y.mean, y.se, MeanAndSeOf(bought).mean};
    out.learningGames = games / n;
    return out;
}

bool SpreadOfRule(const MachineBelief& b, const StopRule& rule, std::int32_t horizon, std::int32_t sessions,
                  std::uint32_t seed, int threads, RuleSpread& out, const std::atomic<bool>* stop,
                  std::atomic<std::int64_t>* done, const HallMoney& money) {
    if (rule.kind == StopRule::Kind::Learning) throw std::invalid_argument("the learning rule has a spread of its own");
    if (horizon < 0 || sessions < 1 || rule.n < 0)
        throw std::invalid_argument("horizon, sessions or rule out of range");
    // Games rules never play past the horizon either.
    const std::int64_t games = rule.kind == StopRule::Kind::Now     ? 0
                               : rule.kind == StopRule::Kind::Games ? std::min<std::int64_t>(rule.n, horizon)
                                                                    : horizon;
    const std::int64_t bbs = rule.kind == StopRule::Kind::BBs ? rule.n : std::numeric_limits<std::int64_t>::max();
    std::vector<double> net(static_cast<std::size_t>(sessions), 0.0), yen(net.size(), 0.0);
    struct Worker {
        SessionMachines machines;
    };
    const bool finished = ForEachSession(
        sessions, threads, [] { return Worker{}; },
        [&](std::int64_t i, Worker& w) {
            if (games == 0) return;
            SessionDraws draws(seed, static_cast<std::uint32_t>(i));
            const int truth = DrawSetting(b.posterior, draws.Uniform());
            const HiddenDraw start = DrawHidden(b.state[static_cast<std::size_t>(truth - 1)], draws.Uniform());
            Slot& slot =
                w.machines.Placed(truth, start, b.gamesSinceBB, SessionSeed(seed, static_cast<std::uint32_t>(i)));
            std::int64_t seen = 0, lowest = 0;
            for (std::int64_t j = 0; j < games && seen < bbs; ++j) {
                lowest = std::min<std::int64_t>(lowest, slot.medalBalance);
                slot.Play();
                seen += slot.Record().bbKind != NoBB;
            }
            net[static_cast<std::size_t>(i)] = slot.medalBalance;
            yen[static_cast<std::size_t>(i)] =
                money.Yen(slot.medalBalance, static_cast<double>(PurchasesFor(money, lowest)));
        },
        stop, done);
    if (!finished) return false;
    out = {};
    out.rule = rule;
    out.horizon = horizon;
    const double n = static_cast<double>(sessions);
    std::int64_t behind = 0;
    double sum = 0;
    for (double v : net) {
        sum += v;
        behind += v < 0;
    }
    out.mean = sum / n;
    double ss = 0;
    for (double v : net) ss += (v - out.mean) * (v - out.mean);
    out.sd = sessions > 1 ? std::sqrt(ss / (n - 1)) : 0.0;
    out.se = out.sd / std::sqrt(n);
    out.behind = ShareWithError::Of(behind, sessions);
    const MeanAndSe y = MeanAndSeOf(yen);
    out.meanYen = y.mean;
    out.seYen = y.se;
    out.sdYen = y.se * std::sqrt(n);
    out.behindYen = ShareWithError::Of(std::count_if(yen.begin(), yen.end(), [](double v) { return v < 0; }), sessions);
    return true;
}

double PrecursorShare(const MachineBelief& b) {
    double share = 0;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const double p = b.posterior[static_cast<std::size_t>(s - 1)];
        if (p > 0) share += p * b.Law(s).ModeTotal(Precursor);
    }
    return share;
}

Advice Advise(const StopRule& best, const RuleSpread* spread, double precursorShare, bool onYen) {
    Advice a;
    const double gain = onYen ? best.yen : best.value;
    if (best.kind == StopRule::Kind::Now || !(gain > 0)) return a;
    a.precursorLook =
        best.kind == StopRule::Kind::Games && best.n <= kPrecursorSpan && precursorShare >= kPrecursorWorthALook;
    a.verdict =
        spread && gain < kEvenAgainstSpread * (onYen ? spread->sdYen : spread->sd) ? Verdict::AboutEven : Verdict::Keep;
    return a;
}

}  // namespace morvane
