// The edit cursor at the keyboard: snaps and steps from grid line to grid line, the time
// a cursor on a cell takes, the view turned to follow it, keyboard selections, chords
// typed at the cursor and the zoom's steps.
#include "CanvasZoom.h"
#include "ChartEdit.h"
#include "CursorKeys.h"
#include "EditCursor.h"
#include "KeP.h"
#include "RangeSelection.h"
#include "StepEntry.h"
#include "TimeAxis.h"

#include <gtest/gtest.h>

using namespace tavix;

TEST(EditCursor, SnapsAndStepsGoFromGridLineToGridLine)
{
    EditCursor cursor;
    EXPECT_EQ(cursor.snap(), 1);
    EXPECT_FALSE(cursor.finer());
    EXPECT_TRUE(cursor.coarser());
    EXPECT_TRUE(cursor.coarser());
    EXPECT_FALSE(cursor.coarser());
    EXPECT_EQ(cursor.snap(), 4);
    EXPECT_STREQ(EditCursor::snapName(cursor.snap()), "1/4");
    EXPECT_FALSE(cursor.setSnap(3));
    EXPECT_EQ(cursor.snap(), 4);

    EXPECT_EQ(EditCursor::stepped(5, +1, 4), 8);
    EXPECT_EQ(EditCursor::stepped(5, -1, 4), 4);
    EXPECT_EQ(EditCursor::stepped(8, +1, 4), 12);
    EXPECT_EQ(EditCursor::stepped(8, -1, 4), 4);
    EXPECT_EQ(EditCursor::stepped(7, +1, 1), 8);
    EXPECT_EQ(EditCursor::stepped(0, -1, 2), -2);
    EXPECT_EQ(EditCursor::stepped(-3, +1, 4), 0);
    EXPECT_EQ(EditCursor::stepped(20, -1, EditCursor::MeasureCells), 16);
    EXPECT_EQ(EditCursor::stepped(20, +1, EditCursor::MeasureCells), 32);
}

TEST(EditCursor, ACellsTimeLiesInThatCellAtAnyTempo)
{
    for (const double bpm : {100.0, 61.7, 133.0, 999.0, 4000.0}) {
        KeP kep;
        kep.setTempo(bpm);
        for (int64_t c : {0, 1, 2, 7, 1000, 123457, 4'194'303}) {
            const auto ms = EditCursor::timeOfCell(kep, c);
            ASSERT_TRUE(ms) << bpm << " " << c;
            EXPECT_EQ(EditCursor::cellOf(kep, *ms), c) << bpm << " " << c;
        }
    }
    KeP none;
    EXPECT_FALSE(EditCursor::timeOfCell(none, 3));
    // At 100 BPM a cell lasts 150 ms: its middle is 75 ms in.
    KeP kep;
    kep.setTempo(100);
    EXPECT_EQ(EditCursor::timeOfCell(kep, 2), 375);
}

TEST(EditCursor, TheViewTurnsAPageOnlyWhenTheCursorLeavesTheCanvas)
{
    KeP kep;
    kep.setTempo(100); // 150 ms a cell
    ChartEdit(kep).resizeCells(2000);
    const TimeAxis view = TimeAxis::at(kep, 0, 32);
    // Cells 0 to 28 show whole on 974 pixels: nothing to do.
    EXPECT_FALSE(EditCursor::followValue(kep, view, 0, 974, 3000));
    EXPECT_FALSE(EditCursor::followValue(kep, view, 28, 974, 3000));
    // Cell 29 ends past the edge: the view puts it a beat in from the left, whole.
    const auto on = EditCursor::followValue(kep, view, 29, 974, 3000);
    ASSERT_TRUE(on);
    const TimeAxis after = TimeAxis::at(kep, *on * 100, 32);
    EXPECT_EQ(after.firstBeat, 24);
    EXPECT_GE(after.cellStart(25), 16.0);
    EXPECT_FALSE(EditCursor::followValue(kep, after, 29, 974, 3000));
    // Stepping back before the view puts the cursor a beat in from the right.
    const TimeAxis far = TimeAxis::at(kep, 10000, 32);
    const auto back = EditCursor::followValue(kep, far, 60, 974, 3000);
    ASSERT_TRUE(back);
    const TimeAxis before = TimeAxis::at(kep, *back * 100, 32);
    EXPECT_FALSE(EditCursor::followValue(kep, before, 60, 974, 3000));
    EXPECT_GT(before.cellStart(60), 974.0 - 6 * 32);
    // Never past the bar's end, never before its start.
    EXPECT_EQ(EditCursor::followValue(kep, view, 1999, 974, 100), 100);
    EXPECT_EQ(EditCursor::followValue(kep, after, 1, 974, 3000), 0);
    // At 8 pixels a cell the same view holds 119 cells.
    EXPECT_FALSE(EditCursor::followValue(kep, TimeAxis::at(kep, 0, 8), 118, 974, 3000));
}

