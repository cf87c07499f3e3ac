// The waveform peaks: every level against the samples, the columns a display reads, and
// the peaks the decoder fills as it stores a song.
#include "WaveformPeaks.h"
#include "Decoder.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace tavix {
namespace {

// Fed in uneven pieces, as a decoder hands them over.
void feed(WaveformPeaks& peaks, const std::vector<int16_t>& s, int channels, int64_t from,
          int64_t to)
{
    const int64_t pieces[] = {1, 4096, 63, 700, 8191};
    for (int i = 0; from < to; ++i) {
        const int64_t n = std::min(pieces[i % 5], to - from);
        peaks.add(s.data() + from * channels, n);
        from += n;
    }
}

// Silence with a short loud click at each frame given, stereo.
std::vector<int16_t> clicks(int64_t frames, const std::vector<int64_t>& at)
{
    std::vector<int16_t> s(size_t(frames * 2), 0);
    for (const int64_t f : at)
        std::fill_n(s.begin() + 2 * f, 16, int16_t(30000));
    return s;
}

TEST(WaveformPeaks, EveryLevelHoldsTheRangeOfItsFramesAndTheTailCompletesAtTheEnd)
{
    for (const int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        const int64_t frames = 300'000; // no whole number of blocks at any level
        const std::vector<int16_t> s = test::noise(frames, channels, 30000, 7u + channels);
        WaveformPeaks peaks(channels, 44100, frames);
        ASSERT_EQ(peaks.baseBlockFrames(), 64); // 1.45 ms
        feed(peaks, s, channels, 0, frames);
        EXPECT_EQ(peaks.blocks(3), frames / 4096);
        peaks.finish();
        ASSERT_TRUE(peaks.isComplete());
        for (int level = 0; level < WaveformPeaks::Levels; ++level) {
            const int64_t size = peaks.blockFrames(level);
            ASSERT_EQ(peaks.blocks(level), (frames + size - 1) / size) << level;
            for (const int64_t j : {int64_t{0}, peaks.blocks(level) / 2, peaks.blocks(level) - 1}) {
                const auto first = s.begin() + j * size * channels;
                const auto end = s.begin() + std::min(frames, (j + 1) * size) * channels;
                const PeakRange got = peaks.block(level, j);
                EXPECT_EQ(got.lo, *std::min_element(first, end) >> 8) << level << " " << j;
                EXPECT_EQ(got.hi, *std::max_element(first, end) >> 8) << level << " " << j;
            }
        }
    }
}

TEST(WaveformPeaks, ColumnsShowEachClickInTheColumnOfItsTimeAtEveryScale)
{
    const int64_t frames = int64_t{44100} * 20;
    const std::vector<int64_t> at{44100, 200'000, 500'123, 777'777};
    WaveformPeaks peaks(2, 44100, frames);
    feed(peaks, clicks(frames, at), 2, 0, frames);
    peaks.finish();
    // From a tenth of a block per column (level 0) to most of a second (level 4).
    for (const double msPerColumn : {0.1, 1.17, 4.6875, 8.67, 50.0, 700.0}) {
        SCOPED_TRACE(msPerColumn);
        const double startMs = -123.4;
        std::vector<PeakRange> out(std::min<size_t>(40000, size_t(20200 / msPerColumn)));
        peaks.columns(startMs, msPerColumn, out);
        // Each click is loud in the column of its block, which lies within half a block
        // (at most half a column) of it, and only there.
        const double slack = msPerColumn / 2 + 1.5;
        int loud = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            const double from = startMs + double(i) * msPerColumn;
            bool nearClick = false;
            for (const int64_t f : at)
                nearClick =
                    nearClick || (f / 44.1 > from - slack && f / 44.1 < from + msPerColumn + slack);
            EXPECT_TRUE(out[i].hi < 100 || nearClick) << i;
            loud += out[i].hi > 100;
        }
        const int visible = int(std::count_if(at.begin(), at.end(), [&](int64_t f) {
            return f / 44.1 < startMs + double(out.size()) * msPerColumn;
        }));
        EXPECT_GE(loud, visible);
        EXPECT_EQ(out[0].empty(), msPerColumn < -startMs); // the time before the song
    }
}

TEST(WaveformPeaks, WhatIsNotDecodedYetIsSilenceAndOutsideTheSongIsEmpty)
{
    const int64_t frames = int64_t{44100} * 4;
    const std::vector<int16_t> s = test::noise(frames, 2, 20000, 3u);
    WaveformPeaks peaks(2, 44100, frames);
    feed(peaks, s, 2, 0, 44100); // one second of four
    std::vector<PeakRange> out(60);
    peaks.columns(-1000.0, 100.0, out); // -1 s to 5 s
    for (int i = 0; i < 60; ++i) {
        const PeakRange r = out[size_t(i)];
        if (i < 10 || i >= 50) {
            EXPECT_TRUE(r.empty()) << i;
        } else if (i < 19) {
            EXPECT_GT(r.hi - r.lo, 100) << i;
        } else if (i > 20) {
            EXPECT_TRUE(r.lo == 0 && r.hi == 0) << i;
        }
    }
    feed(peaks, s, 2, 44100, frames); // the rest fills in, read through the coarse levels
    peaks.finish();
    peaks.columns(-1000.0, 100.0, out);
    for (int i = 10; i < 50; ++i)
        EXPECT_GT(out[size_t(i)].hi - out[size_t(i)].lo, 100) << i;

    WaveformPeaks unknownLength(2, 44100, -1); // ends where its frames end
    feed(unknownLength, s, 2, 0, 44100);
    unknownLength.finish();
    EXPECT_EQ(unknownLength.lengthFrames(), 44100);
}

TEST(WaveformPeaks, TheDecoderFillsThePeaksOfWhatItStores)
{
    test::TempDir dir;
    const std::string path = dir.file("click.wav");
    ASSERT_TRUE(test::writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                                     clicks(88200, {66150})));
    QString error;
    auto decoder = Decoder::openFile(path, 44100, &error);
    ASSERT_TRUE(decoder) << error.toStdString();
    const std::shared_ptr<const WaveformPeaks> peaks = decoder->peaks();
    EXPECT_EQ(peaks->blocks(0), 0);
    decoder->decodeAll();
    EXPECT_TRUE(peaks->isComplete());
    std::vector<PeakRange> out(20);
    peaks->columns(0.0, 100.0, out);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(out[size_t(i)].hi > 100, i == 15) << i; // the click at 1.5 s
}

} // namespace
} // namespace tavix
