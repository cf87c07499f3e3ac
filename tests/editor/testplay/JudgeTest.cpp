// Presses judged against a chart's targets: which target a press takes, its error in
// heard time, the windows' edges, extra presses and misses.
#include "ChartEdit.h"
#include "KeP.h"
#include "PlayTarget.h"
#include "TestPlayJudge.h"

#include <gtest/gtest.h>

using namespace tavix;

namespace {

// 100 BPM (150 ms a cell), no lead: cell c's hit sound starts at (c - 0.5) * 150 ms.
struct Chart
{
    KeP kep;
    CellTiming timing{};
    Chart()
    {
        kep.setTempo(100.0);
        ChartEdit(kep).resizeCells(64);
        timing = CellTiming::of(kep.BeatRate, 0.0);
    }
    void key(int32_t cell, int row) { ChartEdit(kep).set(KeP::flatIndex(cell, row), 1); }
    double at(int32_t cell) const { return double(*timing.firstMusicMs(cell)); }
};

} // namespace

TEST(Judge, TargetsAreTheKeysAndMarkersAtTheirHitSoundInstants)
{
    Chart c;
    c.key(4, 1);
    c.key(4, 6); // a chord: one target per key
    c.key(8, 7);
    c.key(40, 2); // outside the range asked for
    const auto targets = playTargets(c.kep, c.timing, 0, 32);
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0], (PlayTarget{4, 1, c.at(4)}));
    EXPECT_EQ(targets[1], (PlayTarget{4, 6, c.at(4)}));
    EXPECT_EQ(targets[2], (PlayTarget{8, 7, c.at(8)}));
    EXPECT_NEAR(c.at(4), 3.5 * 150.0, 1.0);
}

TEST(Judge, APressTakesTheNearestOpenTargetOfItsKeyWithinTheWidestWindow)
{
    Chart c;
    c.key(4, 1);
    c.key(5, 1);
    c.key(5, 2);
    TestPlayJudge judge(playTargets(c.kep, c.timing, 0, 64), JudgeWindows{});
    // Between cells 4 and 5 (150 ms apart), 20 ms nearer the later one.
    const double between = (c.at(4) + c.at(5)) / 2 + 20;
    JudgeEvent e = judge.press(1, between, 100);
    ASSERT_TRUE(e.target);
    EXPECT_EQ(e.cell, 5);
    EXPECT_DOUBLE_EQ(e.errorMs, -55.0);
    EXPECT_EQ(e.judgement, Judgement::Good);
    // The same spot again: cell 5 is taken, so cell 4 is, late.
    e = judge.press(1, between, 100);
    EXPECT_EQ(e.cell, 4);
    EXPECT_DOUBLE_EQ(e.errorMs, 95.0);
    EXPECT_EQ(e.judgement, Judgement::Bad);
    // Nothing of that key left: an extra press. Another key's target is not taken.
    e = judge.press(1, c.at(5), 100);
    EXPECT_FALSE(e.target);
    EXPECT_FALSE(e.judgement);
    e = judge.press(2, c.at(5) + 135.0, 100);
    EXPECT_EQ(e.judgement, Judgement::Bad); // the edge of the widest window is inside it
}

TEST(Judge, WindowsAreInHeardTimeAtAnySpeed)
{
    const JudgeWindows w;
    EXPECT_EQ(w.of(25.0), Judgement::Perfect);
    EXPECT_EQ(w.of(-25.01), Judgement::Great);
    EXPECT_EQ(w.of(50.0), Judgement::Great);
    EXPECT_EQ(w.of(-90.0), Judgement::Good);
    EXPECT_EQ(w.of(135.0), Judgement::Bad);
    EXPECT_EQ(w.of(135.5), Judgement::Miss);

    Chart c;
    c.key(10, 3);
    c.key(20, 3);
    TestPlayJudge judge(playTargets(c.kep, c.timing, 0, 64), w);
    // At half speed 10 ms of song is 20 ms of listening: Perfect's 25 ms reaches 12.5.
    JudgeEvent e = judge.press(3, c.at(10) - 10.0, 50);
    EXPECT_DOUBLE_EQ(e.errorMs, -20.0);
    EXPECT_EQ(e.judgement, Judgement::Perfect);
    // And a press 70 ms of song late is 140 ms late to the ear: beyond every window.
    e = judge.press(3, c.at(20) + 70.0, 50);
    EXPECT_FALSE(e.target);
}

TEST(Judge, TargetsPassedUnpressedAreMissesOnceTheirWindowCloses)
{
    Chart c;
    c.key(4, 1);
    c.key(6, 2);
    c.key(30, 4);
    TestPlayJudge judge(playTargets(c.kep, c.timing, 0, 64), JudgeWindows{});
    EXPECT_TRUE(judge.passTo(c.at(4) + 135.0, 100).empty()); // still open at the edge
    judge.press(2, c.at(6), 100);
    const auto missed = judge.passTo(c.at(6) + 136.0, 100);
    ASSERT_EQ(missed.size(), 1u);
    EXPECT_EQ(missed[0].cell, 4);
    EXPECT_EQ(missed[0].judgement, Judgement::Miss);
    const auto atEnd = judge.finish();
    ASSERT_EQ(atEnd.size(), 1u);
    EXPECT_EQ(atEnd[0].cell, 30);
    // A loop's next pass plays every target again.
    judge.rearm();
    EXPECT_EQ(judge.press(1, c.at(4), 100).cell, 4);
}
