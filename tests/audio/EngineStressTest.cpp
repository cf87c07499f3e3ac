// The engine's calls in random order, with a fixed seed, while the mixer runs flat out on
// its own thread. Run under ThreadSanitizer it shows that the two threads share nothing
// unguarded; in every build, that positions stay within their streams and that closed
// streams are freed once the audio thread has let go of them.
#include "FMod.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

namespace tavix {
namespace {

using Clock = std::chrono::steady_clock;

TEST(EngineStress, RandomCallsWhileTheMixerRunsFlatOut)
{
    test::TempDir dir;
    const std::vector<std::string> songs{dir.file("a.wav"), dir.file("b48k.wav"),
                                         dir.file("long.flac")};
    ASSERT_TRUE(test::writeSoundFile(songs[0], SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                                     test::noise(44100, 2, 8000, 1)));
    ASSERT_TRUE(test::writeSoundFile(songs[1], SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000,
                                     test::noise(30000, 1, 8000, 2)));
    ASSERT_TRUE(test::writeSoundFile(songs[2], SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                                     test::noise(int64_t{44100} * 20, 2, 8000, 3)));
    const std::string clipPath = dir.file("clip.wav");
    ASSERT_TRUE(test::writeSoundFile(clipPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                                     test::noise(2000, 1, 20000, 4)));
    const auto clip = test::readBytes(clipPath);

    FMod engine(FMod::Options{AudioDevice::Kind::FreeRun, 128});
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    std::mt19937 random(20240611);
    auto below = [&random](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    std::vector<StreamHandle> music;
    std::vector<StreamHandle> effects;
    // Any handle, now and then one that is closed or was never opened.
    auto anyHandle = [&]() -> StreamHandle {
        const int pick = below(10);
        if (pick == 0 || (music.empty() && effects.empty()))
            return below(3) == 0 ? 0 : 1000 + below(50);
        if ((pick % 2 == 0 && !music.empty()) || effects.empty())
            return music[static_cast<size_t>(below(static_cast<int>(music.size())))];
        return effects[static_cast<size_t>(below(static_cast<int>(effects.size())))];
    };

    int64_t calls = 0;
    int opened = 0;
    int closed = 0;
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < until) {
        ++calls;
        // Opening and closing (each starts or joins a decoding thread) far less often than
        // the calls made while playing: 2% open a song, 2% a clip, 3% close, 10% each play,
        // stop and seek, 25% schedule, 5% cancel, 2% change the playback rate (a feeder
        // thread each), the rest read.
        const int op = below(100);
        const int call = op < 2    ? 0
                         : op < 4  ? 1
                         : op < 7  ? 2
                         : op < 17 ? 3
                         : op < 27 ? 4
                         : op < 37 ? 5
                         : op < 62 ? 6
                         : op < 67 ? 8
                         : op < 69 ? 7
                                   : 9;
        switch (call) {
        case 0:
            if (music.size() < 4) {
                const std::string& path = songs[static_cast<size_t>(below(3))];
                if (const StreamHandle h =
                        engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0)) {
                    music.push_back(h);
                    ++opened;
                }
                break;
            }
            [[fallthrough]];
        case 1:
            if (effects.size() < 16) {
                if (const StreamHandle h = engine.FSOUND_Stream_Open(
                        reinterpret_cast<const char*>(clip.data()), FSOUND_MEMORY_MODE, 0,
                        static_cast<int>(clip.size()))) {
                    effects.push_back(h);
                    ++opened;
                }
                break;
            }
            [[fallthrough]];
        case 2: {
            auto& list = below(2) == 0 && !music.empty() ? music : effects;
            if (list.empty())
                break;
            const size_t i = static_cast<size_t>(below(static_cast<int>(list.size())));
            EXPECT_TRUE(engine.FSOUND_Stream_Close(list[i])) << engine.lastError().toStdString();
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            ++closed;
            break;
        }
        case 3:
            engine.FSOUND_Stream_Play(below(34) - 1, anyHandle());
            break;
        case 4:
            engine.FSOUND_Stream_Stop(anyHandle());
            break;
        case 5:
            engine.FSOUND_Stream_SetTime(anyHandle(), below(25000) - 500);
            break;
        case 6:
            engine.FSOUND_Stream_PlayAt(below(17), anyHandle(), anyHandle(),
                                        below(20000) + below(1000) / 1000.0);
            break;
        case 7:
            engine.setPlaybackRate(anyHandle(), 25 * (1 + below(4)));
            break;
        case 8:
            engine.FSOUND_Stream_CancelScheduled(anyHandle());
            break;
        default: {
            const StreamHandle h = anyHandle();
            const double length = engine.FSOUND_Stream_GetLengthMs(h);
            const double at = engine.streamTimeAt(h, Clock::now() - std::chrono::milliseconds(3));
            const double now = engine.streamTimeExact(h);
            const int32_t whole = engine.FSOUND_Stream_GetTime(h);
            engine.isPlaying(h);
            engine.decodeProgress(h);
            ASSERT_GE(at, 0.0);
            ASSERT_LE(now, length + 0.5) << h;
            ASSERT_LE(whole, length + 0.5) << h;
            break;
        }
        }
    }
    std::printf("%lld calls, %d opens, %d closes, %lld frames mixed\n",
                static_cast<long long>(calls), opened, closed,
                static_cast<long long>(engine.framesMixed()));
    EXPECT_GT(calls, 500);
    EXPECT_GT(opened, 5);
    EXPECT_GT(closed, 3);
    EXPECT_GT(engine.framesMixed(), 44100); // the mixer ran all along
    // Once the audio thread has seen the last close, the next call frees what it let go.
    for (StreamHandle h : music)
        engine.FSOUND_Stream_Close(h);
    const int64_t mixedAtClose = engine.framesMixed();
    while (engine.framesMixed() < mixedAtClose + 1024)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    engine.decodeProgress(0);
    EXPECT_EQ(engine.streamsAwaitingRelease(), 0u);
    engine.FSOUND_Close();
}

} // namespace
} // namespace tavix
