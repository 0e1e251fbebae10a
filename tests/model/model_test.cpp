// The per-game and per-BB probabilities against the tables' plain facts and
// against the machine's own game step and BB.
#include "model/game_model.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <vector>

#include "machine/slot.h"
#include "sampling.h"

namespace morvane {
namespace {

using test::Estimate;
using test::MeanOf;

TEST(GameModel, SmallWinsComeStraightFromTheTables) {
    const GameModel one = BuildGameModel(1);
    EXPECT_DOUBLE_EQ(one.koyaku[Cherry2], 4251.0 / 1048576);
    EXPECT_DOUBLE_EQ(one.koyaku[Blank], 197406.0 / 1048576);
    double sum = 0;
    for (double p : one.koyaku) sum += p;
    EXPECT_NEAR(sum, 1.0, 1e-15);
    // Settings 5 and 6 share their table; 4 differs from it in ReplayA only.
    const GameModel four = BuildGameModel(4), five = BuildGameModel(5), six = BuildGameModel(6);
    EXPECT_EQ(five.koyaku, six.koyaku);
    EXPECT_NE(four.koyaku[ReplayA], five.koyaku[ReplayA]);
    EXPECT_DOUBLE_EQ(four.koyaku[Bell], five.koyaku[Bell]);
    EXPECT_THROW(BuildGameModel(0), std::out_of_range);
    EXPECT_THROW(BuildGameModel(7), std::out_of_range);
}

TEST(GameModel, ContinuedSetsAreGeometricPerContinuationMode) {
    const GameModel g = BuildGameModel(3);
    const BBModel& blue = g.bb[BlueBB - 1];
    EXPECT_NEAR(blue.MeanSets(0), 1024.0 / 259, 1e-12);
    EXPECT_NEAR(blue.MeanSets(1), 1024.0 / 213, 1e-12);
    EXPECT_NEAR(blue.MeanSets(2), 1024.0 / 157, 1e-12);
    EXPECT_NEAR(blue.MeanSets(3), 1024.0 / 113, 1e-12);
    for (const BBModel& b : g.bb) {
        double total = 0, mean = 0;
        for (int n = 1; n < 2000; ++n) {
            total += b.SetsProbability(n);
            mean += n * b.SetsProbability(n);
        }
        EXPECT_NEAR(total, 1.0, 1e-12);
        EXPECT_NEAR(mean, b.meanSets, 1e-9);
        EXPECT_EQ(b.SetsProbability(0), 0.0);
    }
    // A red BB is almost always C or D, so it runs longer.
    EXPECT_GT(g.bb[RedBB - 1].meanSets, blue.meanSets + 2);
}

// One ordinary game from each ordinary mode, played by the machine itself.
TEST(GameModel, OrdinaryModeStepMatchesTheMachine) {
    constexpr int kGames = 400'000;
    for (int setting : {2, 6}) {
        const GameModel g = BuildGameModel(setting);
        Slot slot(99u + static_cast<std::uint32_t>(setting));
        slot.SetFlevel(setting);
        for (int from = 0; from < kOrdinaryModes; ++from) {
            std::array<double, kModes> seen{};
            for (int i = 0; i < kGames; ++i) {
                slot.mode = from;
                slot.gamesSinceBB = 10;
                slot.bbKind = 0;
                slot.Play();
                seen[slot.mode] += 1;
            }
            for (int to = 0; to < kModes; ++to) {
                const double p = g.modeStep[from][to];
                const double se = std::sqrt(p * (1 - p) / kGames);
                EXPECT_NEAR(seen[to] / kGames, p, 4 * se + 1e-9)
                    << "setting " << setting << " from " << from << " to " << to;
            }
        }
    }
}

struct BBSample {
    std::vector<double> medals, sets;
    std::array<double, kModes> endMode{};
    std::array<double, kKModes> kmode{};
};

BBSample PlayManyBBs(int setting, int kind, int count) {
    Slot slot(4242u + static_cast<std::uint32_t>(setting * 10 + kind));
    slot.SetFlevel(setting);
    LoopState h{};
    h.s = slot.Rng().State();
    BBSample out;
    out.medals.reserve(static_cast<std::size_t>(count));
    out.sets.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        h.mode = kind == BlueBB ? Blue7 : Red7;
        h.medalBalance = 0;
        h = PlayBB(slot.Draws(), h);
        out.medals.push_back(h.medalBalance);
        out.sets.push_back(h.bbSets);
        out.endMode[h.mode] += 1;
        out.kmode[h.kmode] += 1;
    }
    return out;
}

// The BB's medals, sets, continuation mode and end mode (through the
// EndToNormal cascade) against the machine's BB.
TEST(GameModel, BBOutcomeMatchesTheMachinesBB) {
    constexpr int kBBs = 300'000;
    for (int setting : {1, 6}) {
        const GameModel g = BuildGameModel(setting);
        for (int kind : {BlueBB, RedBB}) {
            const BBModel& b = g.bb[kind - 1];
            const BBSample s = PlayManyBBs(setting, kind, kBBs);
            const std::string where = "setting " + std::to_string(setting) + " kind " + std::to_string(kind);
            const Estimate medals = MeanOf(s.medals), sets = MeanOf(s.sets);
            EXPECT_NEAR(medals.value, b.meanMedals, 4 * medals.se) << where;
            EXPECT_NEAR(sets.value, b.meanSets, 4 * sets.se) << where;
            // The variance formula against the sample's: its error is a few
            // tenths of a percent at this size.
            const double sampleVar = medals.se * medals.se * kBBs;
            EXPECT_NEAR(sampleVar / b.medalVariance, 1.0, 0.03) << where;
            for (int m = 0; m < kModes; ++m) {
                const double p = b.endMode[m];
                EXPECT_NEAR(s.endMode[m] / kBBs, p, 4 * std::sqrt(p * (1 - p) / kBBs) + 1e-9) << where << " mode " << m;
            }
            for (int km = 0; km < kKModes; ++km) {
                const double p = b.kmode[km];
                EXPECT_NEAR(s.kmode[km] / kBBs, p, 4 * std::sqrt(p * (1 - p) / kBBs) + 1e-9)
                    << where << " kmode " << km;
            }
        }
    }
}

}  // namespace
}  // namespace morvane
