#include "ChartStats.h"
#include "ChartTestFiles.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

// At 15 BPM a cell lasts a second, so the densest 4 s are four cells.
TEST(ChartStats, CountsWorkedOutByHand)
{
    KeP kep = chartWith(40, {{0, 1},
                             {0, 7},
                             {1, 2},
                             {1, 3},
                             {2, 4},
                             {5, 1},
                             {17, 1},
                             {17, 2},
                             {17, 3},
                             {18, 5},
                             {19, 6},
                             {20, 4},
                             {32, 7},
                             {33, 6}});
    // A foreign value is no key: it neither counts nor breaks the run it sits in.
    ChartEdit(kep).set(KeP::flatIndex(20, 1), 2);
    const ChartStats s = ChartStats::of(kep, KeP::rateFromBpm(15));
    EXPECT_EQ(s.keys, 12);
    EXPECT_EQ(s.chords, 2);
    EXPECT_EQ(s.markers, 2);
    EXPECT_EQ(s.firstKeyed, 0);
    EXPECT_EQ(s.lastKeyed, 33);
    EXPECT_EQ(s.keyedCells, 34);
    EXPECT_NEAR(s.keyedMs, 34000.0, 0.01);
    EXPECT_NEAR(s.keysPerSecond, 12.0 / 34.0, 1e-6);
    EXPECT_EQ(s.keysPerMeasure, (std::vector<int32_t>{5, 6, 1}));
    EXPECT_EQ(s.longestRun, 4);
    EXPECT_EQ(s.longestRunFirst, 17);
    // Cells 17-20 hold 3 + 1 + 1 + 1 keys; the run 0-3 only 4.
    EXPECT_EQ(s.densestFirst, 17);
    EXPECT_NEAR(s.densestKeysPerSecond, 6.0 / 4.0, 1e-6);
}

TEST(ChartStats, NoKeysAndNoRate)
{
    const ChartStats empty = ChartStats::of(chartWith(33, {{8, 7}}), KeP::rateFromBpm(100));
    EXPECT_EQ(empty.keys, 0);
    EXPECT_EQ(empty.markers, 1);
    EXPECT_EQ(empty.firstKeyed, -1);
    EXPECT_EQ(empty.keyedCells, 0);
    EXPECT_EQ(empty.keysPerSecond, 0.0);
    EXPECT_EQ(empty.densestFirst, -1);
    EXPECT_EQ(empty.keysPerMeasure, (std::vector<int32_t>{0, 0, 0}));
    EXPECT_TRUE(ChartStats::of(KeP(), 1.0f).keysPerMeasure.empty());

    // Without a rate the counts stand and the times stay 0.
    const ChartStats untimed = ChartStats::of(chartWith(4, {{1, 1}, {2, 2}}), 0.0f);
    EXPECT_EQ(untimed.keys, 2);
    EXPECT_EQ(untimed.longestRun, 2);
    EXPECT_EQ(untimed.keyedMs, 0.0);
    EXPECT_EQ(untimed.densestKeysPerSecond, 0.0);
}
