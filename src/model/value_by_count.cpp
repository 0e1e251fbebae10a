#include "model/value_by_count.h"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "model/net_law_by_count.h"
#include "sessions/spread_play.h"
#include "sessions/spread_stats.h"
#include "system/workers.h"

namespace morvane {
namespace {

// For each state after game t of a stretch: expected games to the next BB
// game (counted once), the chance that BB is red, the chance the ceiling
// decides it.
struct Figures {
    StateLaw games, red, ceiling;
};

// The figures at t from those at t + 1, mode by mode over all counts.
void StepBack(const StateDynamics& d, std::int32_t t, const Figures& next, Figures& now) {
    const double r = kPrecursorRedShare;
    const auto& step = d.Model().modeStep;
    const std::array<const StateLaw*, 3> from = {&next.games, &next.red, &next.ceiling};
    const std::array<StateLaw*, 3> to = {&now.games, &now.red, &now.ceiling};
    const std::array<double, 3> first = {1.0, 0.0, 0.0};  // what the game itself adds
    // A precursor step at count c: then the BB game after an end, or the
    // next step's figures.
    std::array<std::array<double, kLawCounts>, 3> pre{};
    for (std::size_t f = 0; f < 3; ++f) {
        const StateLaw& n = *from[f];
        const double ended = r * n.At(Red7, 0) + (1 - r) * n.At(Blue7, 0);
        for (int c = 0; c < kLawCounts; ++c) {
            const double end = d.PrecursorEnd(c);
            pre[f][static_cast<std::size_t>(c)] =
                first[f] + end * ended + (c + 1 < kLawCounts ? (1 - end) * n.At(Precursor, c + 1) : 0.0);
        }
    }
    if (t + 1 == kCeilingGames) {
        // Game 1500: half a blue BB in that game, half a precursor step.
        for (int m = 0; m < kModes; ++m)
            for (int c = 0; c < kLawCounts; ++c) {
                now.games.At(m, c) = 0.5 + 0.5 * pre[0][static_cast<std::size_t>(c)];
                now.red.At(m, c) = 0.5 * pre[1][static_cast<std::size_t>(c)];
                now.ceiling.At(m, c) = 1.0;
            }
        return;
    }
    const bool fired = t >= kCeilingGames;
    for (std::size_t f = 0; f < 3; ++f) {
        StateLaw& o = *to[f];
        const StateLaw& n = *from[f];
        for (int m = 0; m < kOrdinaryModes; ++m) {
            double* row = o.v.data() + m * kLawCounts;
            for (int c = 0; c < kLawCounts; ++c) row[c] = first[f];
            for (int k = 0; k < kModes; ++k) {
                const double w = step[static_cast<std::size_t>(m)][static_cast<std::size_t>(k)];
                const double* in = n.v.data() + k * kLawCounts;
                for (int c = 0; c < kLawCounts; ++c) row[c] += w * in[c];
            }
        }
        for (int c = 0; c < kLawCounts; ++c) o.At(Precursor, c) = pre[f][static_cast<std::size_t>(c)];
        for (int c = 0; c < kLawCounts; ++c) {
            o.At(Blue7, c) = f == 0 ? 1.0 : 0.0;
            o.At(Red7, c) = f == 0 || f == 1 ? 1.0 : 0.0;
        }
    }
    if (fired) now.ceiling.v.fill(1.0);
}

Figures AfterLastGame() {
    // Past the last possible game only Blue7 and Red7 are left, whose BB is
    // the next game, decided by the ceiling.
    Figures f;
    for (int c = 0; c < kLawCounts; ++c) {
        f.games.At(Blue7, c) = f.games.At(Red7, c) = 1.0;
        f.red.At(Red7, c) = 1.0;
        f.ceiling.At(Blue7, c) = f.ceiling.At(Red7, c) = 1.0;
    }
    return f;
}

double NetOf(const GameModel& g, double games, double red) {
    return g.netPerGame * games + (1 - red) * g.bb[0].meanMedals + red * g.bb[1].meanMedals;
}

// The smallest y with cdf(y) >= p, searched outward from a guess.
std::int64_t Quantile(const std::function<double(std::int64_t)>& cdf, double p, std::int64_t guess) {
    std::int64_t lo, hi;
    if (cdf(guess) >= p) {
        hi = guess;
        std::int64_t step = 1;
        lo = hi - step;
        while (cdf(lo) >= p) {
            hi = lo;
            step *= 2;
            lo = hi - step;
        }
    } else {
        lo = guess;
        std::int64_t step = 1;
        hi = lo + step;
        while (cdf(hi) < p) {
            lo = hi;
            step *= 2;
            hi = lo + step;
        }
    }
    while (hi - lo > 1) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        (cdf(mid) >= p ? hi : lo) = mid;
    }
    return hi;
}

// The CDF at n neighbouring nets from `from`, in one pass.
using CdfRun = std::function<void(std::int64_t from, int n, double* out)>;

// The smallest y with cdf(y) >= p. From one counter to the one below, a
// quantile stays or falls by a medal nineteen times in twenty, so the CDF
// is taken once at the guess and the two nets below it; only a quantile
// that left them is searched for.
constexpr int kAround = 3;
using Around = std::array<double, kAround>;
constexpr std::int64_t AroundFrom(std::int64_t guess) { return guess - (kAround - 1); }

// With the CDF at the nets from `from` in v: the quantile, or where to
// search for it when it left them.
std::int64_t QuantileFrom(const CdfRun& cdfs, double p, std::int64_t from, const Around& v) {
    if (v[0] < p && v[kAround - 1] >= p) {
        int j = 1;
        while (v[static_cast<std::size_t>(j)] < p) ++j;
        return from + j;
    }
    const auto cdf = [&](std::int64_t y) {
        double c = 0;
        cdfs(y, 1, &c);
        return c;
    };
    return Quantile(cdf, p, v[0] >= p ? from : from + kAround);
}

std::int64_t QuantileNear(const CdfRun& cdfs, double p, std::int64_t guess) {
    Around v{};
    const std::int64_t from = AroundFrom(guess);
    cdfs(from, kAround, v.data());
    return QuantileFrom(cdfs, p, from, v);
}

constexpr int kQuantiles = 5;
constexpr std::array<double, kQuantiles> kLevels = {0.10, 0.25, 0.50, 0.75, 0.90};
constexpr std::array<std::int64_t NetSpread::*, kQuantiles> kQuantileField = {
    &NetSpread::p10, &NetSpread::p25, &NetSpread::median, &NetSpread::p75, &NetSpread::p90};

std::int64_t GuessOf(int which, const NetSpread* near, double mean) {
    return near ? near->*kQuantileField[static_cast<std::size_t>(which)]
                : static_cast<std::int64_t>(std::llround(mean));
}

// The figures of a law of the net, one at a time: the quantiles at 10,
// 25, 50, 75 and 90 %, then the chance ahead. `near` is the row above's,
// a good first guess.
constexpr int kSpreadFigures = kQuantiles + 1;
void SpreadFigure(int which, const CdfRun& cdfs, const NetSpread* near, double mean, NetSpread& s) {
    const auto& field = kQuantileField;
    if (which == kQuantiles) {
        double c = 0;
        cdfs(0, 1, &c);
        s.pAhead = 1.0 - c;
        return;
    }
    const auto w = static_cast<std::size_t>(which);
    s.*field[w] = QuantileNear(cdfs, kLevels[w], GuessOf(which, near, mean));
}

void FindPositive(CountValueTable& t) {
    for (const CountValueRow& r : t.rows)
        if (r.evMedals > 0) {
            t.firstPositive = r.gamesSince;
            break;
        }
    for (auto it = t.rows.rbegin(); it != t.rows.rend() && it->evMedals > 0; ++it) t.positiveFrom = it->gamesSince;
}

}  // namespace

