#include "AudioTime.h"
#include "FMod.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace tavix {
namespace {

using test::TempDir;
using test::writeSoundFile;

// The engine with nothing asking for frames: the test mixes them with advance().
class Engine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
        ASSERT_EQ(engine.deviceInfo().kind, AudioDevice::Kind::Manual);
    }

    // A 16-bit WAV file of the samples, opened by path.
    StreamHandle openWav(const std::string& name, const std::vector<int16_t>& samples, int channels,
                         int rate = 44100)
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(
            writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels, rate, samples));
        const StreamHandle h = engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0);
        EXPECT_NE(h, 0) << engine.lastError().toStdString();
        engine.waitDecoded(h);
        return h;
    }

    std::vector<int16_t> mix(int frames)
    {
        std::vector<int16_t> out;
        engine.advance(frames, &out);
        return out;
    }

    TempDir dir;
    FMod engine{FMod::Options{AudioDevice::Kind::Manual, 256}};
};

int16_t left(const std::vector<int16_t>& out, int64_t frame)
{
    return out[static_cast<size_t>(2 * frame)];
}

int64_t firstSound(const std::vector<int16_t>& out, int64_t from = 0)
{
    for (int64_t f = from; 2 * f < static_cast<int64_t>(out.size()); ++f)
        if (left(out, f) != 0)
            return f;
    return -1;
}

// ---- Handles --------------------------------------------------------------------------

TEST_F(Engine, HandleZeroAndUnknownHandlesDoNothing)
{
    const StreamHandle music = openWav("m.wav", test::constant(44100, 2, 100), 2);
    for (StreamHandle h : {StreamHandle{0}, StreamHandle{9999}, StreamHandle{-3}}) {
        EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(h), 0);
        EXPECT_FALSE(engine.FSOUND_Stream_Play(16, h));
        EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
        EXPECT_FALSE(engine.FSOUND_Stream_SetTime(h, 100));
        EXPECT_FALSE(engine.FSOUND_Stream_Stop(h));
        EXPECT_FALSE(engine.FSOUND_Stream_Close(h));
        EXPECT_FALSE(engine.FSOUND_Stream_PlayAt(0, h, music, 10));
        EXPECT_FALSE(engine.FSOUND_Stream_PlayAt(0, music, h, 10));
        engine.FSOUND_Stream_CancelScheduled(h);
        EXPECT_EQ(engine.streamTimeExact(h), 0);
        EXPECT_EQ(engine.streamTimeAt(h, SoundEngine::Clock::now()), 0);
        EXPECT_FALSE(engine.isPlaying(h));
        EXPECT_EQ(engine.decodeProgress(h), 0);
    }
    EXPECT_EQ(firstSound(mix(2000)), -1);
    EXPECT_FALSE(engine.isPlaying(music));
}

TEST_F(Engine, EveryOpenGetsItsOwnHandle)
{
    const auto clip = test::constant(100, 1, 10);
    const StreamHandle a = openWav("a.wav", clip, 1);
    const StreamHandle b = openWav("b.wav", clip, 1);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_TRUE(engine.FSOUND_Stream_Close(a));
    EXPECT_FALSE(engine.FSOUND_Stream_Close(a));
    EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(a), 0);
    EXPECT_NE(engine.FSOUND_Stream_GetLengthMs(b), 0);
}

// ---- Opening ---------------------------------------------------------------------------

TEST_F(Engine, NotAudioOrMissingFilesGiveZeroAndAReason)
{
    const std::string text = dir.file("readme.ogg");
    std::ofstream(text) << "plain words, no sound in here at all, none whatsoever\n";
    EXPECT_EQ(engine.FSOUND_Stream_Open(text.c_str(), FSOUND_NORMAL, 0, 0), 0);
    EXPECT_TRUE(engine.lastError().contains("readme.ogg")) << engine.lastError().toStdString();
    EXPECT_EQ(engine.FSOUND_Stream_Open("/no/such/file.wav", FSOUND_NORMAL, 0, 0), 0);
    EXPECT_TRUE(engine.lastError().contains("file.wav"));
    EXPECT_EQ(engine.FSOUND_Stream_Open(nullptr, FSOUND_NORMAL, 0, 0), 0);
    EXPECT_FALSE(engine.lastError().isEmpty());
    const char block[4] = {1, 2, 3, 4};
    EXPECT_EQ(engine.FSOUND_Stream_Open(block, FSOUND_MEMORY_MODE, 0, 0), 0); // no length
    EXPECT_EQ(engine.FSOUND_Stream_Open(block, FSOUND_MEMORY_MODE, 0, 4), 0);
}

