// End to end through SDL's disk driver, which writes the mixed output to a file faster
// than real time. The driver is chosen from the environment when the engine starts its
// device, so this runs in a binary of its own.
#include "AudioTime.h"
#include "FMod.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

namespace tavix {
namespace {

using test::TempDir;

// A quiet square wave whose very first sample is non-zero, so the music's own start can
// be found in the capture.
std::vector<int16_t> squareWave(int64_t frames)
{
    std::vector<int16_t> out(static_cast<size_t>(2 * frames));
    for (int64_t f = 0; f < frames; ++f) {
        const int16_t v = (f / 220) % 2 == 0 ? 300 : -300;
        out[static_cast<size_t>(2 * f)] = v;
        out[static_cast<size_t>(2 * f + 1)] = static_cast<int16_t>(-v);
    }
    return out;
}

// A short hit with a sharp onset.
std::vector<int16_t> hitSound()
{
    std::vector<int16_t> out;
    for (int i = 0; i < 40; ++i)
        out.push_back(static_cast<int16_t>(8000 - 150 * i));
    return out;
}

bool waitFor(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Output goes to `capture`, written as fast as it is mixed.
void captureTo(const std::string& capture)
{
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
}

std::vector<int16_t> readCapture(const std::string& capture)
{
    const auto bytes = test::readBytes(capture);
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

// The first frame of the capture that is not silent, -1 if none.
int64_t firstSoundingFrame(const std::vector<int16_t>& out)
{
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i] != 0)
            return static_cast<int64_t>(i / 2);
    return -1;
}

// Opens a song, plays it to its end with `schedule` run just before the start, and
// returns the capture.
std::vector<int16_t> playThrough(const std::string& capture, int rate, const std::string& song,
                                 int64_t* lengthFrames,
                                 const std::function<void(FMod&, StreamHandle)>& schedule = {})
{
    captureTo(capture);
    {
        FMod engine;
        EXPECT_TRUE(engine.FSOUND_Init(rate, 32, 0));
        EXPECT_EQ(engine.deviceInfo().driver, "disk") << engine.lastError().toStdString();
        EXPECT_EQ(engine.mixRate(), rate);
        const StreamHandle h = engine.FSOUND_Stream_Open(song.c_str(), FSOUND_NORMAL, 0, 0);
        EXPECT_NE(h, 0) << engine.lastError().toStdString();
        engine.waitDecoded(h);
        *lengthFrames = engine.lengthFrames(h);
        if (schedule)
            schedule(engine, h);
        EXPECT_TRUE(engine.FSOUND_Stream_Play(MusicChannel, h));
        EXPECT_TRUE(waitFor([&] { return !engine.isPlaying(h); }, std::chrono::seconds(60)));
        engine.FSOUND_Close();
    }
    return readCapture(capture);
}

TEST(DiskOutput, ASongAtTheDeviceRatePlaysAloneBitForBit)
{
    TempDir dir;
    auto song = test::noise(48000 * 2, 2, 32767, 21);
    song[0] = -32768;
    song[1] = 32767;
    const std::string path = dir.file("noise48k.wav");
    ASSERT_TRUE(test::writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, song));
    int64_t length = 0;
    const auto out = playThrough(dir.file("capture.raw"), 48000, path, &length);
    EXPECT_EQ(length, 48000 * 2); // not resampled
    const int64_t start = firstSoundingFrame(out);
    ASSERT_GE(start, 0);
    ASSERT_GE(static_cast<int64_t>(out.size()), 2 * (start + length));
    const std::vector<int16_t> played(out.begin() + 2 * start, out.begin() + 2 * (start + length));
    EXPECT_EQ(played, song);
}

TEST(DiskOutput, ASongAtAnotherRateIsResampledOnceToTheDeviceRate)
{
    TempDir dir;
    const int64_t frames = 44100 + 17;
    const std::string path = dir.file("level44k.wav");
    ASSERT_TRUE(test::writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                                     test::constant(frames, 1, 12000)));
    int64_t length = 0;
    const auto out = playThrough(dir.file("capture.raw"), 48000, path, &length);
    // The frames of the song at 48 kHz, and exactly those reach the output.
    EXPECT_EQ(length, std::llround(frames * 48000.0 / 44100.0));
    const int64_t start = firstSoundingFrame(out);
    int64_t end = static_cast<int64_t>(out.size()) / 2;
    while (end > start && out[static_cast<size_t>(2 * end - 2)] == 0)
        --end;
    EXPECT_EQ(end - start, length);
    // A steady level stays that level, bar the filter's ripple at the edges.
    for (int64_t f = start + 2000; f < end - 2000; ++f)
        ASSERT_NEAR(out[static_cast<size_t>(2 * f)], 12000, 2) << f;
}