TEST(RangeSelection, ShiftedStepsSelectTheCellsBetweenCaretAndAnchor)
{
    RangeSelection s;
    EXPECT_FALSE(s.active());
    s.extend(8, 12, 100); // a beat to the right of cell 8
    EXPECT_TRUE(s.active());
    EXPECT_EQ(s.range(), (CellRange{8, 11}));
    s.extend(12, 16, 100);
    EXPECT_EQ(s.range(), (CellRange{8, 15}));
    s.extend(16, 4, 100); // back past the anchor
    EXPECT_EQ(s.range(), (CellRange{4, 7}));
    s.extend(4, 8, 100);
    EXPECT_FALSE(s.active()); // caret on the anchor: no cell
    s.clear();
    // At the end the caret may stand after the last cell, so it can be selected.
    s.extend(96, 104, 100);
    EXPECT_EQ(s.range(), (CellRange{96, 99}));
    s.move(-2, 100);
    EXPECT_EQ(s.range(), (CellRange{94, 97}));
    s.selectAll(100);
    EXPECT_EQ(s.range(), (CellRange{0, 99}));
    s.move(5, 100);
    EXPECT_EQ(s.range(), (CellRange{5, 99}));
    s.selectAll(0);
    EXPECT_FALSE(s.active());
}

TEST(StepEntry, KeysPressedTogetherAreOneEntryAndRepeatsEnterNothing)
{
    StepEntry entry;
    EXPECT_EQ(entry.press(0x47), 1); // keypad 7
    EXPECT_EQ(entry.press(0x47), 0); // its auto-repeat
    EXPECT_FALSE(entry.release(0x47));
    EXPECT_EQ(entry.press(0x52), 7); // keypad 0: the marker
    EXPECT_EQ(entry.press(0x30), 0); // not an entry key
    EXPECT_FALSE(entry.release(0x52));

    entry.setAdvancing(true);
    EXPECT_EQ(entry.press(0x47), 1);
    EXPECT_EQ(entry.press(0x49), 4); // keypad 9 with 7 still held
    EXPECT_FALSE(entry.release(0x47));
    EXPECT_TRUE(entry.release(0x49)); // the last one up moves the cursor
    EXPECT_FALSE(entry.release(0x49));
    EXPECT_EQ(entry.press(0x51), 6);
    entry.reset();
    EXPECT_FALSE(entry.release(0x51));
}

TEST(CanvasZoom, StepsWheelNotchesAndTheAnchorKeptInPlace)
{
    CanvasZoom zoom;
    EXPECT_EQ(zoom.cellWidth(), 32);
    EXPECT_TRUE(zoom.zoomIn());
    EXPECT_FALSE(zoom.zoomIn());
    EXPECT_EQ(zoom.cellWidth(), 64);
    EXPECT_FALSE(zoom.wheel(-60));
    EXPECT_TRUE(zoom.wheel(-60)); // two halves make a notch
    EXPECT_EQ(zoom.cellWidth(), 32);
    EXPECT_TRUE(zoom.wheel(-240));
    EXPECT_EQ(zoom.cellWidth(), 8);
    EXPECT_FALSE(zoom.setCellWidth(12));
    EXPECT_EQ(zoom.cellWidth(), 8);

    KeP kep;
    kep.setTempo(100);
    // 30000 ms shown at x = 496 stays there at 8 pixels a cell: 480 pixels are 60 cells.
    const int32_t value = CanvasZoom::valueKeeping(30000, 496, 8, kep.BeatRate, 3000);
    EXPECT_EQ(value, (30000 - 60 * 150) / 100);
    EXPECT_EQ(CanvasZoom::valueKeeping(100, 496, 8, kep.BeatRate, 3000), 0);
    EXPECT_EQ(CanvasZoom::valueKeeping(900000, 16, 8, kep.BeatRate, 3000), 3000);
}