TEST(EngineLifecycle, CallsBeforeInitAndAfterCloseFailQuietly)
{
    FMod engine(FMod::Options{AudioDevice::Kind::Manual, 256});
    EXPECT_EQ(engine.FSOUND_Stream_Open("/tmp/x.wav", FSOUND_NORMAL, 0, 0), 0);
    EXPECT_FALSE(engine.lastError().isEmpty());
    EXPECT_FALSE(engine.FSOUND_Stream_Play(16, 1));
    engine.FSOUND_Close(); // harmless
    EXPECT_FALSE(engine.FSOUND_Init(100, 32, 0));
    EXPECT_FALSE(engine.FSOUND_Init(44100, 0, 0));
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    EXPECT_TRUE(engine.isInitialised());
    engine.FSOUND_Close();
    EXPECT_FALSE(engine.isInitialised());
    EXPECT_EQ(engine.FSOUND_Stream_Open("/tmp/x.wav", FSOUND_NORMAL, 0, 0), 0);
}

TEST_F(Engine, LengthIsExactInMilliseconds)
{
    // 1234 ms = 54419.4 frames: the nearest whole frame reads back as 1234 ms.
    const int64_t frames = framesFromMs(1234, 44100);
    const StreamHandle h = openWav("len.wav", test::constant(frames, 2, 1), 2);
    EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(h), 1234);
    EXPECT_EQ(engine.decodeProgress(h), 1.0);
}

TEST_F(Engine, AnotherRateIsResampledAndKeepsItsLength)
{
    const StreamHandle h = openWav("48k.wav", test::sine(48000 * 2, 2, 300, 48000, 5000), 2, 48000);
    EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(h), 2000);
}

TEST_F(Engine, MemoryStreamsOverOneBlockPlayIndependently)
{
    const std::string path = dir.file("clip.wav");
    const auto clip = test::ramp(3000, 1, 1);
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, clip));
    auto block = test::readBytes(path);
    const auto* data = reinterpret_cast<const char*>(block.data());
    const int size = static_cast<int>(block.size());
    const StreamHandle a = engine.FSOUND_Stream_Open(data, FSOUND_MEMORY_MODE, 0, size);
    const StreamHandle b = engine.FSOUND_Stream_Open(data, FSOUND_MEMORY_MODE, 0, size);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    ASSERT_NE(a, b);
    block.assign(block.size(), 0); // the block is the caller's; the streams have their own
    EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(a), wholeMsFromFrames(3000, 44100));

    engine.FSOUND_Stream_Play(0, a);
    mix(1000);
    engine.FSOUND_Stream_Play(1, b);
    const auto out = mix(500);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(a), wholeMsFromFrames(1500, 44100));
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(b), wholeMsFromFrames(500, 44100));
    for (int f = 0; f < 500; ++f)
        ASSERT_EQ(left(out, f), clip[static_cast<size_t>(1000 + f)] + clip[static_cast<size_t>(f)]);

    engine.FSOUND_Stream_Stop(a);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(a), 0);
    EXPECT_TRUE(engine.isPlaying(b));
    EXPECT_TRUE(engine.FSOUND_Stream_Close(a));
    const auto later = mix(300);
    EXPECT_EQ(left(later, 200), clip[700]);
}

TEST_F(Engine, MemoryStreamCanStartAtAnOffsetInTheBlock)
{
    const std::string path = dir.file("clip.wav");
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                               test::constant(441, 1, 77)));
    auto bytes = test::readBytes(path);
    std::vector<unsigned char> block(100 + bytes.size(), 0xAB);
    std::copy(bytes.begin(), bytes.end(), block.begin() + 100);
    const StreamHandle h =
        engine.FSOUND_Stream_Open(reinterpret_cast<const char*>(block.data()), FSOUND_MEMORY_MODE,
                                  100, static_cast<int>(bytes.size()));
    ASSERT_NE(h, 0) << engine.lastError().toStdString();
    EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(h), 10);
}

// ---- Play, position, seek, stop ----------------------------------------------------------

TEST_F(Engine, PositionFollowsTheFramesPlayed)
{
    const StreamHandle h = openWav("song.wav", test::constant(441000, 2, 5), 2);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
    EXPECT_FALSE(engine.isPlaying(h));
    mix(1000); // nothing moves before the start
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    EXPECT_TRUE(engine.isPlaying(h));
    mix(44100);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 1000);
    EXPECT_DOUBLE_EQ(engine.streamTimeExact(h), 1000.0);
    mix(441 * 3 + 100);
    EXPECT_NEAR(engine.streamTimeExact(h), 1030 + 100 / 44.1, 1e-9);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 1032);
}

