// The figures of a run, and the offset shift its mean error offers.
#include "RunTally.h"
#include "CellTiming.h"
#include "KeP.h"
#include "NumberReading.h"
#include "OffsetShift.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cmath>

using namespace tavix;

namespace {

JudgeEvent pressed(double errorMs, int32_t cell = 0)
{
    JudgeEvent e;
    e.target = 0;
    e.cell = cell;
    e.errorMs = errorMs;
    e.judgement = JudgeWindows{}.of(errorMs);
    return e;
}

JudgeEvent missed(int32_t cell)
{
    JudgeEvent e;
    e.target = 0;
    e.cell = cell;
    e.judgement = Judgement::Miss;
    return e;
}

} // namespace

TEST(RunTally, CountsAccuracyCombosAndErrorsWorkedOutByHand)
{
    RunTally t;
    t.add(pressed(-10.0));  // Perfect
    t.add(pressed(30.0));   // Great
    t.add(pressed(20.0));   // Perfect
    t.add(missed(17));      // measure 2
    t.add(JudgeEvent{});    // an extra press: no target, combo kept
    t.add(pressed(-100.0)); // Bad
    t.add(pressed(0.0));    // Perfect
    t.add(missed(40));      // measure 3
    t.add(missed(20));      // measure 2
    EXPECT_EQ(t.count(Judgement::Perfect), 3);
    EXPECT_EQ(t.count(Judgement::Great), 1);
    EXPECT_EQ(t.count(Judgement::Bad), 1);
    EXPECT_EQ(t.count(Judgement::Miss), 3);
    EXPECT_EQ(t.extras(), 1);
    EXPECT_EQ(t.targets(), 8);
    EXPECT_EQ(t.presses(), 5);
    EXPECT_DOUBLE_EQ(t.accuracyPercent(), 100.0 * (3 + 0.75 + 0.25) / 8);
    EXPECT_EQ(t.longestCombo(), 3);
    EXPECT_EQ(t.combo(), 0);
    EXPECT_DOUBLE_EQ(t.meanErrorMs(), -12.0);
    // Sample standard deviation of -10, 30, 20, -100, 0 around -12.
    EXPECT_NEAR(t.errorSpreadMs(), std::sqrt((4 + 1764 + 1024 + 7744 + 144) / 4.0), 1e-9);
    // Bins of 10 ms from -135: -10 and 0 fall in [-15,-5) and [-5,5).
    EXPECT_EQ(t.histogram()[12], 1);
    EXPECT_EQ(t.histogram()[13], 1);
    EXPECT_EQ(t.histogram()[3], 1); // -100 in [-105,-95)
    const auto worst = t.mostMissedMeasures(5);
    ASSERT_EQ(worst.size(), 2u);
    EXPECT_EQ(worst[0], (std::pair<int32_t, int>{2, 2}));
    EXPECT_EQ(worst[1], (std::pair<int32_t, int>{3, 1}));
    EXPECT_FALSE(t.offersShift()); // too few presses
}

TEST(RunTally, AShiftIsOfferedOnlyForAClearMeanOverEnoughPresses)
{
    RunTally late;
    for (int i = 0; i < 20; ++i)
        late.add(pressed(i % 2 ? 4.0 : 10.0));
    EXPECT_TRUE(late.offersShift()); // mean 7 ms over 20
    RunTally close;
    for (int i = 0; i < 40; ++i)
        close.add(pressed(i % 2 ? -2.0 : 10.0));
    EXPECT_FALSE(close.offersShift()); // mean 4 ms
}

TEST(OffsetShift, TheNewTextMovesEveryCellByTheMeanError)
{
    const QLocale c = QLocale::c();
    for (double bpm : {95.0, 140.0, 190.0}) {
        const float rate = KeP::rateFromBpm(bpm);
        const double before = *offsetTermOf(c, QStringLiteral("0.837"));
        for (double late : {12.5, -31.0}) {
            const auto text = shiftedOffsetText(before, rate, late);
            ASSERT_TRUE(text);
            const double after = *offsetTermOf(c, *text);
            const auto was = CellTiming::of(rate, before);
            const auto now = CellTiming::of(rate, after);
            for (int32_t cell : {16, 500, 4000}) {
                const double moved = double(*now.firstMusicMs(cell) - *was.firstMusicMs(cell));
                EXPECT_NEAR(moved, late, 1.0) << bpm << " " << cell; // whole ms instants
                EXPECT_NEAR(was.leadMs - now.leadMs, late, 0.5);
            }
        }
    }
    EXPECT_FALSE(shiftedOffsetText(0.0, 0.0f, 5.0));
}