namespace {

struct FakeHost : CursorKeys::Host
{
    KeP kep;
    bool allowed = true;
    int32_t cursor = 0;
    int32_t value = 0;
    int width = 32;
    int rangesBegun = 0;
    std::vector<int32_t> seeks;

    const KeP& chart() const override { return kep; }
    bool editingAllowed() const override { return allowed; }
    int32_t cursorMs() const override { return cursor; }
    void moveCursor(int32_t ms) override
    {
        cursor = ms;
        seeks.push_back(ms);
    }
    int32_t viewValue() const override { return value; }
    int32_t lastViewValue() const override { return 3000; }
    void setViewValue(int32_t v) override { value = v; }
    void rangeSelectionBegins() override { ++rangesBegun; }
    void zoomChanged(int w) override { width = w; }
    void redraw() override {}
};

} // namespace

TEST(CursorKeys, StepsSelectFollowAndZoomAroundTheCursor)
{
    FakeHost host;
    host.kep.setTempo(100);
    ChartEdit(host.kep).resizeCells(1000);
    CanvasZoom zoom;
    CursorKeys keys(host, zoom, 974);
    keys.cursor().setSnap(4);
    host.cursor = 700; // in cell 4
    keys.step(+1, false, false);
    EXPECT_EQ(keys.cursorCell(), 8);
    EXPECT_EQ(host.cursor, 8 * 150 + 75);
    keys.step(+1, true, true); // Ctrl+Shift+Right: to the measure, selecting
    EXPECT_EQ(keys.cursorCell(), 16);
    EXPECT_EQ(keys.selection().range(), (CellRange{8, 15}));
    keys.step(+1, false, true);
    EXPECT_EQ(keys.selection().range(), (CellRange{8, 19}));
    EXPECT_EQ(host.rangesBegun, 1);
    keys.moveWithKeys(-4);
    EXPECT_EQ(keys.selection().range(), (CellRange{4, 15}));
    EXPECT_EQ(keys.cursorCell(), 16);
    keys.step(-1, false, false);
    EXPECT_FALSE(keys.selection().active());
    // Past the canvas the view turns; before the start and past the end the cursor stays.
    for (int i = 0; i < 5; ++i)
        keys.step(+1, false, false);
    EXPECT_EQ(keys.cursorCell(), 32);
    EXPECT_GT(host.value, 0);
    host.cursor = 0;
    keys.step(-1, true, false);
    EXPECT_EQ(keys.cursorCell(), 0);
    host.cursor = 999 * 150;
    keys.step(+1, false, false);
    EXPECT_EQ(keys.cursorCell(), 999);
    keys.selectAll();
    EXPECT_EQ(keys.selection().range(), (CellRange{0, 999}));

    // A zoom keeps the cursor where it stands on the canvas, as far as the view can go.
    host.value = 0;
    host.cursor = 10 * 150 + 75;
    keys.zoomBy(-2);
    EXPECT_EQ(host.width, 8);
    const TimeAxis after = TimeAxis::at(host.kep, host.value * 100, 8);
    EXPECT_EQ(host.value, 0); // the view cannot go before the start
    EXPECT_EQ(after.cellAt(16 + 8 * 10 + 4), 10);
    host.cursor = 500 * 150 + 75;
    host.value = 500 * 150 / 100 - 20;
    const double x = 16 + TimeAxis::at(host.kep, host.value * 100, 8)
                              .pixelsAfterScroll(host.cursor - host.value * 100, host.kep.BeatRate);
    keys.zoomBy(+2);
    EXPECT_EQ(host.width, 32);
    const double y = 16 + TimeAxis::at(host.kep, host.value * 100, 32)
                              .pixelsAfterScroll(host.cursor - host.value * 100, host.kep.BeatRate);
    EXPECT_NEAR(x, y, 32 * 50 / 150.0 + 1); // the bar counts 100 ms
    // Nothing while the song plays.
    host.allowed = false;
    const int32_t stays = host.cursor;
    keys.step(+1, false, false);
    EXPECT_EQ(host.cursor, stays);
}