CountValue ValueByGameCount(const CountValueRequest& request) {
    CountValue out;
    out.prior = request.prior;
    out.money = request.money;
    out.gamesPerHour = request.gamesPerHour;
    const auto& prior = request.prior.Probabilities();
    struct Setting {
        const StateDynamics* d = nullptr;
        std::unique_ptr<NetLawByCount> net;
        CountValueTable table;
    };
    std::vector<Setting> settings;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        if (prior[static_cast<std::size_t>(s - 1)] == 0) continue;
        Setting& st = settings.emplace_back();
        st.d = &Dynamics(s);
        st.table.setting = s;
        st.table.rows.resize(kMaxGamesSinceBB);
        // The state at g is the start's law given no BB in games 1..g, so
        // every figure at g is one of the BB game's number T given T > g:
        // one pass forward gives the law of T and its kind, and the rows
        // are its tails.
        std::vector<std::array<double, kBBKinds>> hit(kMaxGamesSinceBB + 1);
        std::array<StateLaw, 2> laws;
        laws[0] = st.d->LongRunAfterBB();
        for (std::int32_t j = 1; j <= kMaxGamesSinceBB; ++j) {
            BBEvents bb{};
            st.d->Game(laws[static_cast<std::size_t>((j - 1) & 1)], j, laws[static_cast<std::size_t>(j & 1)], bb);
            for (int e = 0; e < kBBEvents; ++e)
                hit[static_cast<std::size_t>(j)][static_cast<std::size_t>(EventKind(e) - 1)] += bb[e];
        }
        double reach = 0, games = 0, red = 0, ceiling = 0;  // sums over T > g
        for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
            const auto& h = hit[static_cast<std::size_t>(g) + 1];
            const double p = h[0] + h[1];
            reach += p;
            games += p * (g + 1);
            red += h[1];
            if (g + 1 >= kCeilingGames) ceiling += p;
            CountValueRow& row = st.table.rows[static_cast<std::size_t>(g)];
            row.gamesSince = g;
            row.reach = reach;
            row.evGames = games / reach - g;
            row.pCeiling = ceiling / reach;
            row.evMedals = NetOf(st.d->Model(), row.evGames, red / reach);
            row.evYen = request.money.Yen(row.evMedals, row.evPurchases);
        }
        if (request.spread) st.net = std::make_unique<NetLawByCount>(*st.d);
    }
    out.mixed.rows.resize(kMaxGamesSinceBB);
    out.weights.resize(kMaxGamesSinceBB);

    for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
        const auto gi = static_cast<std::size_t>(g);
        double weightSum = 0;
        for (Setting& st : settings) {
            const double w = prior[static_cast<std::size_t>(st.d->Setting() - 1)] * st.table.rows[gi].reach;
            out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)] = w;
            weightSum += w;
        }
        for (double& w : out.weights[gi]) w /= weightSum;
        CountValueRow& mix = out.mixed.rows[gi];
        mix.gamesSince = g;
        for (Setting& st : settings) {
            const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
            const CountValueRow& row = st.table.rows[gi];
            mix.evMedals += w * row.evMedals;
            mix.evGames += w * row.evGames;
            mix.pCeiling += w * row.pCeiling;
            mix.reach += prior[static_cast<std::size_t>(st.d->Setting() - 1)] * row.reach;
        }
        mix.evYen = request.money.Yen(mix.evMedals, mix.evPurchases);
        if (request.spread) {
            mix.spread.emplace();
            for (Setting& st : settings) st.table.rows[gi].spread.emplace();
        }
    }

    // The laws of the net, counter by counter from the top: the settings
    // share the threads, then the mixture's figures do.
    if (request.spread) {
        const auto count = static_cast<int>(settings.size());
        int threads = request.threads < 1 ? DefaultThreads() : request.threads;
        threads = std::clamp(threads, 1, std::max(count, kSpreadFigures));
        // The stop is read in the barrier's completion, so every worker
        // sees the same answer and leaves at the same counter.
        std::atomic<bool> quit{false};
        struct Check {
            const std::atomic<bool>* stop;
            std::atomic<bool>* quit;
            void operator()() noexcept {
                if (stop && stop->load(std::memory_order_relaxed)) quit->store(true, std::memory_order_relaxed);
            }
        };
        std::optional<std::barrier<Check>> barrier;
        std::vector<std::array<Around, kQuantiles>> shares(settings.size());
        const auto work = [&](int worker) {
            std::barrier<Check>& sync = *barrier;
            for (std::int32_t g = kMaxGamesSinceBB - 1; g >= 0; --g) {
                const auto gi = static_cast<std::size_t>(g);
                const bool top = g + 1 == kMaxGamesSinceBB;
                CountValueRow& mix = out.mixed.rows[gi];
                const NetSpread* mixAbove = top ? nullptr : &*out.mixed.rows[gi + 1].spread;
                for (int i = worker; i < count; i += threads) {
                    Setting& st = settings[static_cast<std::size_t>(i)];
                    st.net->StepDown();
                    const NetLawByCount& net = *st.net;
                    CountValueRow& row = st.table.rows[gi];
                    const NetSpread* above = top ? nullptr : &*st.table.rows[gi + 1].spread;
                    const CdfRun cdfs = [&](std::int64_t from, int n, double* out) { net.Cdfs(from, n, out); };
                    for (int f = 0; f < kSpreadFigures; ++f) SpreadFigure(f, cdfs, above, row.evMedals, *row.spread);
                    // The setting's part of the mixture's CDF where its
                    // quantiles are first looked for: the settings, not the
                    // figures, are shared out among the workers.
                    const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
                    for (int q = 0; q < kQuantiles; ++q) {
                        Around& v = shares[static_cast<std::size_t>(i)][static_cast<std::size_t>(q)];
                        net.Cdfs(AroundFrom(GuessOf(q, mixAbove, mix.evMedals)), kAround, v.data());
                        for (double& c : v) c *= w;
                    }
                }
                sync.arrive_and_wait();
                const CdfRun cdfs = [&](std::int64_t from, int n, double* o) {
                    std::array<double, NetLawByCount::kMostCdfs> one{};
                    std::fill(o, o + n, 0.0);
                    for (Setting& st : settings) {
                        const double w = out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)];
                        st.net->Cdfs(from, n, one.data());
                        for (int j = 0; j < n; ++j) o[j] += w * one[static_cast<std::size_t>(j)];
                    }
                };
                // The chance ahead mixes the settings' own; the quantiles are
                // the settings' parts added up in order (the same on any
                // threads), searched for only when they left those nets.
                if (worker == 0) {
                    mix.spread->pAhead = 0;
                    for (Setting& st : settings)
                        mix.spread->pAhead += out.weights[gi][static_cast<std::size_t>(st.d->Setting() - 1)] *
                                              st.table.rows[gi].spread->pAhead;
                }
                for (int q = worker; q < kQuantiles; q += threads) {
                    Around v{};
                    for (const auto& part : shares)
                        for (int j = 0; j < kAround; ++j)
                            v[static_cast<std::size_t>(j)] +=
                                part[static_cast<std::size_t>(q)][static_cast<std::size_t>(j)];
                    const std::int64_t from = AroundFrom(GuessOf(q, mixAbove, mix.evMedals));
                    (*mix.spread).*kQuantileField[static_cast<std::size_t>(q)] =
                        QuantileFrom(cdfs, kLevels[static_cast<std::size_t>(q)], from, v);
                }
                sync.arrive_and_wait();
                if (quit.load(std::memory_order_relaxed)) return;
            }
        };
        // The barrier is made for the threads the system did start.
        RunWorkers(
            threads,
            [&](int workers) {
                barrier.emplace(threads = workers, Check{request.stop, &quit});
            },
            work);
        out.stopped = quit.load();
        for (const Setting& st : settings) out.dropped = std::max(out.dropped, st.net->Dropped());
    }
    for (Setting& st : settings) {
        FindPositive(st.table);
        out.bySetting[static_cast<std::size_t>(st.d->Setting() - 1)] = std::move(st.table);
    }
    FindPositive(out.mixed);
    return out;
}

