#include "BeatGridFit.h"

#include <gtest/gtest.h>

#include <cmath>

using tavix::BeatGridFit;

// Beats as a tracker gives them: jittered, some missing, strays between them, and a stretch
// where it followed the off-beat.
TEST(BeatGridFit, SolvesPeriodAndPhaseDespiteMissingStrayAndSlippedBeats)
{
    const double period = 468.75;
    const double phase = 123.4;
    std::vector<double> beats;
    std::vector<double> weights;
    int onGrid = 0;
    for (int n = 0; n < 300; ++n) {
        const double jitter = 2.0 * std::sin(n * 1.7);
        if (n % 7 == 3)
            continue; // missed
        if (n >= 100 && n < 120) {
            beats.push_back(phase + (n + 0.5) * period + jitter); // slipped to the off-beat
        } else {
            beats.push_back(phase + n * period + jitter);
            ++onGrid;
        }
        if (n % 5 == 0)
            beats.push_back(phase + (n + 0.37) * period); // stray
    }
    weights.assign(beats.size(), 1.0);

    const double found = BeatGridFit::agreeingPeriod(beats, weights, period * 1.02);
    EXPECT_NEAR(found, period, 0.05);
    const auto fit = BeatGridFit::fit(beats, found, phase + 15.0);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->periodMs, period, 0.005);
    EXPECT_NEAR(fit->phaseMs, phase, 0.5);
    EXPECT_EQ(fit->inliers, onGrid);
    EXPECT_NEAR(fit->rmsMs, std::sqrt(2.0), 0.1); // the jitter's own
}

TEST(BeatGridFit, NeedsThreeBeatsThatAgree)
{
    EXPECT_FALSE(BeatGridFit::fit({100.0, 600.0}, 500.0, 100.0));
    EXPECT_FALSE(BeatGridFit::fit({100.0, 350.0, 1230.0}, 500.0, 100.0));
    EXPECT_TRUE(BeatGridFit::fit({100.0, 600.0, 1100.0}, 500.0, 100.0));
}

// A tracker's chain over a long song, followed from a guess 1% off: over 500 beats the
// guessed grid drifts five beats away, the chain's own gaps do not.
TEST(BeatGridFit, AChainFindsItsGridFromAGuessThatDriftsOffIt)
{
    const double period = 428.57;
    std::vector<double> chain;
    for (int n = 0; n < 500; ++n)
        if (n % 11 != 5) // a beat missed now and then
            chain.push_back(80.0 + n * period + 3.0 * std::sin(n * 2.3)); // and jittered
    // Fitted from the guessed grid alone, the far beats are out of reach.
    const auto plain = BeatGridFit::fit(chain, period * 1.01, 80.0);
    EXPECT_TRUE(!plain || std::abs(plain->periodMs - period) > 0.01);
    const auto fit = BeatGridFit::fitChain(chain, period * 1.01);
    ASSERT_TRUE(fit);
    EXPECT_NEAR(fit->periodMs, period, 0.005);
    EXPECT_NEAR(std::remainder(fit->phaseMs - 80.0, period), 0.0, 1.0);
}
