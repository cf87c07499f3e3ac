#include "DeviceClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace tavix {
namespace {

using Clock = DeviceClock::Clock;

Clock::time_point at(double seconds)
{
    return Clock::time_point{} + std::chrono::hours(1) +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// Drives the clock with a device of `blockFrames` per request whose requests come every
// `period` seconds, late by up to `jitter`; checks the frame heard against the device's
// true position (block k starts playing at k * period) from `settle` seconds on.
struct Tracking
{
    double worst = 0;     // frames, against the truth
    double meanError = 0; // frames
    double spread = 0;    // frames, worst distance from the mean error
    bool monotone = true;
};

Tracking drive(double period, double jitter, double latency, double seconds, double settle)
{
    constexpr int blockFrames = 256;
    DeviceClock clock;
    clock.reset(44100, latency, false);
    std::mt19937 random(42);
    std::uniform_real_distribution<double> late(0.0, jitter);
    Tracking run;
    double previous = -1e9;
    double sum = 0;
    int samples = 0;
    std::vector<double> errors;
    const auto blocks = static_cast<int64_t>(seconds / period);
    for (int64_t k = 0; k < blocks; ++k) {
        const double request = k * period + late(random);
        clock.onCallback(at(request), k * blockFrames, blockFrames);
        // Read the position a few times until the next request.
        for (int q = 1; q <= 4; ++q) {
            const double t = request + (period - jitter) * q / 5.0;
            const double heard = clock.heardFrameNow(at(t));
            if (heard < previous)
                run.monotone = false;
            previous = heard;
            if (t < settle)
                continue;
            const double truth = t / period * blockFrames - latency;
            const double error = heard - truth;
            run.worst = std::max(run.worst, std::abs(error));
            errors.push_back(error);
            sum += error;
            ++samples;
        }
    }
    run.meanError = samples ? sum / samples : 0;
    for (double e : errors)
        run.spread = std::max(run.spread, std::abs(e - run.meanError));
    return run;
}

TEST(DeviceClock, FrameCounterModeHearsWhatWasMixed)
{
    DeviceClock clock;
    clock.reset(44100, 512, true);
    EXPECT_EQ(clock.heardFrameAt(at(0)), 0);
    clock.onCallback(at(0), 0, 256);
    EXPECT_EQ(clock.heardFrameAt(at(100)), 256);
    clock.onCallback(at(0.0001), 256, 256);
    EXPECT_EQ(clock.heardFrameNow(at(0)), 512);
}

TEST(DeviceClock, RegularRequestsAreFollowedToAFractionOfAFrame)
{
    const Tracking run = drive(256.0 / 44100, 0.0, 0, 5, 0.5);
    EXPECT_LT(run.worst, 0.5);
    EXPECT_TRUE(run.monotone);
}

TEST(DeviceClock, LearnsTheRateOfADeviceOffItsNominalRate)
{
    // A dummy device that sleeps whole milliseconds: 256 frames every 5 ms, not 5.8 ms.
    const Tracking run = drive(0.005, 0.0, 0, 5, 1.0);
    EXPECT_LT(run.worst, 1.0);
    EXPECT_TRUE(run.monotone);
}

TEST(DeviceClock, SmoothsJitteryRequestsToWellUnderAMillisecond)
{
    // Requests late by 0 to 2 ms at random: the position still moves smoothly. On average
    // it lags by the mean lateness (1 ms, like a little more latency), and it strays from
    // that by well under a millisecond, where reading the requests raw would stray by a
    // millisecond either way plus the jump of a whole block at each request.
    const Tracking run = drive(256.0 / 44100, 0.002, 0, 10, 2.0);
    EXPECT_TRUE(run.monotone);
    EXPECT_NEAR(run.meanError, -0.001 * 44100, 5);
    EXPECT_LT(run.spread, 0.3 * 44.1);
}

TEST(DeviceClock, LatencyIsSubtracted)
{
    const Tracking none = drive(256.0 / 44100, 0.0, 0, 2, 0.5);
    const Tracking some = drive(256.0 / 44100, 0.0, 256, 2, 0.5);
    EXPECT_LT(none.worst, 0.5);
    EXPECT_LT(some.worst, 0.5); // measured against the truth less 256 frames
}

TEST(DeviceClock, AStallStartsOverAndNeverRunsBackwards)
{
    DeviceClock clock;
    clock.reset(44100, 0, false);
    const double period = 256.0 / 44100;
    int64_t frames = 0;
    double t = 0;
    for (int k = 0; k < 100; ++k, t += period, frames += 256)
        clock.onCallback(at(t), frames, 256);
    const double before = clock.heardFrameNow(at(t));
    // The device stops for half a second: the position stops at the last frame mixed,
    // which no one can have heard past ...
    const double during = clock.heardFrameNow(at(t + 0.25));
    EXPECT_EQ(during, static_cast<double>(frames));
    EXPECT_GE(during, before);
    // ... and takes up again from the next request, without going back.
    t += 0.5;
    clock.onCallback(at(t), frames, 256);
    EXPECT_GE(clock.heardFrameNow(at(t)), during);
    EXPECT_NEAR(clock.heardFrameAt(at(t + period / 2)), frames + 128, 1);
}

TEST(DeviceClock, ABusyMachineDelayingARequestBarelyMovesThePosition)
{
    // A steady device whose requests usually come within 0.3 ms, but every 300th is held
    // up 11 ms and the ones due meanwhile follow at once. The device plays on from the
    // three blocks it holds.
    constexpr double held = 3 * 256;
    DeviceClock clock;
    clock.reset(44100, held, false);
    const double period = 256.0 / 44100;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> late(0.0, 0.0003);
    double heldUntil = -1;
    double worst = 0;
    for (int64_t k = 0; k < 3000; ++k) {
        if (k % 300 == 150)
            heldUntil = k * period + 0.011;
        const double request = std::max(k * period + late(random), heldUntil);
        clock.onCallback(at(request), k * 256, 256);
        if (k < 400)
            continue;
        for (int q = 0; q < 4; ++q) {
            const double t = request + q * period / 4;
            worst =
                std::max(worst, std::abs(clock.heardFrameAt(at(t)) - (t / period * 256 - held)));
        }
    }
    EXPECT_LT(worst, 0.5 * 44.1); // half a millisecond, with the mean lateness included
}

TEST(DeviceClock, NothingIsHeardPastTheFramesMixed)
{
    // A file written a block at a time: the request after this one is due a block later
    // and comes late; the position waits at the end of what was written.
    DeviceClock clock;
    clock.reset(44100, 0, false);
    const double period = 4096.0 / 44100;
    for (int k = 0; k < 50; ++k)
        clock.onCallback(at(k * period), k * 4096, 4096);
    EXPECT_NEAR(clock.heardFrameAt(at(49.5 * period)), 49 * 4096 + 2048, 1);
    EXPECT_EQ(clock.heardFrameAt(at(50.6 * period)), 50 * 4096);
}

TEST(DeviceClock, EarlierMomentsMapOntoEarlierFrames)
{
    DeviceClock clock;
    clock.reset(44100, 0, false);
    const double period = 256.0 / 44100;
    for (int k = 0; k < 400; ++k)
        clock.onCallback(at(k * period), k * 256, 256);
    const double now = clock.heardFrameAt(at(399 * period));
    EXPECT_NEAR(now - clock.heardFrameAt(at(399 * period - 0.010)), 441, 1);
}

} // namespace
} // namespace tavix
