// Mouse editing on the canvas, driven by mouse events sent to the canvas widget.
#include "EditingRig.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

// --- Rows and their edges

TEST(CanvasClick, BandEdgesSeekInsteadOfEditing)
{
    EditingRig rig;
    const auto grid = rig.kep.KeyGrid;
    for (float y : {62.0f, 63.0f, 64.0f, 190.0f, 206.0f, 396.0f, 432.0f}) {
        SCOPED_TRACE(y);
        rig.ke.moveCursorTo(999);
        rig.engine.log.clear();
        rig.click(48, y);
        EXPECT_EQ(rig.kep.KeyGrid, grid);
        EXPECT_EQ(rig.ke.state().CursorMs, 150);
        EXPECT_EQ(rig.lastSeek(), rig.seekTo(122)); // 150 - 28 ms of lead
    }
}

TEST(CanvasClick, JustInsideTheBandsToggles)
{
    EditingRig rig;
    const struct
    {
        float y;
        int row;
    } inside[] = {{61, 1}, {65, 2}, {189, 3}, {207, 4}, {335, 6}, {395, 6}, {397, 7}, {431, 7}};
    for (const auto& c : inside) {
        SCOPED_TRACE(c.y);
        rig.click(48, c.y);
        EXPECT_EQ(rig.at(1, c.row), 1);
        rig.click(48, c.y);
        EXPECT_EQ(rig.at(1, c.row), 0);
    }
    EXPECT_EQ(rig.ke.state().CursorMs, 0); // no click seeked
}

TEST(CanvasClick, WorkedExampleAtTimeBar20)
{
    EditingRig rig;
    rig.ke.TimeSet().setValue(20);
    rig.click(37, 30);
    rig.click(38, 95);
    rig.click(69, 160);
    rig.click(70, 237);
    EXPECT_EQ(rig.at(13, 1), 1);
    EXPECT_EQ(rig.at(14, 2), 1);
    EXPECT_EQ(rig.at(14, 3), 1);
    EXPECT_EQ(rig.at(15, 4), 1);
    int set = 0;
    for (uint8_t v : rig.kep.KeyGrid)
        set += v;
    EXPECT_EQ(set, 4);

    rig.click(38, 200);
    EXPECT_EQ(rig.ke.state().CursorMs, 2103);
    EXPECT_EQ(rig.lastSeek(), rig.seekTo(2075));
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:02/1:00"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0014/0400"));
}

TEST(CanvasClick, CursorAtTheStartAndLeftOfTheGrid)
{
    EditingRig rig;
    rig.click(16, 200);
    EXPECT_EQ(rig.ke.state().CursorMs, 0);
    rig.click(48, 200);
    EXPECT_EQ(rig.ke.state().CursorMs, 150);
    rig.click(0, 200);
    EXPECT_EQ(rig.ke.state().CursorMs, -75);
    EXPECT_EQ(rig.lastSeek(), rig.seekTo(-103));
}

TEST(CanvasClick, RightButtonDoesNothingOnAKeyAndSeeksOutside)
{
    EditingRig rig;
    rig.set(1, 2);
    const auto grid = rig.kep.KeyGrid;
    rig.engine.log.clear();
    rig.click(48, 95, Qt::RightButton);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    EXPECT_EQ(rig.lastSeek(), "");
    EXPECT_EQ(rig.ke.state().CursorMs, 0);
    rig.click(80, 414, Qt::RightButton);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    rig.click(80, 200, Qt::RightButton);
    EXPECT_EQ(rig.ke.state().CursorMs, 300);
    EXPECT_EQ(rig.lastSeek(), rig.seekTo(272));
}

TEST(CanvasClick, ToggleWritesOneOverAnyOtherValue)
{
    EditingRig rig;
    rig.set(2, 7, 1);
    const auto grid = rig.kep.KeyGrid;
    rig.click(EditingRig::xOfCell(2), 414);
    EXPECT_EQ(rig.at(2, 7), 0);
    rig.click(EditingRig::xOfCell(2), 414);
    EXPECT_EQ(rig.kep.KeyGrid, grid); // twice restores the grid exactly
    rig.set(3, 5, 2);
    rig.click(EditingRig::xOfCell(3), 300);
    EXPECT_EQ(rig.at(3, 5), 1);
}

TEST(CanvasClick, CellsPastTheEndAreIgnored)
{
    EditingRig rig(15000); // 100 cells
    ASSERT_EQ(rig.kep.TotalBeats, 100);
    rig.ke.TimeSet().setValue(140); // cells 93.. are shown
    const auto grid = rig.kep.KeyGrid;
    rig.click(16 + 32 * 6 + 5, 30); // cell 99
    EXPECT_EQ(rig.at(99, 1), 1);
    rig.click(16 + 32 * 7 + 5, 30); // cell 100 does not exist
    rig.click(16 + 32 * 7 + 5, 414);
    EXPECT_EQ(rig.kep.KeyGrid.size(), grid.size());
    rig.click(16 + 32 * 6 + 5, 30);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
}

