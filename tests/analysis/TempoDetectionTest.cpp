#include "KeP.h"
#include "SampleSource.h"
#include "TempoDetector.h"
#include "TestSongs.h"

#include <QString>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <numbers>

using namespace tavix;
using test::SongPlan;

namespace {

TempoResult detectSong(const std::vector<int16_t>& song, int rate = 44100, TempoOptions range = {})
{
    const auto r = TempoDetector::detect(SampleSource(std::span(song), 2, rate), range);
    EXPECT_TRUE(r.has_value());
    return r.value_or(TempoResult{});
}

// How far a moment lies from the nearest beat of a grid.
double offBeatMs(double ms, double firstBeatMs, double periodMs)
{
    return std::abs(std::remainder(ms - firstBeatMs, periodMs));
}

} // namespace

namespace tavix::test {
void PrintTo(const SongPlan& plan, std::ostream* out)
{
    *out << plan.name;
}
} // namespace tavix::test

class GeneratedSong : public ::testing::TestWithParam<SongPlan>
{
};

TEST_P(GeneratedSong, TempoFirstBeatAndTheOffsetPutCellsOnTheBeats)
{
    const SongPlan& plan = GetParam();
    const TempoResult r = detectSong(test::makeSong(plan));
    const double period = 60000.0 / plan.bpm;
    EXPECT_NEAR(r.bpm, plan.bpm, 0.05);
    EXPECT_LE(offBeatMs(r.firstBeatMs, plan.firstBeatMs, period), 5.0) << r.firstBeatMs;
    EXPECT_GE(r.firstBeatMs, 0.0);
    EXPECT_LT(r.firstBeatMs, r.periodMs());
    EXPECT_GT(r.confidence, 0.7);

    // The texts the boxes would hold, read back through the editor's own rules.
    const double bpm = QString::number(r.bpm, 'f', 2).toDouble();
    const double offset = QString::number(r.offset(), 'f', 3).toDouble();
    const float beatRate = KeP::rateFromBpm(bpm);
    const double leadMs = double(beatRate) * (1.4 - offset) * 6000.0;
    int cells = 0;
    for (int cell = 0;; cell += 4, ++cells) {
        const double musicMs = cell / double(beatRate) - leadMs;
        if (musicMs > plan.seconds * 1000.0)
            break;
        ASSERT_LE(offBeatMs(musicMs, plan.firstBeatMs, period), 5.0) << "cell " << cell;
    }
    EXPECT_GT(cells, 40);
}

INSTANTIATE_TEST_SUITE_P(TempoDetection, GeneratedSong, ::testing::ValuesIn(test::generatedSongs()),
                         [](const ::testing::TestParamInfo<SongPlan>& info) {
                             std::string name;
                             for (char c : info.param.name)
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     name += c;
                             return name;
                         });

TEST(TempoDetection, MovesHalfAndDoubleTempoIntoTheRange)
{
    const struct
    {
        SongPlan song;
        TempoOptions range;
        double expected;
    } cases[] = {
        {{"70 in the default range", 70.0, 123.0, 24.0}, {}, 140.0},
        {{"240 in the default range", 240.0, 77.0, 24.0, true}, {}, 120.0},
        {{"143.21 in 50..100", 143.21, 88.0, 24.0, false, true}, {50.0, 100.0}, 71.605},
        {{"97.63 in 150..300", 97.63, 37.0, 24.0}, {150.0, 300.0}, 195.26},
        {{"120 in 130..140", 120.0, 37.0, 24.0}, {130.0, 140.0}, 120.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.song.name);
        const TempoResult r = detectSong(test::makeSong(c.song), 44100, c.range);
        EXPECT_NEAR(r.bpm, c.expected, 0.05);
        // A doubled tempo's beats include the half-beats; a halved one's are every other beat.
        const double finer = 60000.0 / std::max(c.expected, c.song.bpm);
        EXPECT_LE(offBeatMs(r.firstBeatMs, c.song.firstBeatMs, finer), 5.0) << r.firstBeatMs;
    }
}

