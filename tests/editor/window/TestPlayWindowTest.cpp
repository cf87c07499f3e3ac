// Test play in the window on fakes: started from the cursor with its shortcut, presses
// judged, stopped with Escape's command, the cursor and view put back, the chart, its
// history and caption as they were, and the offer to move the offset by the mean error.
#include "EditingRig.h"
#include "KeyboardCharting.h"
#include "NumberReading.h"
#include "TavixKey.h"
#include "TestPlayResultsDialog.h"
#include "TestPlayRun.h"
#include "TestPlayWiring.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

TEST(TestPlayWindow, ARunFromTheCursorJudgesLeavesTheChartAndOffersTheOffsetShift)
{
    EditingRig rig;
    for (int32_t c = 40; c < 200; c += 2)
        rig.set(c, 1 + c % 3);
    const GridBytes grid = rig.kep.KeyGrid;
    const int steps = rig.ke.history().stack().index();
    const QString caption = rig.ke.windowTitle();
    rig.ke.charting().cursorKeys().placeCursor(32);
    const int32_t startMs = rig.ke.session().cursorMs();
    const int32_t startView = rig.ke.TimeSet().value();

    rig.ke.charting().run(Command::TestPlay);
    ASSERT_TRUE(rig.ke.session().testing());
    const CellTiming timing = rig.ke.session().timing();
    // Every target of cells 40 to 98 pressed 12 ms late, then the run stopped.
    std::vector<std::pair<double, uint8_t>> presses;
    for (int32_t c = 40; c < 100; c += 2)
        presses.push_back({double(*timing.firstMusicMs(c)) + 12.0, KeyToRow[size_t(c % 3)].code});
    size_t next = 0;
    while (next < presses.size() || rig.ke.session().playMs() < 16000) {
        rig.engine.advance(1000.0 / 60.0);
        const double heard = rig.engine.streamTimeExact(rig.ke.session().music());
        for (; next < presses.size() && presses[next].first <= heard; ++next)
            rig.keys->press(presses[next].second,
                            rig.engine.now - std::chrono::microseconds(
                                                 int64_t((heard - presses[next].first) * 1000.0)));
        rig.ke.playbackPass();
    }
    // The keys judged show marked: 12 ms late is within Perfect, so on time.
    ASSERT_NE(rig.ke.judgedKeys(), nullptr);
    rig.ke.renderer().Render(int32_t(60.0 / rig.kep.BeatRate / 100.0), 0, false); // bar steps
    int onTime = 0;
    for (const Quad& q : rig.ke.renderer().lastFrame())
        onTime += q.texture == Texture::MarkOnTime;
    EXPECT_GT(onTime, 0);
    rig.ke.buttonClick(1); // Stop, as Escape runs it
    QTest::qWait(10);

    TestPlayResultsDialog* results = rig.ke.testPlay().results();
    ASSERT_NE(results, nullptr);
    const RunTally& tally = rig.ke.testPlay().lastRun()->tally();
    EXPECT_EQ(tally.presses(), 30);
    EXPECT_EQ(tally.extras(), 0);
    EXPECT_NEAR(tally.meanErrorMs(), 12.0, 1.0);
    // The stop came past cell 100's targets unpressed: misses, and measure 7 has them.
    EXPECT_GT(tally.count(Judgement::Miss), 0);
    ASSERT_GT(results->measures().count(), 0);
    EXPECT_EQ(rig.ke.session().cursorMs(), startMs);
    EXPECT_EQ(rig.ke.TimeSet().value(), startView);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    EXPECT_EQ(rig.ke.history().stack().index(), steps);
    EXPECT_EQ(rig.ke.windowTitle(), caption);
    // The offset moves every cell 12 ms later, as one step.
    ASSERT_TRUE(results->shiftButton().isVisibleTo(results));
    const CellTiming before = rig.ke.session().timing();
    results->shiftButton().click();
    EXPECT_EQ(rig.ke.history().stack().index(), steps + 1);
    const CellTiming after = rig.ke.session().timing();
    EXPECT_NEAR(before.leadMs - after.leadMs, tally.meanErrorMs(), 0.5);
    EXPECT_NEAR(double(*after.firstMusicMs(120) - *before.firstMusicMs(120)), tally.meanErrorMs(),
                1.0);
    // The choice to stay where a run stopped is kept for the next runs.
    results->stayWhereStopped().setChecked(true);
    results->close();
    EXPECT_EQ(rig.ke.judgedKeys(), nullptr);
    rig.ke.charting().run(Command::TestPlay);
    rig.engine.advance(2000.0);
    rig.ke.playbackPass();
    const int32_t stoppedAt = rig.ke.session().playMs();
    rig.ke.charting().run(Command::TestPlay); // again: stops
    QTest::qWait(10);
    EXPECT_EQ(rig.ke.session().cursorMs(), stoppedAt);
    EXPECT_NE(stoppedAt, startMs); // still in the count-in, 2 s after the start
}

TEST(TestPlayWindow, LTakesTheSelectedCellsAsTheLoopShownInTheStripAndOnTheCanvas)
{
    EditingRig rig;
    rig.ke.charting().run(Command::Loop); // nothing selected: told, nothing looped
    EXPECT_FALSE(rig.ke.session().loopCells());
    EXPECT_EQ(rig.messages.shown.size(), 1u);
    rig.ke.charting().cursorKeys().placeCursor(16);
    for (int i = 0; i < 16; ++i)
        rig.ke.charting().run(Command::SelectOn);
    rig.ke.charting().run(Command::Loop);
    ASSERT_TRUE(rig.ke.session().loopCells());
    EXPECT_EQ(rig.ke.session().loopCells()->first, 16);
    EXPECT_EQ(rig.ke.session().loopCells()->last, 31);
    EXPECT_EQ(rig.ke.charting().strip().loop.text(), QStringLiteral("Loop 2.1\u20132.4"));
    rig.ke.renderer().Render(0, 0, false);
    int bands = 0;
    for (const Quad& q : rig.ke.renderer().lastFrame())
        bands += q.texture == Texture::MarkOnTime;
    EXPECT_EQ(bands, 1);
    rig.ke.charting().run(Command::Loop); // again: no loop
    EXPECT_FALSE(rig.ke.session().loopCells());
    EXPECT_TRUE(rig.ke.charting().strip().loop.text().isEmpty());
}