TEST(DiskOutput, SixteenFullScaleHitsOverLoudMusicNeverWrap)
{
    TempDir dir;
    const int64_t frames = 44100;
    const auto music = test::noise(frames, 2, 32767, 5);
    const std::string musicPath = dir.file("loud.wav");
    const std::string hitPath = dir.file("hit.wav");
    ASSERT_TRUE(test::writeSoundFile(musicPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music));
    ASSERT_TRUE(test::writeSoundFile(hitPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                                     test::constant(2000, 1, 32767)));
    const auto hitBytes = test::readBytes(hitPath);
    int64_t length = 0;
    const int64_t hitFrame = 10000;
    const auto out = playThrough(
        dir.file("capture.raw"), 44100, musicPath, &length, [&](FMod& engine, StreamHandle song) {
            for (int i = 0; i < 16; ++i) {
                const StreamHandle hit = engine.FSOUND_Stream_Open(
                    reinterpret_cast<const char*>(hitBytes.data()), FSOUND_MEMORY_MODE, 0,
                    static_cast<int>(hitBytes.size()));
                ASSERT_TRUE(engine.FSOUND_Stream_PlayAt(i, hit, song, hitFrame * 1000.0 / 44100));
            }
        });
    const int64_t start = firstSoundingFrame(out);
    ASSERT_GE(start, 0);
    ASSERT_GE(static_cast<int64_t>(out.size()), 2 * (start + frames));
    for (int64_t f = 0; f < frames; ++f) {
        for (int side = 0; side < 2; ++side) {
            const int16_t got = out[static_cast<size_t>(2 * (start + f) + side)];
            const int16_t was = music[static_cast<size_t>(2 * f + side)];
            if (f <= hitFrame - PeakLimiter(44100).lookaheadFrames())
                ASSERT_EQ(got, was) << f; // untouched until the look-ahead reaches the hits
            else if (f < hitFrame)
                ASSERT_TRUE(std::abs(got) <= std::abs(was)) << f; // turned down ahead of them
            else if (f < hitFrame + 2000)
                ASSERT_GE(got, 28000) << f; // 15 to 17 times full scale, brought to it
            else
                ASSERT_TRUE(std::abs(got) <= std::abs(was) && (got == 0 || (got > 0) == (was > 0)))
                    << f; // the music comes back ducked, never louder, never inverted
        }
    }
}