TEST_F(Engine, SetTimeWorksPlayingOrNotAndClamps)
{
    const StreamHandle h = openWav("song.wav", test::constant(441000, 2, 5), 2);
    EXPECT_TRUE(engine.FSOUND_Stream_SetTime(h, 2500));
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 2500);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 2500); // the next play started there
    mix(4410);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 2600);
    EXPECT_TRUE(engine.FSOUND_Stream_SetTime(h, 7));
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 7);
    EXPECT_TRUE(engine.isPlaying(h));
    EXPECT_TRUE(engine.FSOUND_Stream_SetTime(h, -400));
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
    EXPECT_TRUE(engine.FSOUND_Stream_SetTime(h, 999999));
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 10000);
    for (int ms : {1, 3, 5, 15, 999, 1001, 4321}) {
        EXPECT_TRUE(engine.FSOUND_Stream_SetTime(h, ms));
        EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), ms);
    }
}

TEST_F(Engine, StopSilencesAndRewinds)
{
    const StreamHandle h = openWav("song.wav", test::constant(441000, 2, 3000), 2);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    mix(10000);
    EXPECT_TRUE(engine.FSOUND_Stream_Stop(h));
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
    EXPECT_FALSE(engine.isPlaying(h));
    const auto out = mix(1000);
    EXPECT_EQ(firstSound(out, Mixer::FadeFrames), -1);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    mix(441);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 10);
}

TEST_F(Engine, PauseAndResumeAsTheEditorDoesIt)
{
    // Pause: read the time, stop. Resume: play, then seek to where it was.
    const auto song = test::ramp(441000, 1, 1);
    const StreamHandle h = openWav("song.wav", song, 1);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    mix(22050);
    const int32_t at = engine.FSOUND_Stream_GetTime(h);
    EXPECT_EQ(at, 500);
    engine.FSOUND_Stream_Stop(h);
    mix(5000);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    engine.FSOUND_Stream_SetTime(h, at);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 500);
    const auto out = mix(100);
    // Straight from the resume point: nothing of the song's start slips in.
    for (int f = 0; f < 100; ++f)
        ASSERT_EQ(left(out, f), song[static_cast<size_t>(22050 + f)]) << f;
}

TEST_F(Engine, EndOfStreamReadsTheLengthAndStops)
{
    const StreamHandle h = openWav("short.wav", test::constant(framesFromMs(700, 44100), 2, 9), 2);
    const int32_t length = engine.FSOUND_Stream_GetLengthMs(h);
    ASSERT_EQ(length, 700);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    mix(44100);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), length);
    EXPECT_FALSE(engine.isPlaying(h));
    mix(10000);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), length); // and stays there
    engine.FSOUND_Stream_Play(MusicChannel, h);         // played to its end: from the start
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
    EXPECT_TRUE(engine.isPlaying(h));
}

TEST_F(Engine, PlayOnAChannelThatDoesNotExistFails)
{
    const StreamHandle h = openWav("c.wav", test::constant(100, 1, 1), 1);
    EXPECT_FALSE(engine.FSOUND_Stream_Play(32, h));
    EXPECT_FALSE(engine.lastError().isEmpty());
    EXPECT_TRUE(engine.FSOUND_Stream_Play(31, h));
}

// ---- Scheduled starts ------------------------------------------------------------------

TEST_F(Engine, PlayAtPlacesTheEffectAtTheMusicSample)
{
    const StreamHandle music = openWav("music.wav", test::constant(441000, 2, 0), 2);
    const StreamHandle hit = openWav("hit.wav", test::constant(30, 1, 6000), 1);
    mix(1234); // the mix has run for a while before the music starts
    engine.FSOUND_Stream_SetTime(music, 1000);
    const double times[] = {1000.0, 1001.5, 1250.0113378684807, 1500.25, 2999.9};
    for (size_t i = 0; i < std::size(times); ++i)
        ASSERT_TRUE(engine.FSOUND_Stream_PlayAt(static_cast<int>(i), hit, music, times[i]));
    engine.FSOUND_Stream_Play(MusicChannel, music);
    const auto out = mix(44100 * 3);
    const int64_t start = framesFromMs(1000, 44100);
    int64_t from = 0;
    for (double ms : times) {
        const int64_t expected = std::llround(ms * 44100 / 1000) - start;
        const int64_t onset = firstSound(out, from);
        EXPECT_EQ(onset, expected) << ms;
        from = onset + 30;
    }
}

