// Pausing and resuming the window's playback on the real engine, its sound written by SDL's
// disk driver at the pace of real time: every keyed cell is heard exactly once.
#include "ChartEdit.h"
#include "FMod.h"
#include "FakeServices.h"
#include "support/DiskCapture.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

TEST(PauseOnDisk, EveryKeyedCellSoundsOnceThroughManyPauses)
{
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("out.raw"));
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(writeMarkedSong(song, 8.0));
    // Blocks of 93 ms, written about as fast as they would be heard: a pause finds up to a
    // block mixed that the listener has not heard yet.
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", capture.toLocal8Bit());
    qputenv("SDL_DISKAUDIODELAY", "93");
    FMod engine(FMod::Options{AudioDevice::Kind::Sdl, 4096});
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    ASSERT_EQ(engine.deviceInfo().driver, "disk");

    KeP kep;
    FakeFileChooser chooser;
    FakeClipboard clipboard;
    FakeMessages messages;
    QTemporaryDir settings;
    EditorServices services{engine, chooser, clipboard, messages};
    auto keys = std::make_shared<FakeKeys>();
    services.keySource = [keys] { return std::make_unique<FakeKeySource>(keys); };
    services.frameHz = 30.0; // passes 33 ms apart: hits must be queued a block and more ahead
    services.settings = [&] {
        return std::make_unique<QSettings>(settings.filePath(QStringLiteral("tavix.ini")),
                                           QSettings::IniFormat);
    };
    int keyed = 0;
    {
        KE ke(kep, services);
        chooser.answerWith(song);
        ke.buttonClick(8);
        ASSERT_NE(ke.state().MusicStream, 0);
        engine.waitDecoded(ke.state().MusicStream);
        // A key in every cell but the first and last few (150 ms apart at 100 BPM).
        for (int32_t c = 3; c < kep.TotalBeats - 3; ++c, ++keyed)
            ChartEdit(kep).set(KeP::flatIndex(c, 2), 1);

        ke.buttonClick(0);
        for (int pause = 0; pause < 24 && ke.state().IsPlaying; ++pause) {
            QTest::qWait(150 + 37 * (pause % 5));
            ke.buttonClick(0); // pause
            QTest::qWait(60);
            ke.buttonClick(0); // resume
        }
        while (ke.state().IsPlaying)
            QTest::qWait(20);
    } // the window closes the engine, which finishes the capture

    const Capture out = loadCapture(capture);
    ASSERT_GT(out.frames(), CaptureRate * 8);
    EXPECT_EQ(findOnsets(out).size(), size_t(keyed));
}