TEST(DiskOutput, ScheduledHitsLandOnTheirExactFramesInTheCapture)
{
    TempDir dir;
    const std::string capture = dir.file("capture.raw");
    captureTo(capture);

    const int64_t musicFrames = 44100 * 3;
    const auto music = squareWave(musicFrames);
    const auto hit = hitSound();
    const std::string musicPath = dir.file("music.wav");
    const std::string hitPath = dir.file("hit.wav");
    ASSERT_TRUE(test::writeSoundFile(musicPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music));
    ASSERT_TRUE(test::writeSoundFile(hitPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, hit));
    const auto hitBytes = test::readBytes(hitPath);

    std::vector<int64_t> onsets; // music frames
    std::vector<int16_t> expected(music.begin(), music.end());
    {
        FMod engine;
        ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
        ASSERT_EQ(engine.deviceInfo().driver, "disk") << engine.lastError().toStdString();
        EXPECT_TRUE(engine.deviceInfo().frameCounter);
        const StreamHandle song = engine.FSOUND_Stream_Open(musicPath.c_str(), FSOUND_NORMAL, 0, 0);
        ASSERT_NE(song, 0) << engine.lastError().toStdString();
        std::vector<StreamHandle> keys;
        for (int i = 0; i < KeySoundChannels + 1; ++i) {
            keys.push_back(engine.FSOUND_Stream_Open(reinterpret_cast<const char*>(hitBytes.data()),
                                                     FSOUND_MEMORY_MODE, 0,
                                                     static_cast<int>(hitBytes.size())));
            ASSERT_NE(keys.back(), 0);
        }
        ASSERT_TRUE(engine.waitDecoded(song));

        // Fractional milliseconds, as a chart's cells fall, on the key channels round robin
        // and every fourth on the marker channel.
        for (int i = 0; i < 60; ++i) {
            const double ms = 40.0 + i * 47.3 + (i % 3) * 0.37;
            const int channel = i % 4 == 3 ? MarkerChannel : i % KeySoundChannels;
            const StreamHandle effect = keys[static_cast<size_t>(channel)];
            ASSERT_TRUE(engine.FSOUND_Stream_PlayAt(channel, effect, song, ms));
            const int64_t frame = framesFromMs(ms, 44100);
            onsets.push_back(frame);
            for (size_t k = 0; k < hit.size(); ++k)
                for (int side = 0; side < 2; ++side)
                    expected[static_cast<size_t>(2 * (frame + static_cast<int64_t>(k)) + side)] +=
                        hit[k];
        }
        ASSERT_TRUE(engine.FSOUND_Stream_Play(MusicChannel, song));
        ASSERT_TRUE(waitFor([&] { return !engine.isPlaying(song); }, std::chrono::seconds(60)));
        EXPECT_EQ(engine.FSOUND_Stream_GetTime(song), engine.FSOUND_Stream_GetLengthMs(song));
        EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(song), 3000);
        engine.FSOUND_Close(); // flushes and closes the capture
    }

    const auto out = readCapture(capture);
    ASSERT_GT(out.size(), static_cast<size_t>(musicFrames * 2));
    int64_t start = -1;
    for (size_t i = 0; i < out.size(); i += 2)
        if (out[i] != 0) {
            start = static_cast<int64_t>(i / 2);
            break;
        }
    ASSERT_GE(start, 0) << "no sound in the capture";
    ASSERT_GE(static_cast<int64_t>(out.size()) / 2, start + musicFrames);

    // Every hit begins on its frame: silent against the music one frame before, sounding on it.
    for (int64_t frame : onsets) {
        const auto at = static_cast<size_t>(2 * (start + frame));
        EXPECT_EQ(out[at - 2] - music[static_cast<size_t>(2 * frame - 2)], 0) << frame;
        EXPECT_EQ(out[at] - music[static_cast<size_t>(2 * frame)], hit[0]) << frame;
    }
    // And the whole capture is exactly the music with the hits mixed in.
    const std::vector<int16_t> captured(out.begin() + 2 * start,
                                        out.begin() + 2 * (start + musicFrames));
    EXPECT_EQ(captured, expected);
    // After the music, silence.
    for (size_t i = static_cast<size_t>(2 * (start + musicFrames)); i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << i;
}

// ---- Slowed down with the pitch kept -----------------------------------------------------

// Where |sample| of one side first reaches `level` at or after `from`, -1 if never.
int64_t firstAbove(const std::vector<int16_t>& out, int side, int64_t from, int level)
{
    for (int64_t f = std::max<int64_t>(from, 0); 2 * f + 1 < static_cast<int64_t>(out.size()); ++f)
        if (std::abs(out[static_cast<size_t>(2 * f + side)]) >= level)
            return f;
    return -1;
}

TEST(DiskOutput, AtHalfSpeedASineLastsTwiceAsLongAtItsOwnPitch)
{
    TempDir dir;
    const int64_t frames = 44100 * 2;
    const std::string path = dir.file("sine.wav");
    ASSERT_TRUE(test::writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                                     test::sine(frames, 2, 441.0, 44100, 12000)));
    int64_t length = 0;
    const auto out = playThrough(dir.file("capture.raw"), 44100, path, &length,
                                 [](FMod& engine, StreamHandle song) {
                                     ASSERT_TRUE(engine.setPlaybackRate(song, 50));
                                     EXPECT_EQ(engine.playbackRate(song), 50);
                                 });
    const int64_t start = firstSoundingFrame(out);
    ASSERT_GE(start, 0);
    int64_t end = static_cast<int64_t>(out.size()) / 2;
    while (end > start && out[static_cast<size_t>(2 * end - 2)] == 0)
        --end;
    EXPECT_NEAR(static_cast<double>(end - start), 2.0 * frames, 44.1 * 3); // within 3 ms
    // Zero crossings over the middle two seconds: 441 Hz still, within 1%.
    int crossings = 0;
    const int64_t from = start + 44100;
    for (int64_t f = from + 1; f < from + 2 * 44100; ++f)
        crossings +=
            (out[static_cast<size_t>(2 * f - 2)] < 0) != (out[static_cast<size_t>(2 * f)] < 0);
    EXPECT_NEAR(crossings / 2.0 / 2.0, 441.0, 4.41);
}

