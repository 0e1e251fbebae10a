#include "estimation/machine_now.h"

#include <algorithm>
#include <cmath>

#include "estimation/purchases_ahead.h"
#include "system/workers.h"

namespace morvane {
namespace {

// The BB chances, looked at once a stretch, that have moved less than this
// since the look before have settled on their long-run rates: the law's
// own fixed point, which the theory's long-run figures match to about 1e-10
// of a medal a game. The cap bounds the cost should rounding ever keep them
// moving.
constexpr double kSettled = 1e-16;
constexpr std::int64_t kMaxFollowed = std::int64_t{1} << 21;
// Games between two looks at `stop`.
constexpr std::int64_t kStopEvery = 1024;
// Up to this many games the settled game's BB nets are still added one by
// one, a few nanoseconds a game, so the sum rounds as the game-by-game sum
// always has and the figures printed to six decimals stay as they were.
constexpr std::int64_t kAddedOneByOne = std::int64_t{1} << 20;

std::optional<MachineNow> Figures(const MachineBelief& b, std::int32_t horizon, const std::atomic<bool>* stop,
                                  std::atomic<std::int64_t>* done, const NowMoney& money, int threads) {
    MachineNow out;
    out.gamesSinceBB = b.gamesSinceBB;
    out.horizon = horizon;
    out.money = money;
    // Setting by setting on the threads (the purchases take a while each),
    // then mixed in order, so that the sums are the same on any number.
    ForEachIndex(
        kMaxSetting, threads, {1, stop, nullptr}, [] { return 0; },
        [&](std::int64_t i, int) {
            const int s = static_cast<int>(i) + kMinSetting;
            const auto si = static_cast<std::size_t>(i);
            SettingNow& n = out.bySetting[si];
            n.posterior = b.posterior[si];
            n.possible = b.logLikelihood[si] != kImpossible;
            if (n.possible) {
                const StateDynamics& d = Dynamics(s);
                const StateLaw law = b.Law(s);
                for (int m = 0; m < kModes; ++m) n.mode[static_cast<std::size_t>(m)] = law.ModeTotal(m);
                const UntilBB until = UntilNextBB(d, law, b.gamesSinceBB);
                n.untilBB = until.net;
                n.untilBBGames = until.games;
                n.untilBBRealGames = RealGames(d.Model(), until.games, until.kind);
                std::array<double, kBBKinds> bbs{};
                n.nextGames = ExpectedNetOfGames(d, law, b.gamesSinceBB, horizon, stop, &bbs);
                n.nextRealGames = RealGames(d.Model(), horizon, bbs);
                if (money.money.held && n.posterior > 0) {
                    n.untilBBPurchases = ExpectedPurchasesUntilBB(d, law, b.gamesSinceBB, money.money, stop);
                    n.nextPurchases =
                        ExpectedPurchasesAhead(d, law, b.gamesSinceBB, horizon, 0, money.money, stop).byGames.back();
                }
            }
            if (done) done->fetch_add(1, std::memory_order_relaxed);
        });
    if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
    for (const SettingNow& n : out.bySetting) {
        if (!n.possible) continue;
        for (int m = 0; m < kModes; ++m)
            out.mode[static_cast<std::size_t>(m)] += n.posterior * n.mode[static_cast<std::size_t>(m)];
        out.nextGames += n.posterior * n.nextGames;
        out.untilBB += n.posterior * n.untilBB;
        out.untilBBGames += n.posterior * n.untilBBGames;
        out.nextPurchases += n.posterior * n.nextPurchases;
        out.untilBBPurchases += n.posterior * n.untilBBPurchases;
        out.nextRealGames += n.posterior * n.nextRealGames;
        out.untilBBRealGames += n.posterior * n.untilBBRealGames;
    }
    return out;
}

}  // namespace

UntilBB UntilNextBB(const StateDynamics& d, const StateLaw& start, std::int32_t since) {
    const GameModel& g = d.Model();
    std::array<StateLaw, 2> law{start, {}};
    double games = 0, bbNet = 0;
    std::array<double, kBBKinds> kind{};
    std::size_t at = 0;
    for (std::int32_t game = since + 1; game <= kMaxGamesSinceBB; ++game, at ^= 1) {
        const double alive = law[at].Total();
        if (alive == 0) break;
        games += alive;
        BBEvents bb{};
        d.Game(law[at], game, law[at ^ 1], bb);
        for (int e = 0; e < kBBEvents; ++e) {
            bbNet += bb[e] * g.bb[static_cast<std::size_t>(EventKind(e) - 1)].meanMedals;
            kind[static_cast<std::size_t>(EventKind(e) - 1)] += bb[e];
        }
    }
    return {games, g.netPerGame * games + bbNet, kind};
}

double ExpectedNetOfGames(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int64_t games,
                          const std::atomic<bool>* stop, std::array<double, kBBKinds>* bbs) {
    const GameModel& g = d.Model();
    RunLaw run(d, law, since);
    double bbNet = 0;
    std::array<double, 2 * kBBKinds> lastGame{};            // the BB nets of the game just followed, as added
    std::array<double, kBBKinds> bbChance{}, lastChance{};  // by kind: so far, and of the game just followed
    std::array<double, kBBKinds> looked{};
    looked.fill(-1);
    std::int64_t followed = 0;
    bool settled = false;
    while (followed < games && !settled && followed < kMaxFollowed) {
        if (stop && followed % kStopEvery == 0 && stop->load(std::memory_order_relaxed)) break;
        run.Next();
        ++followed;
        std::size_t term = 0;
        lastChance = {};
        for (int before = 0; before <= 1; ++before)
            for (int k = 0; k < kBBKinds; ++k) {
                lastGame[term] = run.BBChance(before, k) * g.bb[static_cast<std::size_t>(k)].meanMedals;
                bbNet += lastGame[term++];
                lastChance[static_cast<std::size_t>(k)] += run.BBChance(before, k);
            }
        for (int k = 0; k < kBBKinds; ++k)
            bbChance[static_cast<std::size_t>(k)] += lastChance[static_cast<std::size_t>(k)];
        if (followed % kMaxGamesSinceBB == 0) {
            settled = true;
            for (int k = 0; k < kBBKinds; ++k) {
                const double chance = run.BBChance(0, k) + run.BBChance(1, k);
                settled = settled && std::abs(chance - looked[static_cast<std::size_t>(k)]) <= kSettled;
                looked[static_cast<std::size_t>(k)] = chance;
            }
        }
    }
    const std::int64_t oneByOne = std::min(games, std::max(followed, kAddedOneByOne));
    for (std::int64_t j = followed; j < oneByOne; ++j)
        for (double net : lastGame) bbNet += net;
    double perGame = g.netPerGame;
    for (double net : lastGame) perGame += net;
    // Zero when every game was added, which leaves the sum as it was.
    const double rest = static_cast<double>(games - oneByOne) * perGame;
    if (bbs)
        for (int k = 0; k < kBBKinds; ++k)
            (*bbs)[static_cast<std::size_t>(k)] =
                bbChance[static_cast<std::size_t>(k)] +
                static_cast<double>(games - followed) * lastChance[static_cast<std::size_t>(k)];
    return g.netPerGame * static_cast<double>(oneByOne) + bbNet + rest;
}

MachineNow NowFigures(const MachineBelief& b, std::int32_t horizon, const NowMoney& money, int threads) {
    return *Figures(b, horizon, nullptr, nullptr, money, threads);
}

std::optional<MachineNow> NowFigures(const MachineBelief& b, std::int32_t horizon, const std::atomic<bool>& stop,
                                     std::atomic<std::int64_t>* done, const NowMoney& money, int threads) {
    return Figures(b, horizon, &stop, done, money, threads);
}

double RealGames(const GameModel& g, double games, const std::array<double, kBBKinds>& bbs) {
    double real = games;
    for (int k = 0; k < kBBKinds; ++k)
        real += bbs[static_cast<std::size_t>(k)] * kGamesPerSet * (1 + g.bb[static_cast<std::size_t>(k)].meanSets);
    return real;
}

}  // namespace morvane
