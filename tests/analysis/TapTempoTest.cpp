#include "TapTempo.h"

#include <gtest/gtest.h>

using tavix::TapTempo;

namespace {

void tapEvery(TapTempo& t, double from, double gap, int count)
{
    for (int i = 0; i < count; ++i)
        t.tap(from + i * gap);
}

} // namespace

TEST(TapTempo, MedianIntervalOfTheLastEightTaps)
{
    TapTempo t;
    t.tap(1000);
    EXPECT_FALSE(t.bpm()); // one tap is no tempo
    t.tap(1500);
    EXPECT_DOUBLE_EQ(*t.bpm(), 120.0);
    t.tap(2100); // gaps 500 and 600: the median of an even count is their mean
    EXPECT_NEAR(*t.bpm(), 60000.0 / 550.0, 1e-9);

    // Steady 600 ms, then 400 ms: once eight taps of the new pace are in, the old is gone.
    TapTempo pace;
    tapEvery(pace, 0, 600, 8);
    EXPECT_DOUBLE_EQ(*pace.bpm(), 100.0);
    tapEvery(pace, 4600, 400, 7);
    EXPECT_EQ(pace.taps(), TapTempo::KeptTaps);
    EXPECT_DOUBLE_EQ(*pace.bpm(), 150.0);
}

TEST(TapTempo, OneTapOutOfStepMovesNothing)
{
    TapTempo t;
    for (double ms : {0.0, 500.0, 1000.0, 1650.0, 2000.0, 2500.0, 3000.0, 3500.0})
        t.tap(ms); // the fourth tap 150 ms late: gaps 650 and 350 around it
    EXPECT_DOUBLE_EQ(*t.bpm(), 120.0);
}

TEST(TapTempo, TwoSecondsWithoutATapStartOver)
{
    TapTempo t;
    tapEvery(t, 0, 500, 4);
    t.tap(1500 + TapTempo::ResetMs); // exactly two seconds: still the same run
    EXPECT_EQ(t.taps(), 5);
    t.tap(3500 + TapTempo::ResetMs + 1);
    EXPECT_EQ(t.taps(), 1);
    EXPECT_FALSE(t.bpm());
    t.tap(5501 + 400);
    EXPECT_DOUBLE_EQ(*t.bpm(), 150.0);
    t.tap(100); // a clock that went back starts over too
    EXPECT_EQ(t.taps(), 1);
}
