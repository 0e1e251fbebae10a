#include <gtest/gtest.h>

#include "machine/random.h"
#include "reference/straight_slot.h"

namespace morvane {
namespace {

std::vector<std::int32_t> Draws(std::uint32_t seed, int n) {
    Random r;
    r.SeedRandom(seed);
    std::vector<std::int32_t> out;
    for (int i = 0; i < n; ++i) out.push_back(r.Rand31());
    return out;
}

TEST(Random, KnownSequences) {
    EXPECT_EQ(Draws(0, 1), std::vector<std::int32_t>{346});
    EXPECT_EQ(Draws(1, 8), (std::vector<std::int32_t>{1410184549, 672584604, 1915668986, 576821944, 167078712,
                                                      174053283, 2092648556, 946840734}));
    EXPECT_EQ(Draws(12345, 4), (std::vector<std::int32_t>{1220244142, 1374406965, 308141128, 1558318993}));
}

TEST(Random, SeedingAdvancesOnlyTheLowWord) {
    Random r;
    r.SeedRandom(0);
    EXPECT_EQ(r.State(), 1u);
    r.SeedRandom(1);
    EXPECT_EQ(r.State(), 22695478u);
}

TEST(Random, CarryOfThePlusOneReachesTheHighWord) {
    // low * 20021 ends in 0xFFFFFFFF for this low word.
    Random r;
    r.SetState((std::uint64_t{7} << 32) | 0x9630EBE3u);
    EXPECT_EQ(r.Rand31(), 2116100643);
}

TEST(Random, AgreesWithTheThirtyTwoBitFormulation) {
    for (std::uint32_t seed : {0u, 1u, 2u, 12345u, 0xFFFFFFFFu, 1733700000u}) {
        Random fast;
        fast.SeedRandom(seed);
        reference::StraightRandom plain;
        plain.Seed(seed);
        for (int i = 0; i < 100000; ++i) ASSERT_EQ(fast.Rand31(), plain.Rand31()) << "seed " << seed << " draw " << i;
    }
}

// The jumps the game loop and the BB take instead of single steps.
TEST(Random, JumpsEqualSteppedDraws) {
    Random r;
    r.SeedRandom(99);
    for (int n : {0, 1, 2, 4, 6, 7}) {
        const Jump j = JumpBy(n);
        for (int i = 0; i < 1000; ++i) {
            const std::uint64_t s = r.State();
            for (int k = 0; k < n; ++k) r.Rand31();
            ASSERT_EQ(r.State(), s * j.mul + j.add) << n << " steps";
            r.Rand31();
        }
    }
    EXPECT_EQ(kMul2, JumpBy(2).mul);
    EXPECT_EQ(kAdd2, JumpBy(2).add);
    EXPECT_EQ(kMul4, JumpBy(4).mul);
    EXPECT_EQ(kAdd4, JumpBy(4).add);
}

}  // namespace
}  // namespace morvane