TEST(CanvasClick, AClickRedrawsTheCanvas)
{
    EditingRig rig;
    rig.ke.runPendingFrame();
    const QImage before = rig.ke.Picture1().shownFrame();
    rig.click(EditingRig::xOfCell(4), 30);
    EXPECT_TRUE(rig.ke.runPendingFrame());
    bool keyDrawn = false;
    for (const Quad& q : rig.ke.renderer().lastFrame())
        if (q.texture == Texture::Key1 && q.v[0].x == 32.0f * 4 && q.v[0].y == 0.0f)
            keyDrawn = true;
    EXPECT_TRUE(keyDrawn);
    EXPECT_NE(rig.ke.Picture1().shownFrame(), before);
}

// --- Press, move, release

TEST(CanvasDrag, PressAndReleaseWithoutMovingToggles)
{
    EditingRig rig;
    rig.press(48, 30);
    EXPECT_TRUE(rig.ke.state().drag.MouseDown);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
    EXPECT_EQ(rig.ke.state().drag.MouseStartX, 48);
    EXPECT_EQ(rig.ke.state().drag.MouseStartY, 30);
    rig.release(48, 30);
    EXPECT_FALSE(rig.ke.state().drag.MouseDown);
    EXPECT_EQ(rig.at(1, 1), 1);
}

TEST(CanvasDrag, TheSmallestMovementSelectsInsteadOfToggling)
{
    EditingRig rig;
    rig.set(1, 1);
    rig.ke.gestures().select(selectionOf({8}));
    rig.press(48.4f, 30);
    rig.move(48.6f, 30);
    EXPECT_TRUE(rig.ke.state().drag.MouseMove);
    EXPECT_EQ(rig.ke.state().drag.MouseMoveX, 49); // nearest of the coordinates
    rig.release(48.6f, 30);
    EXPECT_EQ(rig.at(1, 1), 1);
    EXPECT_EQ(rig.ke.state().SelKeys, emptySelection()); // replaced by an empty one
    EXPECT_TRUE(rig.ke.state().drag.MouseMove);
    EXPECT_FALSE(rig.ke.state().drag.MouseDown);
}

TEST(CanvasDrag, DragEndTakesTheDisplaysSelection)
{
    EditingRig rig;
    for (int c = 0; c < 4; ++c) {
        rig.set(c, 1);
        rig.set(c, 4);
    }
    rig.set(1, 7); // markers are never selected
    rig.drag(0, 0, 120, 300);
    // Icon centres x = 31, 63, 95 (127 is outside); rows 1 and 4 at y = 31 and 237.
    EXPECT_EQ(rig.ke.state().SelKeys, selectionOf({1, 4, 8, 11, 15, 18}));
    EXPECT_EQ(rig.ke.renderer().SelectedKeys, 6);
    // Only the keys inside changed colour; nothing was toggled.
    EXPECT_EQ(rig.at(3, 1), 1);
    EXPECT_EQ(rig.at(0, 1), 1);
}

TEST(CanvasDrag, FrozenSelectionIsReadAgainByAnyRelease)
{
    EditingRig rig;
    rig.set(0, 1);
    rig.set(1, 1);
    rig.drag(0, 0, 80, 60);
    EXPECT_EQ(rig.ke.state().SelKeys, selectionOf({1, 8}));
    // The rectangle stays; a key appears inside it; a right click re-reads, toggling nothing.
    rig.set(1, 1, 0);
    rig.click(48, 30, Qt::RightButton);
    EXPECT_EQ(rig.ke.state().SelKeys, selectionOf({1}));
    EXPECT_EQ(rig.at(1, 1), 0);
    EXPECT_EQ(rig.ke.state().CursorMs, 0);
    // A left press leaves the frozen state; its release is a plain click.
    rig.click(48, 30);
    EXPECT_EQ(rig.at(1, 1), 1);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
}

TEST(CanvasDrag, ScrollingEndsTheFrozenState)
{
    EditingRig rig;
    rig.drag(0, 0, 80, 60);
    EXPECT_TRUE(rig.ke.state().drag.MouseMove);
    rig.ke.TimeSet().setValue(3);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
}

TEST(CanvasDrag, MovesWithoutAPressAreIgnored)
{
    EditingRig rig;
    rig.move(100, 100, Qt::NoButton);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
    rig.press(48, 30, Qt::RightButton);
    EXPECT_FALSE(rig.ke.state().drag.MouseDown);
    rig.move(100, 100, Qt::RightButton);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
}