TEST(DiskOutput, AtHalfSpeedHitsLandWhereTheirInstantFallsInTheStretchedMusic)
{
    // The music's right side has a sharp burst every 0.5 s (the left is silent); a hit
    // whose only sound is on the left is scheduled on each burst.
    TempDir dir;
    const int64_t frames = 44100 * 3;
    std::vector<int16_t> music(static_cast<size_t>(2 * frames), 0);
    std::vector<int64_t> bursts;
    const auto noise = test::noise(2205, 1, 16000, 3);
    for (int64_t at = 11025; at + 2205 < frames; at += 22050) {
        bursts.push_back(at);
        for (int64_t k = 0; k < 2205; ++k)
            music[static_cast<size_t>(2 * (at + k) + 1)] =
                static_cast<int16_t>(noise[static_cast<size_t>(k)] * (1 - k / 2205.0));
    }
    std::vector<int16_t> hit;
    for (int i = 0; i < 40; ++i) {
        hit.push_back(static_cast<int16_t>(8000 - 150 * i));
        hit.push_back(0);
    }
    const std::string musicPath = dir.file("bursts.wav");
    const std::string hitPath = dir.file("hit.wav");
    ASSERT_TRUE(test::writeSoundFile(musicPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music));
    ASSERT_TRUE(test::writeSoundFile(hitPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, hit));
    const auto hitBytes = test::readBytes(hitPath);
    int64_t length = 0;
    const auto out = playThrough(
        dir.file("capture.raw"), 44100, musicPath, &length, [&](FMod& engine, StreamHandle song) {
            ASSERT_TRUE(engine.setPlaybackRate(song, 50));
            for (size_t i = 0; i <= bursts.size(); ++i) {
                const StreamHandle h = engine.FSOUND_Stream_Open(
                    reinterpret_cast<const char*>(hitBytes.data()), FSOUND_MEMORY_MODE, 0,
                    static_cast<int>(hitBytes.size()));
                // The first at the song's start marks where it begins in the capture.
                const double ms = i == 0 ? 0.0 : bursts[i - 1] * 1000.0 / 44100;
                ASSERT_TRUE(engine.FSOUND_Stream_PlayAt(static_cast<int>(i % 15), h, song, ms));
            }
        });
    const int64_t start = firstAbove(out, 0, 0, 7000);
    ASSERT_GE(start, 0);
    for (const int64_t burst : bursts) {
        const int64_t ideal = start + 2 * burst;
        const int64_t hitAt = firstAbove(out, 0, ideal - 441, 7000);
        const int64_t musicAt = firstAbove(out, 1, ideal - 4410, 4000);
        // The hit on its exact frame; the stretched burst's onset, smeared by the
        // stretcher's window, within 6 ms of it.
        EXPECT_EQ(hitAt, ideal) << burst;
        EXPECT_NEAR(musicAt, ideal, 265) << burst;
    }
}

// ---- Loops --------------------------------------------------------------------------------