TEST_F(Engine, PlayAtIsDroppedByStopSeekCancelAndClose)
{
    const StreamHandle music = openWav("music.wav", test::constant(441000, 2, 0), 2);
    const StreamHandle hit = openWav("hit.wav", test::constant(30, 1, 6000), 1);
    engine.FSOUND_Stream_Play(MusicChannel, music);
    engine.FSOUND_Stream_PlayAt(0, hit, music, 100);
    engine.FSOUND_Stream_Stop(music);
    engine.FSOUND_Stream_Play(MusicChannel, music);
    engine.FSOUND_Stream_PlayAt(0, hit, music, 100);
    engine.FSOUND_Stream_SetTime(music, 0);
    engine.FSOUND_Stream_PlayAt(0, hit, music, 100);
    engine.FSOUND_Stream_CancelScheduled(music);
    EXPECT_EQ(firstSound(mix(44100)), -1);

    const StreamHandle other = openWav("other.wav", test::constant(441000, 2, 0), 2);
    engine.FSOUND_Stream_Play(MusicChannel, other);
    engine.FSOUND_Stream_PlayAt(0, hit, other, 100);
    engine.FSOUND_Stream_Close(other);
    EXPECT_EQ(firstSound(mix(44100)), -1);
    // The effect itself still plays when asked.
    engine.FSOUND_Stream_Play(0, hit);
    EXPECT_EQ(firstSound(mix(100)), 0);
}

TEST_F(Engine, LateStartsSoundAtOnce)
{
    const StreamHandle music = openWav("music.wav", test::constant(441000, 2, 0), 2);
    const StreamHandle hit = openWav("hit.wav", test::constant(30, 1, 6000), 1);
    engine.FSOUND_Stream_Play(MusicChannel, music);
    mix(44100);
    engine.FSOUND_Stream_PlayAt(MarkerChannel, hit, music, 500);
    EXPECT_EQ(firstSound(mix(1000)), 0);
}

// ---- The command queue ---------------------------------------------------------------------

TEST(EngineQueue, AFullQueueIsReportedAndTheCallsTakeEffectOnceItDrains)
{
    TempDir dir;
    const std::string path = dir.file("song.wav");
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                               test::constant(441000, 2, 5)));
    FMod::Options options(AudioDevice::Kind::Manual, 256);
    options.commandCapacity = 64;
    FMod engine(options);
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    const StreamHandle h = engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_NE(h, 0);
    engine.waitDecoded(h);
    // Nothing mixes, so nothing empties the queue: the calls fail at once, not wait.
    int accepted = 1; // the open
    while (engine.FSOUND_Stream_SetTime(h, 100 + accepted))
        ++accepted;
    EXPECT_EQ(accepted, 64);
    EXPECT_TRUE(engine.lastError().contains("busy")) << engine.lastError().toStdString();
    EXPECT_FALSE(engine.FSOUND_Stream_Play(MusicChannel, h));
    EXPECT_FALSE(engine.FSOUND_Stream_Close(h));
    // The last accepted seek is what the position reads, and what the mixer ends up at.
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 100 + 63);
    engine.advance(256);
    EXPECT_TRUE(engine.FSOUND_Stream_Play(MusicChannel, h));
    engine.advance(441);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 173);
}

TEST(EngineQueue, ScheduledStartsBeyondWhatCanWaitAreRefused)
{
    TempDir dir;
    const std::string music = dir.file("music.wav");
    const std::string hit = dir.file("hit.wav");
    ASSERT_TRUE(writeSoundFile(music, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                               test::constant(44100, 1, 0)));
    ASSERT_TRUE(writeSoundFile(hit, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                               test::constant(10, 1, 100)));
    FMod::Options options(AudioDevice::Kind::Manual, 256);
    options.commandCapacity = 2 * Mixer::MaxPending;
    FMod engine(options);
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    const StreamHandle m = engine.FSOUND_Stream_Open(music.c_str(), FSOUND_NORMAL, 0, 0);
    const StreamHandle e = engine.FSOUND_Stream_Open(hit.c_str(), FSOUND_NORMAL, 0, 0);
    for (int i = 0; i < Mixer::MaxPending; ++i)
        ASSERT_TRUE(engine.FSOUND_Stream_PlayAt(0, e, m, 500 + i * 0.1)) << i;
    EXPECT_FALSE(engine.FSOUND_Stream_PlayAt(0, e, m, 900));
    engine.advance(256); // they wait for the music, which does not play
    EXPECT_FALSE(engine.FSOUND_Stream_PlayAt(0, e, m, 900));
    engine.FSOUND_Stream_CancelScheduled(m);
    engine.advance(256);
    EXPECT_TRUE(engine.FSOUND_Stream_PlayAt(0, e, m, 900));
}

