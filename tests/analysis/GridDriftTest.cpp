#include "GridDrift.h"

#include <gtest/gtest.h>

using namespace tavix;

// Beats a tracker gives on a steady song: a beat apart, now on the beat, now a sixteenth
// either side, all standing `offsetMs` off the grid a fit gave.
static std::vector<double> steadyBeats(double periodMs, double offsetMs, int count)
{
    std::vector<double> beats;
    for (int k = 0; k < count; ++k) {
        const double sixteenth = (k / 40 % 3 - 1) * periodMs / 4.0;
        beats.push_back(1000.0 + k * periodMs + sixteenth + offsetMs);
    }
    return beats;
}

TEST(GridDrift, ASteadyOffsetFromTheGridIsItsPhaseNotADrift)
{
    const double period = 428.6;
    const auto beats = steadyBeats(period, 18.0, 300);
    EXPECT_TRUE(GridDrift::stretches(beats, period, 1000.0, 140000.0).empty());

    // The same beats with a stretch of 32 running 25 ms late: that much is off.
    auto late = beats;
    for (size_t k = 150; k < 182; ++k)
        late[k] += 25.0;
    const auto off = GridDrift::stretches(late, period, 1000.0, 140000.0);
    ASSERT_EQ(off.size(), 1u);
    EXPECT_LT(off[0].startMs, late[150]);
    EXPECT_GT(off[0].endMs, late[181]);
}