// Plays `musicPath` from 500 ms with [500, 1500) looped, a left-only hit 100 ms into the range
// in each of three passes, at `percent`; stops once three passes have been heard.
std::vector<int16_t> loopThreePasses(TempDir& dir, const std::string& musicPath,
                                     const std::vector<int16_t>& hit, int percent)
{
    const std::string capture = dir.file("loop" + std::to_string(percent) + ".raw");
    const std::string hitPath = dir.file("hit.wav");
    EXPECT_TRUE(test::writeSoundFile(hitPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, hit));
    const auto hitBytes = test::readBytes(hitPath);
    captureTo(capture);
    {
        FMod engine;
        EXPECT_TRUE(engine.FSOUND_Init(44100, 32, 0));
        const StreamHandle song = engine.FSOUND_Stream_Open(musicPath.c_str(), FSOUND_NORMAL, 0, 0);
        EXPECT_TRUE(engine.waitDecoded(song));
        if (percent != 100) {
            EXPECT_TRUE(engine.setPlaybackRate(song, percent));
        }
        const std::optional<double> length = engine.setLoop(song, 500.0, 1500.0);
        EXPECT_TRUE(length);
        EXPECT_EQ(length.value_or(0), 1000.0);
        EXPECT_FALSE(engine.setLoop(song, 500.0, 3500.0)); // past the song's end
        EXPECT_TRUE(engine.FSOUND_Stream_SetTime(song, 500));
        for (int pass = 0; pass < 3; ++pass) {
            const StreamHandle h =
                engine.FSOUND_Stream_Open(reinterpret_cast<const char*>(hitBytes.data()),
                                          FSOUND_MEMORY_MODE, 0, static_cast<int>(hitBytes.size()));
            EXPECT_TRUE(engine.FSOUND_Stream_PlayAt(pass, h, song, 600.0 + pass * 1000.0));
        }
        EXPECT_TRUE(engine.FSOUND_Stream_Play(MusicChannel, song));
        // Loop time runs on past the range's end and the song's: it never stops by itself.
        EXPECT_TRUE(waitFor([&] { return engine.FSOUND_Stream_GetTime(song) >= 3600; },
                            std::chrono::seconds(60)));
        EXPECT_TRUE(engine.isPlaying(song));
        engine.FSOUND_Close();
    }
    return readCapture(capture);
}

TEST(DiskOutput, ALoopRepeatsItsRangeSampleForSampleAndItsHitsLandInEveryPass)
{
    TempDir dir;
    const int64_t frames = 44100 * 3;
    // Noise on the right names every frame of the song; the left is silent but for the hits.
    std::vector<int16_t> music(static_cast<size_t>(2 * frames), 0);
    const auto noise = test::noise(frames, 1, 12000, 5);
    for (int64_t f = 0; f < frames; ++f)
        music[static_cast<size_t>(2 * f + 1)] = noise[static_cast<size_t>(f)];
    std::vector<int16_t> hit;
    for (int i = 0; i < 40; ++i) {
        hit.push_back(static_cast<int16_t>(8000 - 150 * i));
        hit.push_back(0);
    }
    const std::string musicPath = dir.file("noise.wav");
    ASSERT_TRUE(test::writeSoundFile(musicPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, music));

    const auto out = loopThreePasses(dir, musicPath, hit, 100);
    int64_t start = -1;
    for (size_t i = 1; i < out.size(); i += 2)
        if (out[i] != 0) {
            start = static_cast<int64_t>(i / 2);
            break;
        }
    ASSERT_GE(start, 0);
    // Three passes of the range, each the song's frames 22050..66149 to the sample, the
    // jump leaving no frame out or doubled, and each pass's hit on its frame 4410 in.
    ASSERT_GE(static_cast<int64_t>(out.size()) / 2, start + 3 * 44100);
    for (int64_t o = 0; o < 3 * 44100; ++o) {
        const int64_t song = 22050 + o % 44100;
        ASSERT_EQ(out[static_cast<size_t>(2 * (start + o) + 1)],
                  music[static_cast<size_t>(2 * song + 1)])
            << o;
        const int64_t intoHit = o % 44100 - 4410;
        const int16_t left =
            intoHit >= 0 && intoHit < 40 ? hit[static_cast<size_t>(2 * intoHit)] : 0;
        ASSERT_EQ(out[static_cast<size_t>(2 * (start + o))], left) << o;
    }

    // Slowed to half, the hits still land where their instant falls in each pass.
    const auto slow = loopThreePasses(dir, musicPath, hit, 50);
    const int64_t first = firstAbove(slow, 0, 0, 7000);
    ASSERT_GE(first, 0);
    for (int pass = 1; pass < 3; ++pass)
        EXPECT_EQ(firstAbove(slow, 0, first + 2 * pass * 44100 - 441, 7000),
                  first + 2 * pass * 44100)
            << pass;
}

} // namespace
} // namespace tavix