// ---- Background decoding -----------------------------------------------------------------

TEST_F(Engine, LongSongIsUsableAtOnceAndReportsProgress)
{
    const std::string path = dir.file("long.flac");
    const int64_t frames = 44100 * 90;
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                               test::noise(frames, 2, 3000, 1)));
    const auto before = std::chrono::steady_clock::now();
    const StreamHandle h = engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0);
    const auto opened = std::chrono::steady_clock::now() - before;
    ASSERT_NE(h, 0);
    EXPECT_EQ(engine.FSOUND_Stream_GetLengthMs(h), 90000); // from the header, at once
    EXPECT_LT(opened, std::chrono::milliseconds(500));
    const double early = engine.decodeProgress(h);
    EXPECT_GE(early, 0.0);
    EXPECT_LE(early, 1.0);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    engine.waitDecoded(h);
    EXPECT_EQ(engine.decodeProgress(h), 1.0);
    mix(44100);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 1000);
    // At most 16 bits a sample: about 10.6 MB a minute of stereo.
    EXPECT_LE(engine.memoryBytes(h), frames * 4 + 200 * 1024);
    EXPECT_GE(engine.memoryBytes(h), frames * 4);
}

TEST_F(Engine, ClosingWhileDecodingIsSafe)
{
    const std::string path = dir.file("long.wav");
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                               test::noise(44100 * 60, 2, 3000, 2)));
    for (int i = 0; i < 5; ++i) {
        const StreamHandle h = engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0);
        ASSERT_NE(h, 0);
        engine.FSOUND_Stream_Play(MusicChannel, h);
        mix(512);
        EXPECT_TRUE(engine.FSOUND_Stream_Close(h));
    }
}

// ---- Real-time output -----------------------------------------------------------------

TEST(RealTimeOutput, WithNoUsableDeviceTheEnginePlaysSilentlyOnItsOwnClock)
{
    const char* before = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = before ? before : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    FMod engine;
    const bool ok = engine.FSOUND_Init(44100, 32, 0);
    if (before)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
    ASSERT_TRUE(ok);
    EXPECT_EQ(engine.deviceInfo().kind, AudioDevice::Kind::Timer);
    EXPECT_TRUE(engine.lastError().contains("No audio device")) << engine.lastError().toStdString();
}

TEST(RealTimeOutput, PositionAdvancesWithTheClockAndNeverGoesBack)
{
    TempDir dir;
    const std::string path = dir.file("song.wav");
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                               test::constant(44100 * 20, 2, 0)));
    FMod engine(FMod::Options{AudioDevice::Kind::Timer, 256});
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    const StreamHandle h = engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0);
    ASSERT_NE(h, 0);
    engine.waitDecoded(h);
    engine.FSOUND_Stream_SetTime(h, 3000);
    engine.FSOUND_Stream_Play(MusicChannel, h);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 3000);
    const auto begin = std::chrono::steady_clock::now();
    double previous = 0;
    while (std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(300)) {
        const double now = engine.streamTimeExact(h);
        ASSERT_GE(now, previous);
        ASSERT_GE(now, 3000);
        previous = now;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    // Moving, and not by more than the time that passed (however loaded the machine).
    const double elapsed =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_GT(previous, 3000);
    EXPECT_LE(previous, 3000 + elapsed + 12);
    // Two moments 20 ms apart map onto positions 20 ms apart. Both lie in the past, where
    // the device's requests have placed the clock: the very present waits at the last frame
    // mixed whenever a request is late, which a loaded machine makes happen.
    const auto now = std::chrono::steady_clock::now() - std::chrono::milliseconds(40);
    const double here = engine.streamTimeAt(h, now);
    const double earlier = engine.streamTimeAt(h, now - std::chrono::milliseconds(20));
    ASSERT_GT(here, 3025);
    EXPECT_NEAR(here - earlier, 20, 0.5);
    EXPECT_TRUE(engine.isPlaying(h));
    engine.FSOUND_Stream_Stop(h);
    EXPECT_EQ(engine.FSOUND_Stream_GetTime(h), 0);
}

} // namespace
} // namespace tavix