// --- When editing is allowed

TEST(CanvasGuard, RunningPlaybackIgnoresTheMouseButPausedEdits)
{
    EditingRig rig;
    rig.ke.buttonClick(0);
    ASSERT_TRUE(rig.ke.state().IsPlaying);
    rig.engine.log.clear();
    rig.press(48, 30);
    EXPECT_FALSE(rig.ke.state().drag.MouseDown);
    rig.ke.gestures().press(Qt::LeftButton, 48, 30, true); // a press made before playback started
    rig.release(48, 30);
    EXPECT_FALSE(rig.ke.state().drag.MouseDown); // the release still clears it
    rig.click(48, 200);
    EXPECT_EQ(rig.at(1, 1), 0);
    EXPECT_EQ(rig.lastSeek(), "");

    rig.ke.buttonClick(0); // pause
    ASSERT_TRUE(rig.ke.state().IsPaused);
    rig.click(48, 30);
    EXPECT_EQ(rig.at(1, 1), 1);
    rig.click(48, 200);
    EXPECT_EQ(rig.ke.state().CursorMs, 150);
    EXPECT_EQ(rig.lastSeek(), rig.seekTo(122));
}

TEST(CanvasGuard, NothingBeforeAGridExists)
{
    EditingRig rig(0);
    rig.click(48, 200);
    rig.click(48, 30);
    EXPECT_EQ(rig.ke.state().CursorMs, 0);
    EXPECT_EQ(rig.engine.countLog("SetTime"), 0);
    EXPECT_FALSE(rig.kep.hasGrid());
}

// --- Auto space

TEST(AutoSpace, LeftMarksEveryThirtyTwoCellsAndDisarms)
{
    EditingRig rig(15000);
    rig.set(20, 7);
    rig.ke.autoSpaceClicked();
    ASSERT_TRUE(rig.ke.autoSpaceArmed());
    rig.click(EditingRig::xOfCell(5), 414);
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    for (int c = 0; c < 100; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(rig.at(c, 7), (c == 5 || c == 37 || c == 69 || c == 20) ? 1 : 0);
    }
    // Disarmed: the next click on the confirm row is a toggle again.
    rig.click(EditingRig::xOfCell(5), 414);
    EXPECT_EQ(rig.at(5, 7), 0);
}

TEST(AutoSpace, AtCellZeroReachesTheLastCell)
{
    EditingRig rig(15000);
    rig.ke.autoSpaceClicked();
    rig.click(EditingRig::xOfCell(0), 414);
    for (int c : {0, 32, 64, 96})
        EXPECT_EQ(rig.at(c, 7), 1) << c;
}

TEST(AutoSpace, RightClearsFromTheCellToTheEnd)
{
    EditingRig rig(15000);
    for (int c : {3, 4, 5, 50, 99})
        rig.set(c, 7);
    rig.set(50, 2);
    rig.ke.autoSpaceClicked();
    rig.click(EditingRig::xOfCell(5), 414, Qt::RightButton);
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    EXPECT_EQ(rig.at(3, 7), 1);
    EXPECT_EQ(rig.at(4, 7), 1);
    for (int c = 5; c < 100; ++c)
        EXPECT_EQ(rig.at(c, 7), 0) << c;
    EXPECT_EQ(rig.at(50, 2), 1);
}

TEST(AutoSpace, OtherButtonsOnlyDisarm)
{
    EditingRig rig(15000);
    rig.ke.autoSpaceClicked();
    const auto grid = rig.kep.KeyGrid;
    rig.click(EditingRig::xOfCell(5), 414, Qt::MiddleButton);
    EXPECT_FALSE(rig.ke.autoSpaceArmed());
    EXPECT_EQ(rig.kep.KeyGrid, grid);
}

TEST(AutoSpace, KeyRowsAndOutsideClicksLeaveItArmed)
{
    EditingRig rig(15000);
    rig.ke.autoSpaceClicked();
    rig.click(EditingRig::xOfCell(5), 30);
    EXPECT_EQ(rig.at(5, 1), 1);
    EXPECT_TRUE(rig.ke.autoSpaceArmed());
    rig.click(EditingRig::xOfCell(5), 200);
    EXPECT_TRUE(rig.ke.autoSpaceArmed());
    rig.click(EditingRig::xOfCell(5), 30, Qt::RightButton);
    EXPECT_TRUE(rig.ke.autoSpaceArmed());
    // Past the end of the chart the gesture is not used and stays armed.
    rig.ke.TimeSet().setValue(150);
    rig.click(EditingRig::xOfCell(1), 414);
    EXPECT_TRUE(rig.ke.autoSpaceArmed());
}
