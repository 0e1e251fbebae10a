#include <gtest/gtest.h>

#include "run/batch.h"

namespace morvane {
namespace {

TEST(BatchFileName, InsertsBeforeTheFirstDotOfTheFileName) {
    EXPECT_EQ(BatchFileName("/data/sim/test.sim", 5, 8000, 2), "/data/sim/test5_8000_2.sim");
    EXPECT_EQ(BatchFileName("/data/b.sim", 3, 100, 1), "/data/b3_100_1.sim");
    EXPECT_EQ(BatchFileName("b.tar.sim", 5, 8000, 2), "b5_8000_2.tar.sim");
    EXPECT_EQ(BatchFileName("b.sim", 6, 1, 10), "b6_1_10.sim");
}

TEST(BatchFileName, DotsInFoldersAndNamesWithoutDots) {
    EXPECT_EQ(BatchFileName("/data/old.runs/b.sim", 3, 100, 1), "/data/old.runs/b3_100_1.sim");
    EXPECT_EQ(BatchFileName("./b.sim", 2, 50, 3), "./b2_50_3.sim");
    EXPECT_EQ(BatchFileName("../runs/b.sim", 2, 50, 3), "../runs/b2_50_3.sim");
    EXPECT_EQ(BatchFileName("/data/old.runs/batch", 3, 100, 1), "/data/old.runs/batch3_100_1");
    EXPECT_EQ(BatchFileName("batch", 1, 7, 1), "batch1_7_1");
}

TEST(BatchProgress, TruncatesTowardZero) {
    EXPECT_EQ(BatchProgress(1, 2), 50);
    EXPECT_EQ(BatchProgress(2, 2), 100);
    EXPECT_EQ(BatchProgress(1, 3), 33);
    EXPECT_EQ(BatchProgress(2, 3), 66);
    EXPECT_EQ(BatchProgress(3, 3), 100);
    EXPECT_EQ(BatchProgress(1, 7), 14);
}

}  // namespace
}  // namespace morvane
