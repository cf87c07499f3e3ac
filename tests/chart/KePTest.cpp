#include "KeP.h"
#include "ChartEdit.h"
#include "Rounding.h"

#include <gtest/gtest.h>

#include <cmath>

using tavix::ChartEdit;
using tavix::KeP;

namespace {

KeP atTempo(double bpm)
{
    KeP kep;
    kep.setTempo(bpm);
    return kep;
}

} // namespace

TEST(Rounding, NearestGoesToEvenOnHalves)
{
    EXPECT_EQ(tavix::nearestReal(2.5), 2.0);
    EXPECT_EQ(tavix::nearestReal(3.5), 4.0);
    EXPECT_EQ(tavix::nearestReal(-2.5), -2.0);
    EXPECT_EQ(tavix::nearestReal(2.5000001), 3.0);
    EXPECT_EQ(tavix::truncReal(-1.9), -1.0);
    EXPECT_FALSE(tavix::nearestTo<int32_t>(2147483647.5).has_value());
    EXPECT_EQ(tavix::nearestTo<int32_t>(2147483647.4), 2147483647);
    EXPECT_EQ(tavix::nearestTo<int32_t>(-2147483648.4), -2147483647 - 1);
    EXPECT_FALSE(tavix::nearestTo<int32_t>(INFINITY).has_value());
}

TEST(Rounding, TheEdgeOfSixtyFourBitsIsRefused)
{
    // double(INT64_MAX) is 2^63, one beyond the largest value.
    const double twoTo63 = std::ldexp(1.0, 63);
    EXPECT_FALSE(tavix::nearestTo<int64_t>(twoTo63).has_value());
    EXPECT_FALSE(tavix::truncTo<int64_t>(twoTo63).has_value());
    EXPECT_EQ(tavix::nearestTo<int64_t>(-twoTo63), INT64_MIN);
    EXPECT_EQ(tavix::truncTo<int64_t>(std::nextafter(twoTo63, 0.0)), int64_t(twoTo63 - 1024));
    // The extreme tempo and length combinations: the product lands on 2^63 exactly.
    KeP kep;
    ChartEdit edit(kep);
    edit.resizeCells(5);
    kep.BeatRate = std::ldexp(1.0f, 33);
    EXPECT_FALSE(kep.cellsForSong(int32_t(1) << 30).has_value());
    EXPECT_FALSE(edit.fitToSong(int32_t(1) << 30));
    EXPECT_FALSE(edit.growForSong(int32_t(1) << 30));
    kep.BeatRate = 3.0e38f;
    EXPECT_FALSE(edit.fitToSong(2147483647));
    EXPECT_EQ(kep.TotalBeats, 5);
}

TEST(GridRate, HundredBpmIsStoredInSinglePrecision)
{
    const KeP kep = atTempo(100);
    EXPECT_EQ(kep.BeatRate, 0.006666667f);
    // The stored rate is a little above 1/150, which decides the cell of 150 ms.
    EXPECT_GT(double(kep.BeatRate), 1.0 / 150.0);
    EXPECT_EQ(KeP::rateFromBpm(150), 0.01f);
}

TEST(Conversions, MsToBeatTruncatesTheProductOfTheSingleRate)
{
    const KeP kep = atTempo(100);
    EXPECT_EQ(kep.MsToBeat(149), 0);
    EXPECT_EQ(kep.MsToBeat(150), 1);
    EXPECT_EQ(kep.MsToBeat(1000), 6);
    EXPECT_EQ(kep.MsToBeat(-1), 0); // toward zero, not down
    EXPECT_EQ(kep.MsToBeat(-151), -1);
}

TEST(Conversions, MsToBeatNearRoundsHalvesToEven)
{
    const KeP kep = atTempo(100);
    EXPECT_EQ(kep.MsToBeatNear(74), 0);
    EXPECT_EQ(kep.MsToBeatNear(75), 1);
    EXPECT_EQ(kep.MsToBeatNear(1000), 7);
    EXPECT_EQ(kep.MsToBeatNear(-75), -1);

    const KeP quarter = atTempo(3750); // exactly 0.25 cells per millisecond
    EXPECT_EQ(quarter.MsToBeatNear(2), 0);
    EXPECT_EQ(quarter.MsToBeatNear(6), 2);
    EXPECT_EQ(quarter.MsToBeatNear(10), 2);
    EXPECT_EQ(quarter.MsToBeatNear(14), 4);
}