CountValueTable ValueByGameCount(int setting, const Exchange& exchange, bool spread) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    std::array<double, kMaxSetting> w{};
    w[static_cast<std::size_t>(setting - 1)] = 1;
    CountValue v = ValueByGameCount({SettingPrior(w), HallMoney{exchange}, spread});
    return std::move(*v.bySetting[static_cast<std::size_t>(setting - 1)]);
}

const StretchFromStart& StretchesFromStart(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    static std::array<std::once_flag, kMaxSetting> once;
    static std::array<StretchFromStart, kMaxSetting> all;
    const auto i = static_cast<std::size_t>(setting - 1);
    std::call_once(once[i], [&] {
        const StateDynamics& d = Dynamics(setting);
        std::array<Figures, 2> f;
        f[0] = AfterLastGame();
        Figures* next = &f[0];
        Figures* now = &f[1];
        for (std::int32_t t = kMaxGamesSinceBB - 1; t >= 0; --t) {
            StepBack(d, t, *next, *now);
            std::swap(now, next);
        }
        StretchFromStart& out = all[i];
        out.games = next->games;
        for (std::size_t j = 0; j < out.net.v.size(); ++j)
            out.net.v[j] = NetOf(d.Model(), next->games.v[j], next->red.v[j]);
        // Renewal-reward: a whole stretch from the long-run start, per game.
        const StateLaw start = d.LongRunAfterBB();
        double net = 0, games = 0;
        for (std::size_t j = 0; j < start.v.size(); ++j) {
            net += start.v[j] * out.net.v[j];
            games += start.v[j] * out.games.v[j];
        }
        out.perGame = net / games;
    });
    return all[i];
}

}  // namespace morvane
