// Pausing and resuming the window's playback on the real engine, its sound written by SDL's
// disk driver at the pace of real time: every keyed cell is heard exactly once, in a loop
// once a pass.
#include "ChartEdit.h"
#include "FMod.h"
#include "FakeServices.h"
#include "KeyboardCharting.h"
#include "support/DiskCapture.h"

#include <QTest>

#include <memory>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

// An 8 s song played on the real engine through SDL's disk driver, in blocks of 93 ms
// written about as fast as they would be heard: a pause finds up to a block mixed that the
// listener has not heard yet. Window passes come 33 ms apart, so hits must be queued a
// block and more ahead.
struct DiskRig
{
    QTemporaryDir dir;
    QString capture = dir.filePath(QStringLiteral("out.raw"));
    QString song = dir.filePath(QStringLiteral("song.wav"));
    std::unique_ptr<FMod> engine;
    KeP kep;
    FakeFileChooser chooser;
    FakeClipboard clipboard;
    FakeMessages messages;
    QTemporaryDir settings;
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>();

    bool start()
    {
        if (!writeMarkedSong(song, 8.0))
            return false;
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", capture.toLocal8Bit());
        qputenv("SDL_DISKAUDIODELAY", "93");
        engine = std::make_unique<FMod>(FMod::Options{AudioDevice::Kind::Sdl, 4096});
        return engine->FSOUND_Init(44100, 32, 0) && engine->deviceInfo().driver == "disk";
    }

    EditorServices services()
    {
        EditorServices s{*engine, chooser, clipboard, messages};
        s.keySource = [k = keys] { return std::make_unique<FakeKeySource>(k); };
        s.frameHz = 30.0;
        s.settings = [this] {
            return std::make_unique<QSettings>(settings.filePath(QStringLiteral("tavix.ini")),
                                               QSettings::IniFormat);
        };
        return s;
    }

    // Opens the song in the window and waits until it is decoded.
    bool open(KE& ke)
    {
        chooser.answerWith(song);
        ke.buttonClick(8);
        if (ke.state().MusicStream == 0)
            return false;
        engine->waitDecoded(ke.state().MusicStream);
        return true;
    }
};

} // namespace

TEST(PauseOnDisk, EveryKeyedCellSoundsOnceThroughManyPauses)
{
    DiskRig rig;
    ASSERT_TRUE(rig.start());
    EditorServices services = rig.services();
    KeP& kep = rig.kep;
    int keyed = 0;
    {
        KE ke(kep, services);
        ASSERT_TRUE(rig.open(ke));
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

    const Capture out = loadCapture(rig.capture);
    ASSERT_GT(out.frames(), CaptureRate * 8);
    EXPECT_EQ(findOnsets(out).size(), size_t(keyed));
}

TEST(PauseOnDisk, ALoopsKeySoundsOncePerPassThroughPauses)
{
    DiskRig rig;
    ASSERT_TRUE(rig.start());
    EditorServices services = rig.services();
    // One key in a loop of four cells (600 ms at 100 BPM): a key sounded twice in a pass
    // shows as two onsets closer than the loop.
    const double loopMs = 600.0;
    {
        KE ke(rig.kep, services);
        ASSERT_TRUE(rig.open(ke));
        ChartEdit(rig.kep).set(KeP::flatIndex(10, 2), 1);
        ke.charting().cursorKeys().placeCursor(8);
        for (int i = 0; i < 4; ++i)
            ke.charting().run(Command::SelectOn);
        ke.charting().run(Command::Loop);
        ASSERT_TRUE(ke.session().loopCells());
        ASSERT_EQ(ke.session().loopCells()->last, 11);
        ke.buttonClick(0);
        for (int pause = 0; pause < 12; ++pause) {
            QTest::qWait(170 + 53 * (pause % 4));
            ke.buttonClick(0); // pause
            QTest::qWait(60);
            ke.buttonClick(0); // resume
        }
        ke.buttonClick(0);
    }

    const std::vector<int64_t> onsets = findOnsets(loadCapture(rig.capture));
    ASSERT_GE(onsets.size(), 3u);
    // Neither twice in a pass nor a pass without it (a pause adds a little to a pass).
    for (size_t i = 1; i < onsets.size(); ++i) {
        const double gapMs = double(onsets[i] - onsets[i - 1]) * 1000.0 / CaptureRate;
        EXPECT_GT(gapMs, 0.9 * loopMs) << "onset " << i;
        EXPECT_LT(gapMs, 1.9 * loopMs) << "onset " << i;
    }
}
