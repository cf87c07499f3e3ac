// When cells sound: the pace of the playback pass, the cell timing and the hit-sound plan.
#include "CellTiming.h"
#include "FrameTick.h"
#include "HitSoundPlanner.h"
#include "KeP.h"
#include "NumberReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace tavix;

// --- Frame tick

TEST(FrameTick, ParsesUsableRates)
{
    EXPECT_EQ(FrameTick::parseRate(QStringLiteral("60")), 60.0);
    EXPECT_EQ(FrameTick::parseRate(QStringLiteral(" 15.5 ")), 15.5);
    EXPECT_FALSE(FrameTick::parseRate(QStringLiteral("0")));
    EXPECT_FALSE(FrameTick::parseRate(QStringLiteral("-5")));
    EXPECT_FALSE(FrameTick::parseRate(QStringLiteral("fast")));
    EXPECT_FALSE(FrameTick::parseRate(QString()));
}

TEST(FrameTick, IntervalAndLookahead)
{
    EXPECT_EQ(FrameTick::intervalMs(60.0), 17);
    EXPECT_EQ(FrameTick::intervalMs(15.0), 67);
    EXPECT_EQ(FrameTick::intervalMs(1000.0), 1);
    EXPECT_NEAR(FrameTick::lookaheadMs(60.0), 2000.0 / 60.0 + 50.0, 1e-9);
    EXPECT_NEAR(FrameTick::lookaheadMs(15.0), 2000.0 / 15.0 + 50.0, 1e-9);
}

// --- Cell timing

namespace {

CellTiming timingOf(double bpm, double offset)
{
    return CellTiming::of(KeP::rateFromBpm(bpm), offsetTerm(offset));
}

// The cells a loop that polls every whole millisecond would sound, from `from` on.
std::vector<PlannedCell> pollEveryMs(const CellTiming& timing, int64_t from, int64_t to,
                                     int32_t totalBeats, int32_t last)
{
    std::vector<PlannedCell> cells;
    for (int64_t t = from; t <= to; ++t) {
        const int32_t c = timing.soundingCell(t);
        if (c >= 0 && c < totalBeats && c != last) {
            cells.push_back({c, double(t)});
            last = c;
        }
    }
    return cells;
}

} // namespace

TEST(CellTiming, LeadIsTwentyEightMsAtHundredBpm)
{
    const CellTiming t = timingOf(100, 0.7);
    EXPECT_NEAR(t.leadMs, 28.0, 1e-4);
    EXPECT_EQ(t.chartMs(0), 28);
    EXPECT_EQ(t.chartMs(1000), 1028);
    EXPECT_NEAR(timingOf(100, 1.4).leadMs, 0.0, 1e-9);
    EXPECT_LT(timingOf(100, 2.0).leadMs, 0.0);
    EXPECT_NEAR(timingOf(100, 2.0).leadMs, -24.0, 1e-4);
}

TEST(CellTiming, FirstMomentOfACell)
{
    const CellTiming t = timingOf(100, 0.7);
    // Chart position 75 is the first whose nearest cell is 1; the music is 28 ms behind.
    EXPECT_EQ(t.firstMusicMs(1), 47);
    EXPECT_EQ(t.soundingCell(46), 0);
    EXPECT_EQ(t.soundingCell(47), 1);
    // Without lead the cell boundary itself.
    EXPECT_EQ(timingOf(100, 1.4).firstMusicMs(1), 75);
}

TEST(CellTiming, FirstMomentIsTheSmallestReachingTheCell)
{
    for (double bpm : {60.0, 100.0, 137.5, 180.0, 240.0}) {
        for (double offset : {0.0, 0.7, 1.4, 2.0, 3.3}) {
            const CellTiming t = timingOf(bpm, offset);
            for (int32_t cell = -3; cell < 400; ++cell) {
                const auto first = t.firstMusicMs(cell);
                ASSERT_TRUE(first) << bpm << " " << offset << " " << cell;
                EXPECT_GE(t.soundingCell(*first), cell);
                EXPECT_LT(t.soundingCell(*first - 1), cell);
            }
        }
    }
}

TEST(CellTiming, NoTempoReachesNothingBeyondCellZero)
{
    const CellTiming t = CellTiming::of(0.0f, 4200.0);
    EXPECT_EQ(t.soundingCell(123456), 0);
    EXPECT_EQ(t.firstMusicMs(0), CellTiming::lowestMs);
    EXPECT_FALSE(t.firstMusicMs(1));
}

// --- Hit-sound plan

TEST(HitSoundPlanner, MatchesAnInfinitelyFastLoopFromTheStart)
{
    for (double offset : {0.7, 1.4, 2.0}) {
        const CellTiming timing = timingOf(180, offset);
        const int32_t total = 400;
        HitSoundPlanner planner;
        planner.beginSegment(timing, 0, -1);
        const auto planned = planner.reach(40000.0, total);
        EXPECT_EQ(planned, pollEveryMs(timing, 0, 40000, total, -1)) << offset;
        // From the cell under the start (cell 1 when the chart leads by more than half a
        // cell) every cell to the last, once.
        const int32_t first = std::max(timing.soundingCell(0), 0);
        ASSERT_EQ(planned.size(), size_t(total - first)) << offset;
        for (size_t i = 0; i < planned.size(); ++i)
            EXPECT_EQ(planned[i].cell, first + int32_t(i));
    }
}

