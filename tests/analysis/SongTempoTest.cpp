#include "SongTempo.h"
#include "SampleSource.h"
#include "TempoDetector.h"
#include "TestAudio.h"
#include "TestSongs.h"

#include <sndfile.h>

#include <gtest/gtest.h>

using namespace tavix;

TEST(SongTempo, ASongReadAsItDecodesGivesWhatTheWholeSongGives)
{
    // Forty seconds: many chunks of the decoded sound, each freed once read.
    const test::SongPlan plan{"streamed", 137.0, 410.0, 40.0, false, true};
    const std::vector<int16_t> song = test::makeSong(plan);
    test::TempDir dir;
    const std::string path = dir.file("song.wav");
    ASSERT_TRUE(test::writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, song));

    const SongTempo read = detectSongTempo(QString::fromStdString(path), {});
    ASSERT_TRUE(read.done()) << read.reason.toStdString();
    const TempoResult whole =
        TempoDetector::detect(SampleSource(std::span(song), 2, 44100)).value_or(TempoResult{});
    EXPECT_NEAR(read.result.bpm, plan.bpm, 0.05);
    EXPECT_EQ(read.result.bpm, whole.bpm);
    EXPECT_EQ(read.result.firstBeatMs, whole.firstBeatMs);
    EXPECT_EQ(read.result.confidence, whole.confidence);
    EXPECT_EQ(read.result.fittedBeats, whole.fittedBeats);
}
