// The time axis at each zoom: at 32 pixels a cell the canvas's classic arithmetic to the
// bit, and at every width a click on a glyph's centre hits that glyph's cell.
#include "TimeAxis.h"
#include "CanvasView.h"
#include "ChartEdit.h"
#include "KeP.h"

#include <gtest/gtest.h>

#include <random>

using namespace tavix;

TEST(TimeAxis, ClassicWidthIsTheCanvasArithmetic)
{
    std::mt19937 random(5);
    for (const double bpm : {100.0, 137.31, 61.0, 240.0}) {
        KeP kep;
        kep.setTempo(bpm);
        for (int i = 0; i < 2000; ++i) {
            const int32_t value = int32_t(random() % 32768);
            const CanvasView view = CanvasView::at(kep, value);
            const TimeAxis axis = TimeAxis::at(kep, value * 100, 32);
            ASSERT_EQ(axis.firstBeat, view.firstBeat);
            ASSERT_EQ(axis.pixOff, view.pixOff);
            const float x = float(int(random() % 1100) - 60) + 0.5f * float(random() % 2);
            ASSERT_EQ(axis.cellAt(x), view.cellAt(x)) << x;
            ASSERT_EQ(axis.timeAt(x, kep.BeatRate), view.timeAt(x, kep.BeatRate)) << x;
            // X(c) = 32 (c - FirstBeat) - PixOff, the glyph 62 wide, its centre at X(c) + 31.
            const int64_t c = view.firstBeat + int64_t(random() % 33);
            ASSERT_EQ(axis.glyphLeft(c), float(32 * (c - view.firstBeat) - view.pixOff));
            ASSERT_EQ(axis.glyphCentre(c), axis.glyphLeft(c) + 31.0f);
        }
    }
    const TimeAxis classic = TimeAxis::at(KeP(), 0, 32);
    EXPECT_EQ(classic.glyphWidth(), 62);
    EXPECT_EQ(classic.markerHeight(), 36);
    EXPECT_EQ(classic.drawnSpan(), 32);
    EXPECT_EQ(classic.glyphTop(1), 0.0f);
    EXPECT_EQ(classic.glyphTop(4), 206.0f);
}

TEST(TimeAxis, EveryWidthHitsTheCellOfTheGlyphUnderThePointer)
{
    KeP kep;
    kep.setTempo(100);
    ChartEdit(kep).resizeCells(1000);
    for (const int width : TimeAxis::CellWidths) {
        SCOPED_TRACE(width);
        for (const int32_t scrollMs : {0, 2000, 2100, 7450}) {
            const TimeAxis axis = TimeAxis::at(kep, scrollMs, width);
            ASSERT_GE(axis.pixOff, 0);
            ASSERT_LT(axis.pixOff, width);
            for (int64_t c = axis.firstBeat + 1; c < axis.firstBeat + axis.drawnSpan(); ++c) {
                // The click band of a cell is its time: start .. start + width.
                ASSERT_EQ(axis.cellAt(float(axis.cellStart(c))), c);
                ASSERT_EQ(axis.cellAt(float(axis.cellStart(c) + width - 1)), c);
                ASSERT_EQ(axis.cellAt(axis.glyphCentre(c)), c);
                // The time a click stands for lies in the same cell.
                const auto ms = axis.timeAt(float(axis.cellStart(c) + width / 2.0), kep.BeatRate);
                ASSERT_TRUE(ms);
                ASSERT_EQ(kep.MsToBeat(*ms), c);
            }
            // The frame walks past the canvas's right edge, and a selection of every
            // drawn key still fits the display's table of 800.
            EXPECT_GE(axis.cellStart(axis.firstBeat + axis.drawnSpan()), 974.0 - width);
            EXPECT_LE((axis.drawnSpan() + 1) * 6, 800);
        }
    }
    EXPECT_EQ(TimeAxis::at(kep, 0, 8).glyphWidth(), 14);
    EXPECT_EQ(TimeAxis::at(kep, 0, 64).glyphLeft(3), float(16 + 3 * 64));
    EXPECT_EQ(TimeAxis::zoomedIn(8), 16);
    EXPECT_EQ(TimeAxis::zoomedIn(64), 64);
    EXPECT_EQ(TimeAxis::zoomedOut(32), 16);
    EXPECT_EQ(TimeAxis::zoomedOut(8), 8);
    EXPECT_EQ(TimeAxis::at(kep, 0, 33).cellWidth, 32);
}
