#include "SampleSource.h"
#include "TempoDetector.h"
#include "TestSongs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

using namespace tavix;

namespace {

// Mono clicks (a 1 kHz blip of a few milliseconds) at each tempo of `parts` from its start
// on: {bpm, from ms, to ms}.
struct Part
{
    double bpm;
    double fromMs;
    double toMs;
};

std::vector<float> clicks(std::initializer_list<Part> parts, double seconds, int rate = 44100)
{
    std::vector<float> out(size_t(seconds * rate), 0.0f);
    for (const Part& p : parts)
        for (double t = p.fromMs; t < p.toMs; t += 60000.0 / p.bpm) {
            const auto at = size_t(std::llround(t * rate / 1000.0));
            for (size_t k = 0; k < size_t(rate / 100) && at + k < out.size(); ++k)
                out[at + k] += float(0.6 * std::sin(2 * std::numbers::pi * 1000.0 * k / rate) *
                                     std::exp(-double(k) / (0.003 * rate)));
        }
    return out;
}

TempoResult detect(const std::vector<float>& mono, TempoOptions range = {})
{
    return TempoDetector::detect(SampleSource(std::span(mono), 1, 44100), range)
        .value_or(TempoResult{});
}

} // namespace

TEST(TempoReadings, TheRangeOnlyChoosesTheOctaveOfOneEstimate)
{
    const test::SongPlan plan{"ranges", 131.3, 240.0, 30.0, false, true};
    const std::vector<int16_t> song = test::makeSong(plan);
    const auto at = [&](TempoOptions range) {
        return TempoDetector::detect(SampleSource(std::span(song), 2, 44100), range)
            .value_or(TempoResult{});
    };
    const TempoResult wide = at({});
    const TempoResult fast = at({150.0, 300.0});
    const TempoResult slow = at({40.0, 90.0});
    EXPECT_NEAR(wide.bpm, plan.bpm, 0.05);
    EXPECT_NEAR(fast.bpm, 2.0 * wide.bpm, 0.01);
    EXPECT_NEAR(slow.bpm, wide.bpm / 2.0, 0.01);
    // Each reading is among the candidates of the others, its first beat with it.
    ASSERT_GE(wide.candidates.size(), 2u);
    EXPECT_EQ(wide.candidates.front().bpm, wide.bpm);
    EXPECT_EQ(wide.candidates.front().firstBeatMs, wide.firstBeatMs);
    bool doubled = false;
    for (const TempoCandidate& c : wide.candidates)
        doubled = doubled || (std::abs(c.bpm - fast.bpm) < 0.011 &&
                              std::abs(c.firstBeatMs - fast.firstBeatMs) < 1.0);
    EXPECT_TRUE(doubled);
}

TEST(TempoReadings, ClicksGiveTheirPhaseToTheMillisecondAndABeatAtZeroCounts)
{
    for (const auto& [bpm, firstMs] : {std::pair{120.0, 0.0}, {133.33, 137.2}, {97.0, 401.6}}) {
        SCOPED_TRACE(firstMs);
        const TempoResult r = detect(clicks({{bpm, firstMs, 30000.0}}, 30.0));
        EXPECT_NEAR(r.bpm, bpm, 0.02);
        EXPECT_NEAR(r.firstBeatMs, firstMs, 1.0);
        EXPECT_TRUE(r.constant);
        EXPECT_TRUE(r.sure());
    }
}

TEST(TempoReadings, ASongOfTwoTemposIsNotConstantAroundTheSplice)
{
    const double splice = 20000.0;
    const TempoResult r =
        detect(clicks({{120.0, 0.0, splice}, {132.0, splice + 500.0, 40000.0}}, 40.0));
    EXPECT_FALSE(r.constant);
    bool held = false;
    for (const OffGridStretch& s : r.offGrid)
        held = held || (s.startMs < splice && s.endMs > splice);
    EXPECT_TRUE(held);

    const TempoResult steady = detect(clicks({{132.0, 50.0, 40000.0}}, 40.0));
    EXPECT_TRUE(steady.constant);
    EXPECT_TRUE(steady.offGrid.empty());
}

TEST(TempoReadings, APulseThatGroupsInTwosAsWellAsThreesIsNotSure)
{
    // Even triplets: a grid of two pulses fits every beat as well as a grid of three.
    const TempoResult r = detect(clicks({{360.0, 0.0, 30000.0}}, 30.0));
    EXPECT_LT(r.confidence, 0.3) << r.bpm;
    EXPECT_FALSE(r.sure());
}

TEST(TempoReadings, KicksOnEveryThirdOfTwoBeatsAreTheBeatWhateverTheHatsPlay)
{
    // Kicks at 180 under quiet hats at 240: half the beats of a 120 grid would fall
    // between kicks.
    const int rate = 44100;
    std::vector<float> song(size_t(30 * rate), 0.0f);
    const auto add = [&](double bpm, double seconds, const auto& sound) {
        for (double t = 0; t < 30000; t += 60000.0 / bpm) {
            const auto at = size_t(std::llround(t * rate / 1000.0));
            for (size_t k = 0; k < size_t(seconds * rate) && at + k < song.size(); ++k)
                song[at + k] += float(sound(double(k) / rate));
        }
    };
    add(180.0, 0.125, [](double s) {
        return 0.7 * std::sin(2 * std::numbers::pi * 60.0 * s) * std::exp(-s / 0.05);
    });
    uint32_t seed = 1;
    add(240.0, 0.025, [&](double s) {
        seed = seed * 1664525u + 1013904223u;
        return 0.1 * (double(seed >> 8) / double(1 << 23) - 1.0) * std::exp(-s / 0.008);
    });
    const TempoResult r = detect(song);
    EXPECT_NEAR(r.bpm, 180.0, 0.02);
    EXPECT_NEAR(std::remainder(r.firstBeatMs, 60000.0 / 180.0), 0.0, 2.0);
    EXPECT_TRUE(r.sure());
}
