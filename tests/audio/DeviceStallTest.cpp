// A device that stops asking for sound: SDL's disk driver told to wait four seconds
// between its requests stands in for one whose driver hangs.
#include "FMod.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace tavix {
namespace {

using namespace std::chrono_literals;

TEST(DeviceStall, AStoppedDeviceIsReportedAndReplacedAndClosedStreamsAreFreed)
{
    test::TempDir dir;
    const std::string clipPath = dir.file("clip.wav");
    ASSERT_TRUE(test::writeSoundFile(clipPath, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100,
                                     test::constant(441, 1, 1000)));
    const auto clip = test::readBytes(clipPath);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.file("out.raw").c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "4000", 1);

    FMod::Options options(AudioDevice::Kind::Sdl, 256);
    options.commandCapacity = 256;
    FMod engine(options);
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    ASSERT_EQ(engine.deviceInfo().driver, "disk");
    const auto open = [&] {
        return engine.FSOUND_Stream_Open(reinterpret_cast<const char*>(clip.data()),
                                         FSOUND_MEMORY_MODE, 0, static_cast<int>(clip.size()));
    };
    const StreamHandle music = open();
    ASSERT_NE(music, 0);
    ASSERT_TRUE(engine.FSOUND_Stream_Play(MusicChannel, music));

    // The editor's pace of calls for three seconds: about 120 commands a second, which
    // fill the queue in about two if nothing takes them.
    int failed = 0;
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < until) {
        const StreamHandle h = open();
        failed += h == 0;
        failed += h != 0 && !engine.FSOUND_Stream_Close(h);
        engine.FSOUND_Stream_GetTime(music);
        std::this_thread::sleep_for(16ms);
    }
    EXPECT_EQ(failed, 0) << engine.lastError().toStdString();
    EXPECT_GE(engine.deviceRestarts(), 1);
    EXPECT_TRUE(engine.lastError().contains(QStringLiteral("stopped")))
        << engine.lastError().toStdString();
    // What was closed is freed once its commands are carried out.
    std::this_thread::sleep_for(100ms);
    engine.FSOUND_Stream_GetTime(music);
    engine.decodeProgress(music);
    EXPECT_LE(engine.streamsAwaitingRelease(), 1u);
}

} // namespace
} // namespace tavix