TEST(HitSoundPlanner, InstantsAreMonotoneAndOneCellApartAtConstantTempo)
{
    const CellTiming timing = timingOf(180, 0.7);
    HitSoundPlanner planner;
    planner.beginSegment(timing, 0, -1);
    const auto planned = planner.reach(60000.0, 100000);
    ASSERT_GT(planned.size(), 700u);
    for (size_t i = 2; i < planned.size(); ++i) {
        const int64_t gap = planned[i].musicMs - planned[i - 1].musicMs;
        // A cell lasts 83.33 ms at 180 BPM; whole milliseconds make it 83 or 84.
        EXPECT_GE(gap, 83);
        EXPECT_LE(gap, 84);
    }
}

TEST(HitSoundPlanner, NoCellSkippedOrDoubledAcrossPasses)
{
    std::mt19937 random(7);
    for (double hz : {60.0, 15.0}) {
        for (double offset : {0.7, 1.4, 2.0}) {
            const CellTiming timing = timingOf(180, offset);
            const int32_t total = 60000 * 3 / 250; // 60 s at 180 BPM
            HitSoundPlanner planner;
            planner.beginSegment(timing, 0, -1);
            std::vector<PlannedCell> all;
            const double period = 1000.0 / hz;
            std::uniform_real_distribution<double> jitter(-0.3 * period, 0.3 * period);
            for (double now = 0; now < 61000; now += period + jitter(random)) {
                for (const PlannedCell& c :
                     planner.reach(now + FrameTick::lookaheadMs(hz), total)) {
                    // Queued ahead: never for a moment the music has already passed.
                    EXPECT_GT(double(c.musicMs), now - 1.0);
                    all.push_back(c);
                }
            }
            EXPECT_EQ(all, pollEveryMs(timing, 0, 61000, total, -1)) << hz << " " << offset;
            EXPECT_EQ(int32_t(all.size()), total - std::max(timing.soundingCell(0), 0));
        }
    }
}

TEST(HitSoundPlanner, CellUnderTheStartSoundsAtOnce)
{
    const CellTiming timing = timingOf(180, 0.7);
    HitSoundPlanner planner;
    planner.beginSegment(timing, 12345, -1);
    const auto planned = planner.reach(12345.0, 1000);
    ASSERT_EQ(planned.size(), 1u);
    EXPECT_EQ(planned[0].cell, timing.soundingCell(12345));
    EXPECT_EQ(planned[0].musicMs, 12345);
    // The rest as an infinitely fast loop from that point would sound them.
    const auto rest = planner.reach(20000.0, 1000);
    auto expected = pollEveryMs(timing, 12345, 20000, 1000, timing.soundingCell(12345));
    EXPECT_EQ(rest, expected);
}

TEST(HitSoundPlanner, CellSoundedLastDoesNotSoundAgainOnResume)
{
    const CellTiming timing = timingOf(100, 0.7);
    const int32_t under = timing.soundingCell(3000);
    HitSoundPlanner planner;
    planner.beginSegment(timing, 3000, under);
    const auto planned = planner.reach(3200.0, 1000);
    ASSERT_FALSE(planned.empty());
    EXPECT_EQ(planned[0].cell, under + 1);
    EXPECT_GT(planned[0].musicMs, 3000);
    // A different cell sounded last (the resume point was moved) does sound.
    planner.beginSegment(timing, 3000, under + 5);
    const auto moved = planner.reach(3000.0, 1000);
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].cell, under);
}

TEST(HitSoundPlanner, NothingBeyondTheChartOrBeforeIt)
{
    const CellTiming timing = timingOf(100, 0.7);
    HitSoundPlanner planner;
    planner.beginSegment(timing, 0, -1);
    const auto planned = planner.reach(1e9, 10);
    ASSERT_EQ(planned.size(), 10u);
    EXPECT_EQ(planned.back().cell, 9);
    EXPECT_TRUE(planner.reach(2e9, 10).empty());

    // A lagging chart (offset far above 1.4) starts before cell 0: cell 0 sounds when
    // the chart reaches it, not at the start.
    const CellTiming lagging = timingOf(100, 5.0);
    ASSERT_LT(lagging.soundingCell(0), 0);
    planner.beginSegment(lagging, 0, -1);
    const auto late = planner.reach(1000.0, 10);
    ASSERT_FALSE(late.empty());
    EXPECT_EQ(late[0].cell, 0);
    EXPECT_EQ(late[0].musicMs, *lagging.firstMusicMs(0));
    EXPECT_GT(late[0].musicMs, 0);
}

TEST(HitSoundPlanner, EmptyChartPlansNothing)
{
    HitSoundPlanner planner;
    planner.beginSegment(timingOf(100, 0.7), 0, -1);
    EXPECT_TRUE(planner.reach(1e6, 0).empty());
    EXPECT_EQ(planner.lastSoundBeat(), -1);
}