TEST(Conversions, MsToBeatHalfLooksHalfAMillisecondAhead)
{
    const KeP kep = atTempo(137);
    EXPECT_EQ(kep.MsToBeat(109), 0);
    EXPECT_EQ(kep.MsToBeatHalf(109), 1);
    EXPECT_EQ(kep.MsToBeatHalf(108), 0);
    const KeP slow = atTempo(97);
    EXPECT_EQ(slow.MsToBeat(309), 1);
    EXPECT_EQ(slow.MsToBeatHalf(309), 2);
}

TEST(Conversions, MsToBeatFracGivesThePixelOffsetInsideTheCell)
{
    const KeP kep = atTempo(100);
    const float frac = kep.MsToBeatFrac(1000);
    EXPECT_NEAR(frac, 0.6667f, 1e-4f);
    EXPECT_EQ(int(std::trunc(frac * 32)), 21);
    EXPECT_GE(kep.MsToBeatFrac(150), 0.0f);
    EXPECT_LT(kep.MsToBeatFrac(150), 1e-4f);
}

TEST(Resize, MusicOpenedSizesTheGridToTheSong)
{
    const int expected[][2] = {{100, 1200}, {120, 1440}, {140, 1680}, {180, 2160}};
    for (const auto& [bpm, cells] : expected) {
        KeP kep = atTempo(bpm);
        ASSERT_TRUE(ChartEdit(kep).fitToSong(180000));
        EXPECT_EQ(kep.TotalBeats, cells) << bpm;
        EXPECT_EQ(kep.KeyGrid.size(), size_t(7 * cells + 1));
    }
}

TEST(Resize, AShorterSongDropsTheCellsBeyondItsEndAndKeepsTheRest)
{
    KeP kep = atTempo(100);
    ChartEdit(kep).fitToSong(180000);
    ChartEdit(kep).set(KeP::flatIndex(10, 2), 1);
    ChartEdit(kep).set(KeP::flatIndex(1100, 5), 1);
    ChartEdit(kep).set(0, 9);
    ASSERT_TRUE(ChartEdit(kep).fitToSong(60000)); // 400 cells
    EXPECT_EQ(kep.TotalBeats, 400);
    EXPECT_EQ(kep.KeyGrid.size(), size_t(2801));
    EXPECT_EQ(kep.at(10, 2), 1);
    EXPECT_EQ(kep.KeyGrid[0], 9);
    ASSERT_TRUE(ChartEdit(kep).fitToSong(180000));
    EXPECT_EQ(kep.at(1100, 5), 0);
}

TEST(Resize, TempoChangeOnlyEverGrowsTheGrid)
{
    KeP kep = atTempo(100);
    ChartEdit(kep).fitToSong(180000);
    ChartEdit(kep).set(KeP::flatIndex(1199, 7), 1);
    kep.setTempo(60);
    ASSERT_TRUE(ChartEdit(kep).growForSong(180000));
    EXPECT_EQ(kep.TotalBeats, 1200);
    EXPECT_EQ(kep.at(1199, 7), 1);
    kep.setTempo(200);
    ASSERT_TRUE(ChartEdit(kep).growForSong(180000));
    EXPECT_EQ(kep.TotalBeats, 2400);
    EXPECT_EQ(kep.at(1199, 7), 1);
    EXPECT_EQ(kep.at(2399, 7), 0);
}

TEST(Resize, GrowToHoldMakesTheCellExistAndNeverShrinks)
{
    KeP kep;
    EXPECT_FALSE(kep.hasGrid());
    ASSERT_TRUE(ChartEdit(kep).growToHold(21));
    EXPECT_EQ(kep.TotalBeats, 22);
    EXPECT_EQ(kep.upperIndex(), 154);
    ASSERT_TRUE(ChartEdit(kep).growToHold(3));
    EXPECT_EQ(kep.TotalBeats, 22);
    EXPECT_FALSE(ChartEdit(kep).growToHold(-1));
    EXPECT_FALSE(ChartEdit(kep).growToHold(KeP::MaxCells));
    EXPECT_EQ(kep.TotalBeats, 22);
}

TEST(Resize, CellCountsBeyondTheCapAreRefusedAndChangeNothing)
{
    KeP kep;
    ChartEdit(kep).resizeCells(5);
    EXPECT_FALSE(ChartEdit(kep).resizeCells(KeP::MaxCells + 1));
    EXPECT_FALSE(ChartEdit(kep).resizeCells(-1));
    EXPECT_EQ(kep.TotalBeats, 5);
    EXPECT_EQ(kep.KeyGrid.size(), size_t(36));
    kep.setTempo(100);
    EXPECT_FALSE(ChartEdit(kep).fitToSong(2147483647)); // 14 million cells
    EXPECT_EQ(kep.TotalBeats, 5);
}

