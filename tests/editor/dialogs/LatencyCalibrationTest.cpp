#include "LatencyCalibration.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace tavix {
namespace {

using Clock = LatencyCalibration::Clock;
using std::chrono::duration;
using std::chrono::duration_cast;

Clock::time_point atMs(Clock::time_point origin, double ms)
{
    return origin + duration_cast<Clock::duration>(duration<double, std::milli>(ms));
}

// Hands out scripted presses, a few at a time, as a keyboard polled during the track would.
class ScriptedPresses : public LatencyCalibration::PressSource
{
public:
    std::vector<Clock::time_point> presses;
    size_t given = 0;

    std::vector<Clock::time_point> takePresses() override
    {
        const size_t end = std::min(given + 3, presses.size());
        std::vector<Clock::time_point> out(presses.begin() + static_cast<std::ptrdiff_t>(given),
                                           presses.begin() + static_cast<std::ptrdiff_t>(end));
        given = end;
        return out;
    }
};

// The track starts at `origin`; the engine, with `inUseMs` of latency, reckons the listener
// hears track time (t - origin - inUseMs). The listener truly hears the clicks `trueMs`
// after they are mixed, and presses with each within +-6 ms.
struct Session
{
    Clock::time_point origin = Clock::time_point{} + std::chrono::hours(2);
    double inUseMs = 0;
    double trueMs = 0;
    LatencyCalibration calibration;
    ScriptedPresses keys;

    void pressOn(int beat, double offMs = 0)
    {
        keys.presses.push_back(atMs(origin, calibration.clickMs(beat) + trueMs + offMs));
    }

    LatencyCalibration::Result collect()
    {
        const auto heard = [this](Clock::time_point t) {
            return duration<double, std::milli>(t - origin).count() - inUseMs;
        };
        while (keys.given < keys.presses.size())
            calibration.collect(keys, heard);
        return calibration.result();
    }
};

TEST(LatencyCalibration, FindsTheMissingLatencyAndDropsWhatIsNotAPressForAClick)
{
    Session run;
    run.inUseMs = 20;
    run.trueMs = 110;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> jitter(-6.0, 6.0);
    run.pressOn(0, 140); // a slip on the first click, far late
    for (int beat = 1; beat < 16; ++beat) {
        if (beat == 9)
            continue; // a click not pressed at all
        run.pressOn(beat, jitter(random));
        if (beat == 5)
            run.pressOn(beat, 40); // a second press on the same click
    }
    run.keys.presses.insert(run.keys.presses.begin(), atMs(run.origin, 100)); // before any click
    const LatencyCalibration::Result r = run.collect();

    ASSERT_EQ(r.presses.size(), 17u);
    EXPECT_TRUE(r.presses[0].dropped); // before the first click by far more than half a beat
    EXPECT_TRUE(r.presses[1].dropped); // the slip
    EXPECT_EQ(r.presses[1].beat, 0);
    EXPECT_NEAR(r.presses[1].errorMs, 90 + 140, 1e-6);
    int dropped = 0;
    for (const auto& p : r.presses)
        dropped += p.dropped;
    EXPECT_EQ(dropped, 3); // and the second press on click 5
    EXPECT_EQ(r.kept, 14);
    EXPECT_TRUE(r.valid);
    // 90 ms were missing, give or take the presses' own scatter.
    EXPECT_NEAR(r.medianMs, 90, 6);
    EXPECT_GT(r.spreadMs, 1);
    EXPECT_LT(r.spreadMs, 6);
    EXPECT_NEAR(LatencyCalibration::nextLatencyMs(run.inUseMs, r), 110, 6);
}

TEST(LatencyCalibration, EarlyPressesLowerTheLatencyButNeverBelowZero)
{
    Session run;
    run.inUseMs = 30;
    run.trueMs = 10; // the latency in use is too much: presses come early by its surplus
    for (int beat = 0; beat < 16; ++beat)
        run.pressOn(beat);
    const auto r = run.collect();
    EXPECT_EQ(r.kept, 16);
    EXPECT_NEAR(r.medianMs, -20, 1e-6);
    EXPECT_NEAR(r.spreadMs, 0, 1e-9);
    EXPECT_NEAR(LatencyCalibration::nextLatencyMs(30, r), 10, 1e-6);
    EXPECT_EQ(LatencyCalibration::nextLatencyMs(5, r), 0);
}

TEST(LatencyCalibration, TooFewOrTooScatteredPressesGiveNoResult)
{
    Session run;
    for (int beat = 0; beat < LatencyCalibration::MinimumPresses - 1; ++beat)
        run.pressOn(beat, 50);
    const auto r = run.collect();
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(LatencyCalibration::nextLatencyMs(42, r), 42); // unchanged

    Session wild;
    for (int beat = 0; beat < 16; ++beat)
        wild.pressOn(beat, (beat % 4) * 60.0 - 90); // -90, -30, 30, 90: all kept, far apart
    const auto w = wild.collect();
    EXPECT_EQ(w.kept, 16);
    EXPECT_GT(w.spreadMs, LatencyCalibration::MaxSpreadMs);
    EXPECT_FALSE(w.valid);
    EXPECT_FALSE(run.calibration.over(run.calibration.clickMs(15)));
    EXPECT_TRUE(run.calibration.over(run.calibration.clickMs(15) + 250));
}

} // namespace
} // namespace tavix