TEST(TempoDetection, SilenceNoiseAToneAndRandomHitsGiveNoConfidence)
{
    const int rate = 44100;
    const size_t frames = 12 * size_t(rate);
    std::vector<std::pair<std::string, std::vector<int16_t>>> sounds;
    sounds.emplace_back("nothing", std::vector<int16_t>{});
    sounds.emplace_back("silence", std::vector<int16_t>(2 * frames));
    std::vector<int16_t> noise(2 * frames);
    uint32_t state = 7;
    for (int16_t& s : noise) {
        state = state * 1664525u + 1013904223u;
        s = int16_t(int32_t(state) >> 18);
    }
    sounds.emplace_back("white noise", noise);
    std::vector<int16_t> chord(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        chord[2 * i] = chord[2 * i + 1] =
            int16_t(6000 * (std::sin(2 * std::numbers::pi * 220 * t) +
                            std::sin(2 * std::numbers::pi * 277 * t)));
    }
    sounds.emplace_back("steady chord", chord);
    SongPlan hits{"random hits", 120.0, 100.0, 12.0};
    hits.irregular = true;
    sounds.emplace_back(hits.name, test::makeSong(hits));

    for (const auto& [name, samples] : sounds) {
        SCOPED_TRACE(name);
        const TempoResult r = detectSong(samples);
        EXPECT_LT(r.confidence, 0.2);
        EXPECT_GE(r.firstBeatMs, 0.0);
        EXPECT_TRUE(std::isfinite(r.offset()));
    }
}

TEST(TempoDetection, ReadsSamplesInBlocksAsFloatAndAtOtherRates)
{
    SongPlan plan{"layouts", 120.5, 211.0, 16.0, false, true};
    const std::vector<int16_t> song = test::makeSong(plan);
    const TempoResult whole = detectSong(song);

    // As a decoding stream holds it: in blocks of an odd size.
    const int64_t block = 10007;
    const int64_t frames = int64_t(song.size()) / 2;
    const SampleSource blocks(SampleSource::Format::Int16, 2, 44100, frames, [&](int64_t frame) {
        const int64_t end = std::min(frames, (frame / block + 1) * block);
        return SampleSource::Block{song.data() + 2 * frame, end - frame};
    });
    const TempoResult inBlocks = *TempoDetector::detect(blocks);
    EXPECT_EQ(inBlocks.bpm, whole.bpm);
    EXPECT_EQ(inBlocks.firstBeatMs, whole.firstBeatMs);
    EXPECT_EQ(inBlocks.confidence, whole.confidence);

    std::vector<float> floats(song.size());
    for (size_t i = 0; i < song.size(); ++i)
        floats[i] = song[i] / 32768.0f;
    const TempoResult asFloat = *TempoDetector::detect(SampleSource(std::span(floats), 2, 44100));
    EXPECT_EQ(asFloat.bpm, whole.bpm);
    EXPECT_NEAR(asFloat.firstBeatMs, whole.firstBeatMs, 0.01);

    plan.rate = 48000;
    const TempoResult at48k = detectSong(test::makeSong(plan), 48000);
    EXPECT_NEAR(at48k.bpm, plan.bpm, 0.05);
    EXPECT_LE(offBeatMs(at48k.firstBeatMs, plan.firstBeatMs, 60000.0 / plan.bpm), 5.0);
}

TEST(TempoDetection, ReportsProgressAndStopsWhenAsked)
{
    const std::vector<int16_t> song = test::makeSong({"progress", 100.0, 0.0, 12.0});
    const SampleSource samples(std::span<const int16_t>(song), 2, 44100);
    std::vector<double> seen;
    ASSERT_TRUE(TempoDetector::detect(samples, {}, {}, [&](double p) { seen.push_back(p); }));
    ASSERT_GT(seen.size(), 5u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);

    std::stop_source stop;
    double last = 0.0;
    const auto stopped = TempoDetector::detect(samples, {}, stop.get_token(), [&](double p) {
        last = p;
        if (p > 0.3)
            stop.request_stop();
    });
    EXPECT_FALSE(stopped.has_value());
    EXPECT_LT(last, 0.5);
}
