// Where the canvas shows the chart: which row, cell and time a point of it stands for.
#include "CanvasView.h"
#include "ChartEdit.h"
#include "KeP.h"

#include <gtest/gtest.h>

using namespace tavix;

namespace {

KeP chartOf(int32_t cells, double bpm = 100)
{
    KeP kep;
    kep.setTempo(bpm);
    ChartEdit(kep).resizeCells(cells);
    return kep;
}

} // namespace

// --- Rows: both ends of every band belong to no row

TEST(CanvasRows, BandEdgesAreOutsideTheRows)
{
    for (float y : {0.0f, 62.0f, 63.0f, 64.0f, 126.0f, 128.0f, 190.0f, 200.0f, 206.0f, 268.0f,
                    270.0f, 332.0f, 334.0f, 396.0f, 432.0f, 434.0f, -1.0f})
        EXPECT_EQ(CanvasView::rowAt(y), 0) << y;
}

TEST(CanvasRows, InsideEachBand)
{
    const struct
    {
        float y;
        int row;
    } cases[] = {{0.5f, 1}, {1, 1},   {61, 1},     {61.9f, 1}, {65, 2},  {125, 2},
                 {129, 3},  {189, 3}, {207, 4},    {267, 4},   {271, 5}, {331, 5},
                 {335, 6},  {395, 6}, {396.5f, 7}, {397, 7},   {431, 7}, {431.9f, 7}};
    for (const auto& c : cases)
        EXPECT_EQ(CanvasView::rowAt(c.y), c.row) << c.y;
}

// --- Cells and times

TEST(CanvasCells, WorkedExampleAtTimeBar20)
{
    const KeP kep = chartOf(1000);
    const CanvasView view = CanvasView::at(kep, 20);
    EXPECT_EQ(view.scrollMs, 2000);
    EXPECT_EQ(view.firstBeat, 13);
    EXPECT_EQ(view.pixOff, 10);
    EXPECT_EQ(view.cellAt(37), 13);
    EXPECT_EQ(view.cellAt(38), 14);
    EXPECT_EQ(view.cellAt(69), 14);
    EXPECT_EQ(view.cellAt(70), 15);
    EXPECT_EQ(view.timeAt(38, kep.BeatRate), 2103);
}

TEST(CanvasCells, QuotientCutTowardZero)
{
    CanvasView view;
    view.firstBeat = 10;
    view.pixOff = 0;
    EXPECT_EQ(view.cellAt(47), 10);
    EXPECT_EQ(view.cellAt(48), 11);
    EXPECT_EQ(view.cellAt(5), 10);  // (5 - 16) / 32 is cut to 0
    EXPECT_EQ(view.cellAt(-17), 9); // a whole cell left of the edge
}

TEST(CanvasCells, CursorTimesAtTheStart)
{
    const KeP kep = chartOf(100);
    const CanvasView view = CanvasView::at(kep, 0);
    EXPECT_EQ(view.pixOff, 0);
    EXPECT_EQ(view.timeAt(16, kep.BeatRate), 0);
    EXPECT_EQ(view.timeAt(48, kep.BeatRate), 150);
    EXPECT_EQ(view.timeAt(0, kep.BeatRate), -75);
}

TEST(CanvasCells, ZeroRateGivesNoTime)
{
    KeP kep = chartOf(100);
    kep.BeatRate = 0.0f;
    const CanvasView view = CanvasView::at(kep, 0);
    EXPECT_FALSE(view.timeAt(40, kep.BeatRate).has_value());
}
