#include "analysis/machine_now.h"

namespace morvane {

UntilBB UntilNextBB(const StateDynamics& d, const StateLaw& start, std::int32_t since) {
    const GameModel& g = d.Model();
    std::array<StateLaw, 2> law{start, {}};
    double games = 0, bbNet = 0;
    std::size_t at = 0;
    for (std::int32_t game = since + 1; game <= kMaxGamesSinceBB; ++game, at ^= 1) {
        const double alive = law[at].Total();
        if (alive == 0) break;
        games += alive;
        BBEvents bb{};
        d.Game(law[at], game, law[at ^ 1], bb);
        for (int e = 0; e < kBBEvents; ++e) bbNet += bb[e] * g.bb[static_cast<std::size_t>(EventKind(e) - 1)].meanMedals;
    }
    return {games, g.netPerGame * games + bbNet};
}

double ExpectedNetOfGames(const StateDynamics& d, const StateLaw& law, std::int32_t since, std::int64_t games) {
    const GameModel& g = d.Model();
    RunLaw run(d, law, since);
    double bbNet = 0;
    for (std::int64_t j = 0; j < games; ++j) {
        run.Next();
        for (int before = 0; before <= 1; ++before)
            for (int k = 0; k < kBBKinds; ++k) bbNet += run.BBChance(before, k) * g.bb[static_cast<std::size_t>(k)].meanMedals;
    }
    return g.netPerGame * static_cast<double>(games) + bbNet;
}

MachineNow NowFigures(const MachineBelief& b, std::int32_t horizon) {
    MachineNow out;
    out.gamesSinceBB = b.gamesSinceBB;
    out.horizon = horizon;
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto si = static_cast<std::size_t>(s - 1);
        SettingNow& n = out.bySetting[si];
        n.posterior = b.posterior[si];
        n.possible = b.logLikelihood[si] != kImpossible;
        if (!n.possible) continue;
        const StateDynamics& d = Dynamics(s);
        const StateLaw law = b.Law(s);
        for (int m = 0; m < kModes; ++m) n.mode[static_cast<std::size_t>(m)] = law.ModeTotal(m);
        const UntilBB until = UntilNextBB(d, law, b.gamesSinceBB);
        n.untilBB = until.net;
        n.untilBBGames = until.games;
        n.nextGames = ExpectedNetOfGames(d, law, b.gamesSinceBB, horizon);
        for (int m = 0; m < kModes; ++m) out.mode[static_cast<std::size_t>(m)] += n.posterior * n.mode[static_cast<std::size_t>(m)];
        out.nextGames += n.posterior * n.nextGames;
        out.untilBB += n.posterior * n.untilBB;
        out.untilBBGames += n.posterior * n.untilBBGames;
    }
    return out;
}

}  // namespace morvane
