// The metronome and slowed playback in the window, on the fake engine.
#include "CellTiming.h"
#include "FakeServices.h"
#include "Rounding.h"
#include "ShortcutMap.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

// A window whose remembered choices go to a file of its own.
struct ListeningRig : EditorRig
{
    QTemporaryDir settingsDir;
    KE& ke;

    ListeningRig() : ke(make(withSettings(services()))) {}

    EditorServices withSettings(EditorServices s)
    {
        const QString path = settingsDir.filePath(QStringLiteral("settings.ini"));
        s.settings = [path] { return std::make_unique<QSettings>(path, QSettings::IniFormat); };
        return s;
    }

    void playUntil(double musicMs)
    {
        const StreamHandle music = ke.state().MusicStream;
        while (ke.state().IsPlaying && engine.streamTimeExact(music) < musicMs)
            step(1000.0 / 60.0);
    }

    std::vector<std::pair<int32_t, StreamHandle>> clicks() const
    {
        const CellTiming timing = CellTiming::of(kep.BeatRate, ke.state().OffsetVal);
        std::vector<std::pair<int32_t, StreamHandle>> out;
        for (const auto& h : engine.heard)
            if (h.channel == MetronomeChannel)
                out.push_back({timing.soundingCell(int64_t(h.musicMs)), h.effect});
        return out;
    }
};

} // namespace

TEST(Metronome, ClicksOnEveryBeatHigherOnEveryMeasureAtTheCellsInstants)
{
    ListeningRig rig;
    ASSERT_TRUE(rig.openSong("/music/song.ogg", 20000));
    EXPECT_EQ(rig.ke.listeningLabel().text(), QStringLiteral("Speed 100%\nMetronome off"));
    rig.ke.toggleMetronome();
    EXPECT_EQ(rig.ke.listeningLabel().text(), QStringLiteral("Speed 100%\nMetronome on"));
    rig.ke.buttonClick(0);
    rig.playUntil(5000);
    const auto [beat, measure] = rig.ke.state().MetronomeSounds;
    const CellTiming timing = CellTiming::of(rig.kep.BeatRate, rig.ke.state().OffsetVal);
    std::vector<std::pair<int32_t, StreamHandle>> expected;
    for (int32_t c = 0; timing.firstMusicMs(c) && *timing.firstMusicMs(c) <= 5000; c += 4)
        expected.push_back({c, c % 16 == 0 ? measure : beat});
    EXPECT_EQ(rig.clicks(), expected);
    for (const auto& h : rig.engine.heard) {
        if (h.channel == MetronomeChannel) {
            const int32_t cell = timing.soundingCell(int64_t(h.musicMs));
            // The cell under the start sounds with the music's first frame.
            EXPECT_EQ(h.musicMs, std::max(0.0, double(*timing.firstMusicMs(cell))));
        }
    }
    EXPECT_NE(beat, measure);

    // Switched off while playing: what is queued is taken back, nothing more clicks.
    rig.ke.toggleMetronome();
    const size_t clicksAtOff = rig.clicks().size();
    rig.playUntil(9000);
    EXPECT_EQ(rig.clicks().size(), clicksAtOff);
}

TEST(Metronome, TheChoiceIsRememberedAndMIsItsKey)
{
    ListeningRig rig;
    rig.ke.toggleMetronome();
    EXPECT_TRUE(rig.ke.state().metronome);
    EXPECT_TRUE(rig.withSettings({rig.engine, rig.chooser, rig.clipboard, rig.messages})
                    .settings()
                    ->value(QStringLiteral("playback/metronome"))
                    .toBool());
    // A window made later starts with it on.
    KeP kep;
    KE second(kep, rig.withSettings(rig.services()));
    EXPECT_TRUE(second.state().metronome);

    std::vector<QKeySequence> keys;
    for (const Command command : {Command::Metronome, Command::Slower, Command::Faster})
        for (const QKeySequence& key : ShortcutMap::info(command).defaults)
            keys.push_back(key);
    for (const char* key : {"M", "[", "]"})
        EXPECT_NE(std::find(keys.begin(), keys.end(), QKeySequence(QString::fromLatin1(key))),
                  keys.end())
            << key;
}

TEST(PlaybackRate, StepsThroughTheRatesAndGoesToTheSongOpenedLater)
{
    ListeningRig rig;
    rig.ke.slowerPlayback();
    rig.ke.slowerPlayback();
    rig.ke.slowerPlayback();
    rig.ke.slowerPlayback(); // no lower than 25%
    EXPECT_EQ(rig.ke.state().ratePercent, 25);
    rig.ke.fasterPlayback();
    EXPECT_EQ(rig.ke.state().ratePercent, 50);
    EXPECT_EQ(rig.ke.listeningLabel().text(), QStringLiteral("Speed 50%\nMetronome off"));
    ASSERT_TRUE(rig.openSong("/music/song.ogg", 20000));
    EXPECT_EQ(rig.engine.playbackRate(rig.ke.state().MusicStream), 50);
}

TEST(PlaybackRate, AtHalfSpeedCountersFollowSongTimeAndPressesLandInTheirCell)
{
    ListeningRig rig;
    ASSERT_TRUE(rig.openSong("/music/song.ogg", 20000));
    rig.ke.setPlaybackRate(50);
    rig.ke.buttonClick(0);
    for (int i = 0; i < 120; ++i) // two seconds of the clock: one second of the song
        rig.step(1000.0 / 60.0);
    const double songMs = rig.engine.streamTimeExact(rig.ke.state().MusicStream);
    EXPECT_NEAR(songMs, 1000.0, 1.0);
    EXPECT_EQ(rig.ke.state().PlayMs, nearestInt32(rig.ke.LeadMs() + songMs));
    // Pressed 100 ms of the clock before the pass that sees it: 50 ms of the song earlier.
    rig.keys->press(0x49, rig.engine.now - std::chrono::milliseconds(100));
    rig.ke.playbackPass();
    const int32_t cell = rig.kep.MsToBeatHalf(nearestInt32(rig.ke.LeadMs() + songMs - 50.0));
    EXPECT_TRUE(rig.kep.isSet(cell, 4));
}