TEST(Resize, GrowingACellAtATimeNeverReservesBeyondTheLargestGrid)
{
    KeP kep;
    ASSERT_TRUE(ChartEdit(kep).resizeCells(KeP::MaxCells - 50));
    for (int64_t c = KeP::MaxCells - 50; c < KeP::MaxCells; ++c)
        ASSERT_TRUE(ChartEdit(kep).growToHold(c));
    EXPECT_EQ(kep.TotalBeats, KeP::MaxCells);
    EXPECT_LE(kep.KeyGrid.capacity(), size_t(KeP::MaxCells) * 7 + 1);
}

TEST(Resize, ChartWithoutMusicGivesTheSongLength)
{
    KeP kep = atTempo(100);
    ChartEdit(kep).resizeCells(1200);
    EXPECT_EQ(kep.songLenFromChart(), 180000);
    ChartEdit(kep).clearGrid();
    EXPECT_FALSE(kep.hasGrid());
    EXPECT_EQ(kep.TotalBeats, 0);
}

TEST(Texts, MstoMinTruncatesMinutesAndSeconds)
{
    EXPECT_EQ(KeP::MstoMin(0), QStringLiteral("0:00"));
    EXPECT_EQ(KeP::MstoMin(59999), QStringLiteral("0:59"));
    EXPECT_EQ(KeP::MstoMin(61500), QStringLiteral("1:01"));
    EXPECT_EQ(KeP::MstoMin(600000), QStringLiteral("10:00"));
    EXPECT_EQ(KeP::MstoMin(3725000), QStringLiteral("62:05"));
    EXPECT_EQ(KeP::MstoMin(-1500), QStringLiteral("0:-1"));
}

TEST(Texts, BeatCounterShowsTheLastFourDigits)
{
    KeP kep = atTempo(100);
    ChartEdit(kep).resizeCells(1200);
    EXPECT_EQ(kep.beatCounter(7 * 150 + 1), QStringLiteral("0007/1200"));
    EXPECT_EQ(kep.beatCounterAtStart(), QStringLiteral("0000/1200"));
    ChartEdit(kep).resizeCells(12345);
    EXPECT_EQ(kep.beatCounter(0), QStringLiteral("0000/2345"));
    EXPECT_EQ(KeP::fourDigits(12345), QStringLiteral("2345"));
    EXPECT_EQ(KeP::fourDigits(7), QStringLiteral("0007"));
}

TEST(Model, MeasureArithmeticCountsMeasuresFromOne)
{
    const auto m17 = KeP::measureOf(17);
    EXPECT_EQ(m17.measure, 2);
    EXPECT_EQ(m17.beat, 0);
    EXPECT_EQ(m17.sixteenth, 1);
    const auto m15 = KeP::measureOf(15);
    EXPECT_EQ(m15.measure, 1);
    EXPECT_EQ(m15.beat, 3);
    EXPECT_EQ(m15.sixteenth, 3);
    const auto m16 = KeP::measureOf(16);
    EXPECT_EQ(m16.measure, 2);
    EXPECT_EQ(m16.beat, 0);
    EXPECT_EQ(m16.sixteenth, 0);
}

TEST(Model, FlatIndexAndRowTests)
{
    KeP kep;
    ChartEdit(kep).resizeCells(3);
    EXPECT_EQ(KeP::flatIndex(2, 7), 21);
    ChartEdit(kep).set(KeP::flatIndex(1, 3), 2);
    EXPECT_FALSE(kep.isSet(1, 3)); // foreign values are not set
    EXPECT_FALSE(kep.anyKeySet(1));
    ChartEdit(kep).set(KeP::flatIndex(1, 6), 1);
    EXPECT_TRUE(kep.anyKeySet(1));
    ChartEdit(kep).set(KeP::flatIndex(2, 7), 1);
    EXPECT_FALSE(kep.anyKeySet(2)); // the confirm marker is not a key
}

TEST(Model, EmptySelectionHoldsOnlyElementZero)
{
    const auto sel = tavix::emptySelection();
    EXPECT_EQ(sel.size(), 1u);
    EXPECT_EQ(tavix::selectionCount(sel), 0);
    EXPECT_EQ(tavix::selectionCount(tavix::SelectionList{0, 40000, 40001}), 2);
}
