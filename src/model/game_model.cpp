#include "model/game_model.h"

#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "machine/tables.h"

namespace morvane {
namespace {

// Outcome probabilities of a table: weight / modulus; whatever the weights
// leave of the modulus falls on the outcome one past the last entry.
template <std::size_t N>
std::array<double, N> Probabilities(int id) {
    std::array<double, N> p{};
    const auto w = TableWeights(id);
    const std::int64_t modulus = TableModulus(id);
    std::int64_t rest = modulus;
    for (std::size_t i = 0; i < w.size() && i < N; ++i) {
        p[i] = static_cast<double>(w[i]) / static_cast<double>(modulus);
        rest -= w[i];
    }
    if (w.size() < N) p[w.size()] = static_cast<double>(rest) / static_cast<double>(modulus);
    return p;
}

// Distribution of the next mode after a mode-change draw in mode m with small
// win k: the selected table, or m itself when none is selected.
std::array<double, kModes> ModeChange(int m, int k, int setting) {
    const int id = ModeChangeTable(m, k, setting);
    if (id == kNoTable) {
        std::array<double, kModes> stay{};
        stay[m] = 1.0;
        return stay;
    }
    return Probabilities<kModes>(id);
}

BBModel BuildBB(const GameModel& g, int kind) {
    BBModel b;
    b.kmode = Probabilities<kKModes>(KModeTable(kind + 1));

    const std::array<double, kModes>& normalEnd = g.normalEnd;

    double contMean = 0, contSq = 0, lastMean = 0, lastSq = 0;
    for (int k = 0; k < kKoyakuKinds; ++k) {
        const double p = g.koyaku[k];
        const double c = kContinuePayout[k] - kBet;
        const double l = kPayout[k] - kBet;
        contMean += p * c;
        contSq += p * c * c;
        lastMean += p * l;
        lastSq += p * l * l;
    }
    // A continued set and the last set as sums of six independent games.
    const double setMean = kGamesPerSet * contMean + kSetBonus;
    const double setVar = kGamesPerSet * (contSq - contMean * contMean);
    const double endMean = kGamesPerSet * lastMean;
    const double endVar = kGamesPerSet * (lastSq - lastMean * lastMean);

    double secondMoment = 0;
    for (int km = 0; km < kKModes; ++km) {
        const auto outcome = Probabilities<5>(KeizokuTable(km));
        const double q = outcome[Continue];
        b.continueChance[km] = q;
        for (int c = 0; c < 4; ++c) b.ending[km][c] = outcome[c] / (1.0 - q);
        const double w = b.kmode[km];
        for (int m = 0; m < kModes; ++m) b.endMode[m] += w * b.ending[km][EndToNormal] * normalEnd[m];
        b.endMode[Precursor] += w * b.ending[km][EndToPrecursor];
        b.endMode[Blue7] += w * b.ending[km][EndToBlue7];
        b.endMode[Red7] += w * b.ending[km][EndToRed7];

        // Sets: geometric from 1 with continue chance q.
        const double setsMean = 1.0 / (1.0 - q);
        const double setsVar = q / ((1.0 - q) * (1.0 - q));
        const double mean = setsMean * setMean + endMean;
        const double var = setsMean * setVar + setsVar * setMean * setMean + endVar;
        b.meanSets += w * setsMean;
        b.meanMedals += w * mean;
        secondMoment += w * (var + mean * mean);
    }
    b.medalVariance = secondMoment - b.meanMedals * b.meanMedals;
    return b;
}

}  // namespace

double BBModel::SetsProbability(int n) const {
    if (n < 1) return 0.0;
    double p = 0;
    for (std::size_t km = 0; km < kKModes; ++km)
        p += kmode[km] * std::pow(continueChance[km], n - 1) * (1.0 - continueChance[km]);
    return p;
}

GameModel BuildGameModel(int setting) {
    if (!ValidSetting(setting)) throw std::out_of_range("setting must be 1 to 6");
    GameModel g;
    g.setting = setting;
    g.koyaku = Probabilities<kKoyakuKinds>(KoyakuTable(setting));
    for (int k = 0; k < kKoyakuKinds; ++k) g.netPerGame += g.koyaku[k] * kNetPayout[k];
    g.initMode = Probabilities<kOrdinaryModes>(InitModeTable(setting));

    for (int m = kOrdinaryModes; m < kModes; ++m) g.cascadeStep[m][m] = 1.0;
    for (int k = 0; k < kKoyakuKinds; ++k) {
        const double pk = g.koyaku[k];
        auto& change = g.modeChange[k];
        for (int m = 0; m < kOrdinaryModes; ++m) {
            change[m] = ModeChange(m, k, setting);
            for (int to = 0; to < kModes; ++to) g.modeStep[m][to] += pk * change[m][to];
        }
        // The cascade draws again, with the same small win, for every ordinary
        // mode it reaches in upward order: Hamari, then LowProb, then HighProb.
        for (int from = 0; from < kOrdinaryModes; ++from) {
            std::array<double, kModes> d{};
            d[from] = 1.0;
            for (int m = 0; m < kOrdinaryModes; ++m) {
                const double at = d[m];
                if (at == 0) continue;
                d[m] = 0;
                for (int to = 0; to < kModes; ++to) d[to] += at * change[m][to];
            }
            for (int to = 0; to < kModes; ++to) g.cascadeStep[from][to] += pk * d[to];
        }
    }
    // The last set of an EndToNormal BB: initial mode, then six cascade games.
    for (int m = 0; m < kOrdinaryModes; ++m) g.normalEnd[m] = g.initMode[m];
    for (int game = 0; game < kGamesPerSet; ++game) {
        std::array<double, kModes> next{};
        for (int from = 0; from < kModes; ++from)
            for (int to = 0; to < kModes; ++to) next[to] += g.normalEnd[from] * g.cascadeStep[from][to];
        g.normalEnd = next;
    }
    for (int kind = 0; kind < kBBKinds; ++kind) g.bb[kind] = BuildBB(g, kind);
    return g;
}

}  // namespace morvane
