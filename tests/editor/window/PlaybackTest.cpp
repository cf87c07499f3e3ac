// Music, playback, hit sounds and live recording, on a fake engine whose clock the test
// moves.
#include "CellTiming.h"
#include "ChartEdit.h"
#include "FakeServices.h"
#include "KeyCanvas.h"
#include "NumberReading.h"
#include "Rounding.h"
#include "TavixKey.h"
#include "WindowKeySource.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;
using namespace std::chrono_literals;

namespace {

constexpr uint8_t Kp7 = 0x47, Kp4 = 0x4B, Kp1 = 0x4F, Kp9 = 0x49, Kp6 = 0x4D, Kp3 = 0x51,
                  Kp5 = 0x4C, Kp0 = 0x52;

std::chrono::steady_clock::duration msDuration(double ms)
{
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(ms));
}

// The cells whose flags are set, as (cell, row) pairs.
std::vector<std::pair<int32_t, int>> setCells(const KeP& kep)
{
    std::vector<std::pair<int32_t, int>> cells;
    for (int32_t c = 0; c < kep.TotalBeats; ++c)
        for (int r = 1; r <= 7; ++r)
            if (kep.at(c, r) != 0)
                cells.push_back({c, r});
    return cells;
}

// The instants at which a loop polling every millisecond from `from` would start cells.
std::map<int32_t, int64_t> idealInstants(const CellTiming& timing, int64_t from, int64_t to,
                                         int32_t total, int32_t last)
{
    std::map<int32_t, int64_t> instants;
    for (int64_t t = from; t <= to; ++t) {
        const int32_t c = timing.soundingCell(t);
        if (c >= 0 && c < total && c != last) {
            instants[c] = t;
            last = c;
        }
    }
    return instants;
}

struct PlaybackRig : EditorRig
{
    KE& ke;
    explicit PlaybackRig(double hz = 60.0) : ke(make(QStringLiteral("tavix-editor"), hz)) {}

    void open(int32_t lengthMs, const std::string& path = "/music/song.ogg")
    {
        ASSERT_TRUE(openSong(path, lengthMs));
    }

    // Plays until the position passes `musicMs`, one pass per tick.
    // Stops early when playback ends or the music has played to its end.
    void playUntil(double musicMs, double tickMs = 1000.0 / 60.0)
    {
        const StreamHandle music = ke.state().MusicStream;
        while (ke.state().IsPlaying && engine.isPlaying(music) &&
               engine.streamTimeExact(music) < musicMs)
            step(tickMs);
    }
};

} // namespace

// --- Opening music

TEST(OpenMusic, DialogSettings)
{
    PlaybackRig rig;
    rig.chooser.answerCancel();
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    const FileChooserRequest& r = rig.chooser.requests[0];
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.owner, &rig.ke);
    EXPECT_EQ(r.title, QStringLiteral("Open FIle"));
    EXPECT_EQ(r.initDir, rig.programDir.path());
    EXPECT_EQ(r.descriptions, (QStringList{QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav)"),
                                           QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(r.patterns,
              (QStringList{QStringLiteral("*.Ogg;*.Mp3;*.Wav"), QStringLiteral("*.*")}));
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(r.fileMustExist);
}

TEST(OpenMusic, CancelChangesNothingAndSaysNothing)
{
    PlaybackRig rig;
    rig.chooser.answerCancel();
    const auto logBefore = rig.engine.log;
    rig.ke.buttonClick(8);
    EXPECT_EQ(rig.engine.log, logBefore);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.ke.state().MusicStream, 0);
    EXPECT_FALSE(rig.ke.state().LoopRunning);
}

TEST(OpenMusic, SizesTheChartAndSetsTheCounters)
{
    PlaybackRig rig;
    rig.open(60000);
    const EditorState& s = rig.ke.state();
    EXPECT_EQ(rig.engine.countLog("Open /music/song.ogg 0x130"), 1);
    EXPECT_NE(s.MusicStream, 0);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("song.ogg"));
    EXPECT_EQ(s.SongLenMs, 60000);
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.kep.TotalBeats, 400);
    EXPECT_EQ(rig.kep.KeyGrid.size(), 2801u);
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:00/1:00"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0400"));
    EXPECT_EQ(rig.ke.TimeSet().maximum(), 600);
    EXPECT_EQ(rig.ke.TimeSet().value(), 0);
    EXPECT_EQ(s.CursorMs, 0);
    ASSERT_TRUE(rig.ke.hasRenderer());
    EXPECT_TRUE(rig.ke.renderer().Inited());
    EXPECT_TRUE(s.LoopRunning);
    EXPECT_TRUE(rig.messages.shown.empty());
    // The chart is drawn.
    EXPECT_FALSE(rig.ke.Picture1().shownFrame().isNull());
}

TEST(OpenMusic, AShorterSongCutsTheChartAfterOpeningIt)
{
    PlaybackRig rig;
    rig.open(60000, "/music/long.ogg");
    const StreamHandle first = rig.ke.state().MusicStream;
    ChartEdit(rig.kep).set(KeP::flatIndex(10, 2), 1);
    ChartEdit(rig.kep).set(KeP::flatIndex(399, 6), 1);
    rig.engine.log.clear();
    rig.open(30000, "/music/short.ogg");
    EXPECT_EQ(rig.kep.TotalBeats, 200);
    EXPECT_EQ(rig.kep.KeyGrid.size(), 1401u);
    EXPECT_EQ(rig.kep.at(10, 2), 1);
    EXPECT_EQ(setCells(rig.kep).size(), 1u);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0200"));
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:00/0:30"));
    // The new song is opened first, the old one closed only then.
    ASSERT_GE(rig.engine.log.size(), 2u);
    EXPECT_EQ(rig.engine.log[0], "Open /music/short.ogg 0x130");
    EXPECT_EQ(rig.engine.log[1], "Close " + std::to_string(first));
}

TEST(OpenMusic, TempoZeroEmptiesTheChart)
{
    PlaybackRig rig;
    rig.open(60000);
    ChartEdit(rig.kep).set(8, 1);
    rig.ke.sBpm().setText(QStringLiteral("0"));
    rig.open(60000, "/music/other.ogg");
    EXPECT_EQ(rig.kep.TotalBeats, 0);
    EXPECT_EQ(rig.kep.KeyGrid.size(), 1u);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0000"));
}

TEST(OpenMusic, ASongThatCannotBeOpenedLeavesEverythingWithAMessage)
{
    PlaybackRig rig;
    rig.open(60000, "/music/good.ogg");
    ChartEdit(rig.kep).set(KeP::flatIndex(3, 1), 1);
    const auto grid = rig.kep.KeyGrid;
    const StreamHandle music = rig.ke.state().MusicStream;
    rig.engine.log.clear();

    rig.chooser.answerWith(QStringLiteral("/music/missing.ogg"));
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].warning);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("missing.ogg")));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("No such file")));
    EXPECT_EQ(rig.ke.state().MusicStream, music);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("good.ogg"));
    EXPECT_EQ(rig.ke.state().SongLenMs, 60000);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0400"));
    EXPECT_EQ(rig.engine.countLog("Close"), 0);
    // The old song still plays.
    rig.ke.buttonClick(0);
    EXPECT_TRUE(rig.ke.state().IsPlaying);
    EXPECT_EQ(rig.engine.countLog("Play 16 " + std::to_string(music)), 1);
}

TEST(OpenMusic, ATempoThatIsNotANumberLeavesEverythingWithAMessage)
{
    PlaybackRig rig;
    rig.open(60000, "/music/good.ogg");
    const StreamHandle music = rig.ke.state().MusicStream;
    const float rate = rig.kep.BeatRate;
    rig.ke.sBpm().setText(QStringLiteral("fast"));
    rig.engine.songs["/music/next.ogg"] = 20000;
    rig.chooser.answerWith(QStringLiteral("/music/next.ogg"));
    rig.engine.log.clear();
    rig.ke.buttonClick(8);
    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("next.ogg")));
    EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("\"fast\"")));
    // The new stream was opened to be checked, then let go; the old one is untouched.
    ASSERT_EQ(rig.engine.log.size(), 2u);
    EXPECT_EQ(rig.engine.log[0], "Open /music/next.ogg 0x130");
    EXPECT_NE(rig.engine.log[1], "Close " + std::to_string(music));
    EXPECT_EQ(rig.ke.state().MusicStream, music);
    EXPECT_EQ(rig.ke.MSeteD().text(), QStringLiteral("good.ogg"));
    EXPECT_EQ(rig.ke.state().SongLenMs, 60000);
    EXPECT_EQ(rig.kep.BeatRate, rate);
    EXPECT_EQ(rig.kep.TotalBeats, 400);
}

TEST(OpenMusic, LongSongsBeyondSixteenBitsOfTimeBar)
{
    PlaybackRig rig;
    rig.open(4'000'000);
    EXPECT_EQ(rig.ke.TimeSet().maximum(), 40000);
    rig.ke.TimeSet().setValue(39000);
    EXPECT_EQ(rig.ke.TimeSet().value(), 39000);
    EXPECT_EQ(rig.kep.TotalBeats, 26667);
}

TEST(OpenMusic, ProgressShownWhileTheSongDecodes)
{
    PlaybackRig rig;
    rig.engine.songs["/music/slow.ogg"] = 60000;
    rig.chooser.answerWith(QStringLiteral("/music/slow.ogg"));
    rig.ke.buttonClick(8);
    const StreamHandle music = rig.ke.state().MusicStream;
    ASSERT_NE(music, 0);
    EXPECT_TRUE(rig.ke.decodeBar().isHidden()); // decoded at once

    rig.engine.songs["/music/big.ogg"] = 60000;
    rig.chooser.answerWith(QStringLiteral("/music/big.ogg"));
    rig.engine.songProgress["/music/big.ogg"] = 0.4;
    rig.ke.buttonClick(8);
    const StreamHandle next = rig.ke.state().MusicStream;
    ASSERT_NE(next, music);
    EXPECT_FALSE(rig.ke.decodeBar().isHidden());
    EXPECT_EQ(rig.ke.decodeBar().value(), 400);
    // The chart is drawn meanwhile.
    EXPECT_TRUE(rig.ke.runPendingFrame());
    EXPECT_EQ(rig.kep.TotalBeats, 400);
    rig.engine.streams[next].decodeProgress = 0.7;
    QTest::qWait(250);
    EXPECT_EQ(rig.ke.decodeBar().value(), 700);
    rig.engine.streams[next].decodeProgress = 1.0;
    QTest::qWait(250);
    EXPECT_TRUE(rig.ke.decodeBar().isHidden());
}

TEST(OpenMusic, ALengthKnownOnlyWhenDecodingEndsResizesTheChartAndTheBar)
{
    PlaybackRig rig;
    // A truncated song whose header tells nothing, then a song whose estimate was long.
    struct Song
    {
        std::string path;
        int32_t estimateMs, realMs, cells;
        QString length;
    };
    for (const Song& song : {Song{"/music/cut.ogg", 0, 3200, 21, QStringLiteral("0:03")},
                             Song{"/music/vbr.mp3", 61000, 59000, 393, QStringLiteral("0:59")}}) {
        SCOPED_TRACE(song.path);
        rig.engine.songs[song.path] = song.realMs;
        rig.engine.songLengthWhileDecoding[song.path] = song.estimateMs;
        rig.engine.songProgress[song.path] = 0.2;
        rig.chooser.answerWith(QString::fromStdString(song.path));
        rig.ke.buttonClick(8);
        const StreamHandle music = rig.ke.state().MusicStream;
        ASSERT_NE(music, 0);
        EXPECT_EQ(rig.ke.state().SongLenMs, song.estimateMs);
        rig.engine.streams[music].decodeProgress = 1.0;
        // The window looks at the decoding ten times a second.
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.ke.state().SongLenMs == song.realMs; }, 5000));
        EXPECT_EQ(rig.kep.TotalBeats, song.cells);
        EXPECT_EQ(rig.ke.TimeSet().maximum(), song.realMs / 100);
        EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:00/") + song.length);
        EXPECT_EQ(rig.ke.cBeat().text(),
                  QStringLiteral("0000/%1").arg(song.cells, 4, 10, QLatin1Char('0')));
    }
}

// --- Counters, pause, resume, stop

TEST(Playback, CountersRunTwentyEightMsAheadAtHundredBpm)
{
    PlaybackRig rig;
    rig.open(60000);
    rig.ke.buttonClick(0);
    const EditorState& s = rig.ke.state();
    ASSERT_TRUE(s.IsPlaying);
    EXPECT_EQ(s.PlayMs, 28); // the first pass ran at once
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:00/1:00"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0400"));
    rig.step(1000);
    EXPECT_EQ(s.PlayMs, 1028);
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:01/1:00"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0006/0400"));
    rig.step(1000 * 60 - 1000 - 100);
    EXPECT_EQ(s.PlayMs, 59928);
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:59/1:00"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0399/0400"));
}

TEST(Playback, LeadAtOtherOffsets)
{
    for (const auto& [offset, expected] : std::vector<std::pair<QString, int32_t>>{
             {QStringLiteral("1.4"), 5000}, {QStringLiteral("2"), 4976}}) {
        PlaybackRig rig;
        rig.open(60000);
        rig.ke.sOff().setText(offset);
        rig.ke.commitOffset();
        rig.ke.buttonClick(0);
        rig.step(5000);
        EXPECT_EQ(rig.ke.state().PlayMs, expected) << offset.toStdString();
        EXPECT_NEAR(rig.ke.LeadMs(), double(expected - 5000), 1e-3);
    }
}

TEST(Playback, StartShowsPauseAndDisablesOpening)
{
    PlaybackRig rig;
    rig.open(60000);
    rig.ke.buttonClick(0);
    EXPECT_EQ(rig.ke.NeC1(0).toolTip(), QStringLiteral("暫停"));
    EXPECT_EQ(rig.ke.NeC1(0).picture().toImage(), rig.ke.iC(1).pixmap().toImage());
    EXPECT_EQ(rig.engine.countLog("Play 16"), 1);
    EXPECT_TRUE(rig.ke.frameTickActive());
    EXPECT_FALSE(rig.ke.NeC1(8).isEnabled());
    EXPECT_FALSE(rig.ke.NeC1(9).isEnabled());
}

TEST(Playback, PauseStoresTheChartPositionAndResumeSeeksBehindIt)
{
    PlaybackRig rig;
    rig.open(60000);
    const StreamHandle music = rig.ke.state().MusicStream;
    rig.ke.buttonClick(0);
    rig.step(5000);
    rig.engine.log.clear();
    rig.ke.buttonClick(0);
    const EditorState& s = rig.ke.state();
    EXPECT_TRUE(s.IsPlaying);
    EXPECT_TRUE(s.IsPaused);
    EXPECT_EQ(s.CursorMs, 5028);
    EXPECT_EQ(rig.engine.countLog("Stop " + std::to_string(music)), 1);
    EXPECT_EQ(rig.ke.NeC1(0).toolTip(), QStringLiteral("播放"));
    EXPECT_EQ(rig.ke.NeC1(0).picture().toImage(), rig.ke.iC(0).pixmap().toImage());
    EXPECT_FALSE(rig.ke.frameTickActive());

    // While paused the counters stand still.
    const QString shown = rig.ke.cBeat().text();
    rig.step(2000);
    EXPECT_EQ(rig.ke.cBeat().text(), shown);

    rig.engine.log.clear();
    rig.ke.buttonClick(0);
    EXPECT_FALSE(s.IsPaused);
    EXPECT_EQ(rig.engine.log[0], "SetTime " + std::to_string(music) + " 5000");
    EXPECT_EQ(rig.engine.log[1], "Play 16 " + std::to_string(music));
    EXPECT_EQ(rig.ke.NeC1(0).toolTip(), QStringLiteral("暫停"));
    EXPECT_TRUE(rig.ke.frameTickActive());
    rig.step(100);
    EXPECT_EQ(s.PlayMs, 5128);
}

TEST(Playback, ResumeFollowsACursorMovedWhilePaused)
{
    PlaybackRig rig;
    rig.open(60000);
    const StreamHandle music = rig.ke.state().MusicStream;
    rig.ke.buttonClick(0);
    rig.step(3000);
    rig.ke.buttonClick(0);
    rig.ke.moveCursorTo(20028); // where a click on the canvas puts it
    rig.engine.log.clear();
    rig.ke.buttonClick(0);
    EXPECT_EQ(rig.engine.log[0], "SetTime " + std::to_string(music) + " 20000");
    EXPECT_EQ(rig.ke.state().PlayMs, 20028);
}

TEST(Playback, StopResetsTheCursorAndCounters)
{
    PlaybackRig rig;
    rig.open(60000);
    rig.ke.buttonClick(0);
    rig.step(7000);
    rig.ke.buttonClick(0); // paused
    rig.ke.buttonClick(1);
    const EditorState& s = rig.ke.state();
    EXPECT_FALSE(s.IsPlaying);
    EXPECT_FALSE(s.IsPaused);
    EXPECT_EQ(s.CursorMs, 0);
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:00/1:00"));
    EXPECT_EQ(rig.ke.cBeat().text(), QStringLiteral("0000/0400"));
    EXPECT_EQ(rig.ke.NeC1(0).toolTip(), QStringLiteral("播放"));
    EXPECT_TRUE(rig.ke.NeC1(8).isEnabled());
    EXPECT_FALSE(rig.ke.frameTickActive());
    // Stop when stopped does nothing.
    rig.engine.log.clear();
    rig.ke.buttonClick(1);
    EXPECT_TRUE(rig.engine.log.empty());
}

TEST(Playback, EndOfTheSongEndsPlayback)
{
    PlaybackRig rig;
    rig.open(3000);
    rig.ke.buttonClick(0);
    rig.playUntil(3100);
    const EditorState& s = rig.ke.state();
    EXPECT_FALSE(s.IsPlaying);
    EXPECT_GE(s.PlayMs, 3000);
    EXPECT_TRUE(rig.ke.NeC1(8).isEnabled());
    EXPECT_TRUE(rig.ke.NeC1(9).isEnabled());
    EXPECT_EQ(rig.ke.NeC1(0).toolTip(), QStringLiteral("播放"));
    EXPECT_EQ(rig.ke.NeC1(0).picture().toImage(), rig.ke.iC(0).pixmap().toImage());
    EXPECT_FALSE(rig.ke.frameTickActive());
    // The counters keep the last position shown; the cursor is where it was.
    EXPECT_EQ(rig.ke.cPos().text(), QStringLiteral("0:03/0:03"));
    EXPECT_EQ(s.CursorMs, 0);
    // The song plays on to its end; playing again then starts from the beginning.
    rig.engine.advance(100);
    rig.ke.buttonClick(0);
    EXPECT_TRUE(s.IsPlaying);
    EXPECT_EQ(s.PlayMs, 28);
}

TEST(Playback, EndingWhilePausedLeavesNothingPaused)
{
    PlaybackRig rig;
    rig.open(3000);
    const EditorState& s = rig.ke.state();
    rig.ke.buttonClick(0);
    rig.step(1000);
    rig.ke.buttonClick(0); // paused
    // A click outside the rows with the view at the end puts the cursor past the song,
    // and the next pass ends playback.
    rig.ke.TimeSet().setValue(rig.ke.TimeSet().maximum());
    rig.ke.canvasMouseDown(Qt::LeftButton, {}, 500, 200);
    rig.ke.canvasMouseUp(Qt::LeftButton, {}, 500, 200);
    rig.ke.playbackPass();
    EXPECT_FALSE(s.IsPlaying);
    EXPECT_FALSE(s.IsPaused);
    // Play starts a run that moves, sounds and records.
    rig.ke.buttonClick(0);
    EXPECT_TRUE(s.IsPlaying);
    EXPECT_FALSE(s.IsPaused);
    EXPECT_TRUE(rig.ke.frameTickActive());
    EXPECT_EQ(rig.ke.NeC1(0).toolTip(), QStringLiteral("暫停"));
    const int32_t from = s.PlayMs;
    rig.keys->press(Kp7, rig.engine.now);
    rig.step(500);
    EXPECT_GT(s.PlayMs, from);
    EXPECT_EQ(setCells(rig.kep).size(), 1u);
}

TEST(Playback, EndsByItselfAtTheRealEndOfTheMusic)
{
    // A song whose header tells no length: nothing ends before decoding has told it.
    PlaybackRig rig;
    const std::string path = "/music/cut.ogg";
    rig.engine.songs[path] = 3200;
    rig.engine.songLengthWhileDecoding[path] = 0;
    rig.engine.songProgress[path] = 0.2;
    rig.chooser.answerWith(QString::fromStdString(path));
    rig.ke.buttonClick(8);
    const StreamHandle music = rig.ke.state().MusicStream;
    ASSERT_NE(music, 0);
    rig.ke.buttonClick(0);
    rig.step(500);
    EXPECT_TRUE(rig.ke.state().IsPlaying);
    rig.engine.streams[music].decodeProgress = 1.0;
    rig.playUntil(4000);
    rig.step(20);
    EXPECT_FALSE(rig.ke.state().IsPlaying);
    EXPECT_EQ(rig.ke.state().SongLenMs, 3200);

    // Behind the music (an offset above 1.4) the chart position never reaches the length;
    // the end of the music ends playback all the same.
    PlaybackRig late;
    late.open(3000);
    late.ke.sOff().setText(QStringLiteral("2"));
    late.ke.commitOffset();
    late.ke.buttonClick(0);
    late.playUntil(5000);
    late.step(20);
    EXPECT_LT(late.ke.state().PlayMs, 3000);
    EXPECT_FALSE(late.ke.state().IsPlaying);
}

TEST(Playback, PlayWithoutMusicDoesNothing)
{
    PlaybackRig rig;
    rig.engine.log.clear();
    rig.ke.buttonClick(0);
    EXPECT_FALSE(rig.ke.state().IsPlaying);
    EXPECT_TRUE(rig.engine.log.empty());
}

TEST(Playback, FollowMovesTheTimeBarAndScrollClearsTheDrag)
{
    PlaybackRig rig;
    rig.open(60000);
    rig.ke.buttonClick(0);
    rig.playUntil(6000);
    // The cursor left the view (C above 965 px) and the bar jumped to it.
    // C passes 965 px once the cursor is 4524 ms past the view's start: the bar jumps to
    // nearest(4524 / 100) and the cursor stays in view from then on.
    EXPECT_EQ(rig.ke.TimeSet().value(), 45);
    rig.ke.buttonClick(1);
    rig.ke.canvasMouseDown(Qt::LeftButton, {}, 100, 100);
    rig.ke.canvasMouseMove(Qt::LeftButton, {}, 200, 200);
    ASSERT_TRUE(rig.ke.state().drag.MouseMove);
    rig.ke.TimeSet().setValue(3);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
}

TEST(Playback, IdleRedrawsOnlyWhenAsked)
{
    PlaybackRig rig;
    rig.open(60000);
    EXPECT_TRUE(rig.ke.runPendingFrame()); // the open asked for one
    EXPECT_FALSE(rig.ke.runPendingFrame());
    rig.ke.TimeSet().setValue(5);
    EXPECT_TRUE(rig.ke.runPendingFrame());
    EXPECT_FALSE(rig.ke.runPendingFrame());
    EXPECT_FALSE(rig.ke.frameTickActive());
}

// --- Hit sounds

namespace {

struct HitCase
{
    double hz;
    QString offset;
};

void expectEveryKeyedCellOnceOnTime(const HitCase& hc)
{
    SCOPED_TRACE(hc.hz);
    SCOPED_TRACE(hc.offset.toStdString());
    PlaybackRig rig(hc.hz);
    rig.ke.sBpm().setText(QStringLiteral("180"));
    rig.ke.sOff().setText(hc.offset);
    rig.ke.commitOffset();
    rig.open(20000);
    ASSERT_EQ(rig.kep.TotalBeats, 240);
    // Every cell keyed, a marker every fourth cell, one cell with all six keys.
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c) {
        ChartEdit(rig.kep).set(KeP::flatIndex(c, 1 + c % 6), 1);
        if (c % 4 == 0)
            ChartEdit(rig.kep).set(KeP::flatIndex(c, 7), 1);
    }
    for (int r = 1; r <= 6; ++r)
        ChartEdit(rig.kep).set(KeP::flatIndex(17, r), 1);

    rig.ke.buttonClick(0);
    rig.playUntil(21000, 1000.0 / hc.hz);
    // With the chart lagging the music (offset above 1.4) the chart position never
    // reaches the song's end: the user stops it.
    rig.step(1000.0 / hc.hz);
    if (rig.ke.state().IsPlaying)
        rig.ke.buttonClick(1);

    const CellTiming timing = CellTiming::of(rig.kep.BeatRate, rig.ke.state().OffsetVal);
    const auto ideal = idealInstants(timing, 0, 20000, rig.kep.TotalBeats, -1);
    const auto& sounds = rig.ke.state().KeySounds;
    std::vector<FakeSoundEngine::Heard> keys, markers;
    for (const auto& h : rig.engine.heard)
        (h.channel == 15 ? markers : keys).push_back(h);

    // Each keyed cell exactly once, in order, at the ideal instant, slots turning over.
    ASSERT_EQ(keys.size(), ideal.size());
    size_t i = 0;
    for (const auto& [cell, instant] : ideal) {
        const auto& h = keys[i];
        EXPECT_EQ(h.musicMs, double(instant)) << cell;
        EXPECT_EQ(h.channel, int(i % 15)) << cell;
        EXPECT_EQ(h.effect, sounds[size_t(h.channel)]) << cell;
        ++i;
    }
    // Markers on channel 15 with the marker sound, for every fourth cell.
    size_t expectedMarkers = 0;
    for (const auto& [cell, instant] : ideal)
        if (cell % 4 == 0) {
            ASSERT_LT(expectedMarkers, markers.size());
            EXPECT_EQ(markers[expectedMarkers].musicMs, double(instant));
            EXPECT_EQ(markers[expectedMarkers].effect, sounds[15]);
            ++expectedMarkers;
        }
    EXPECT_EQ(markers.size(), expectedMarkers);
    // Each was queued ahead of its instant, so none was heard late.
    for (const auto& h : rig.engine.heard)
        EXPECT_LT(h.heardAtMs - h.musicMs, 1.0 + 1e-9);
}

} // namespace

TEST(HitSounds, EveryKeyedCellOnceAtItsInstantAt60Hz)
{
    for (const char* offset : {"0.7", "1.4", "2"})
        expectEveryKeyedCellOnceOnTime({60.0, QString::fromLatin1(offset)});
}

TEST(HitSounds, EveryKeyedCellOnceAtItsInstantAt15Hz)
{
    for (const char* offset : {"0.7", "1.4", "2"})
        expectEveryKeyedCellOnceOnTime({15.0, QString::fromLatin1(offset)});
}

TEST(HitSounds, OnlyCellsWithKeysAndOnlyMarkersOnChannel15)
{
    PlaybackRig rig;
    rig.open(10000);
    ChartEdit(rig.kep).set(KeP::flatIndex(2, 3), 1);
    ChartEdit(rig.kep).set(KeP::flatIndex(5, 7), 1); // marker alone
    ChartEdit(rig.kep).set(KeP::flatIndex(9, 1), 1);
    ChartEdit(rig.kep).set(KeP::flatIndex(9, 7), 1);
    ChartEdit(rig.kep).set(KeP::flatIndex(12, 4), 2); // a foreign value sounds nothing
    rig.ke.buttonClick(0);
    rig.playUntil(3000);
    std::vector<std::pair<int, double>> heard;
    for (const auto& h : rig.engine.heard)
        heard.push_back({h.channel, h.musicMs});
    const CellTiming timing = CellTiming::of(rig.kep.BeatRate, rig.ke.state().OffsetVal);
    const std::vector<std::pair<int, double>> expected{
        {0, double(*timing.firstMusicMs(2))},
        {15, double(*timing.firstMusicMs(5))},
        {1, double(*timing.firstMusicMs(9))},
        {15, double(*timing.firstMusicMs(9))},
    };
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(rig.ke.state().SoundSlot, 2);
}

TEST(HitSounds, TheCellUnderTheStartSoundsAtOnce)
{
    PlaybackRig rig;
    rig.open(10000);
    ChartEdit(rig.kep).set(KeP::flatIndex(0, 1), 1);
    rig.engine.log.clear();
    rig.ke.buttonClick(0);
    // Queued before the music starts, so it cannot miss the music's first frame.
    ASSERT_GE(rig.engine.log.size(), 2u);
    EXPECT_EQ(rig.engine.log[0], "PlayAt 0");
    EXPECT_EQ(rig.engine.log[1].rfind("Play 16 ", 0), 0u);
    rig.step(1);
    ASSERT_EQ(rig.engine.heard.size(), 1u);
    EXPECT_EQ(rig.engine.heard[0].musicMs, 0.0);
    EXPECT_EQ(rig.engine.heard[0].channel, 0);
}

TEST(HitSounds, NothingAfterStop)
{
    PlaybackRig rig;
    rig.open(20000);
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
        ChartEdit(rig.kep).set(KeP::flatIndex(c, 2), 1);
    rig.ke.buttonClick(0);
    rig.playUntil(5000);
    rig.ke.buttonClick(1);
    const size_t heardAtStop = rig.engine.heard.size();
    EXPECT_TRUE(rig.engine.pending.empty());
    EXPECT_GE(rig.engine.countLog("Cancel"), 1);
    rig.engine.advance(5000);
    rig.ke.playbackPass();
    EXPECT_EQ(rig.engine.heard.size(), heardAtStop);
    for (const auto& h : rig.engine.heard)
        EXPECT_LE(h.musicMs, 5000.0 + 1000.0 / 60.0);
}

TEST(HitSounds, PauseCancelsWhatIsUnheardAndResumeCarriesOn)
{
    for (double hz : {60.0, 15.0}) {
        SCOPED_TRACE(hz);
        PlaybackRig rig(hz);
        rig.open(20000);
        for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
            ChartEdit(rig.kep).set(KeP::flatIndex(c, 2), 1);
        rig.ke.buttonClick(0);
        rig.playUntil(4000, 1000.0 / hz);
        rig.ke.buttonClick(0); // pause: queued sounds are taken back
        EXPECT_TRUE(rig.engine.pending.empty());
        const size_t heardAtPause = rig.engine.heard.size();
        rig.step(3000);
        EXPECT_EQ(rig.engine.heard.size(), heardAtPause);
        rig.ke.buttonClick(0); // resume where it paused
        rig.playUntil(9000, 1000.0 / hz);
        rig.ke.buttonClick(1);

        // Cells in order, none doubled, none missing, the slots still turning over.
        const CellTiming timing = CellTiming::of(rig.kep.BeatRate, rig.ke.state().OffsetVal);
        std::vector<int32_t> cells;
        for (const auto& h : rig.engine.heard)
            cells.push_back(timing.soundingCell(int64_t(h.musicMs)));
        ASSERT_GT(cells.size(), 50u);
        for (size_t i = 0; i < cells.size(); ++i) {
            EXPECT_EQ(cells[i], int32_t(i));
            EXPECT_EQ(rig.engine.heard[i].channel, int(i % 15));
        }
    }
}

TEST(HitSounds, ACellMovedWhilePausedSoundsAtTheResumePoint)
{
    PlaybackRig rig;
    rig.open(20000);
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
        ChartEdit(rig.kep).set(KeP::flatIndex(c, 5), 1);
    rig.ke.buttonClick(0);
    rig.playUntil(2000);
    rig.ke.buttonClick(0);
    rig.ke.moveCursorTo(10028);
    const size_t before = rig.engine.heard.size();
    rig.ke.buttonClick(0);
    rig.step(1);
    ASSERT_EQ(rig.engine.heard.size(), before + 1);
    EXPECT_EQ(rig.engine.heard.back().musicMs, 10000.0);
}

// --- Live recording

TEST(Recording, APressLandsInTheCellOfItsMoment)
{
    PlaybackRig rig(15.0);
    rig.open(20000);
    rig.ke.buttonClick(0);
    rig.step(1000);
    rig.step(66);
    // Pressed 60 ms before the pass that sees it: the music was then 60 ms earlier.
    const double pressMusicMs = rig.engine.streamTimeExact(rig.ke.state().MusicStream) - 60.0;
    rig.keys->press(Kp9, rig.engine.now - msDuration(60));
    rig.ke.playbackPass();
    const int32_t chartMs = nearestInt32(rig.ke.LeadMs() + pressMusicMs);
    const int32_t cell = rig.kep.MsToBeatHalf(chartMs);
    EXPECT_EQ(setCells(rig.kep), (std::vector<std::pair<int32_t, int>>{{cell, 4}}));
    // The pass itself is in a later cell: the moment decided.
    EXPECT_NE(rig.kep.MsToBeatHalf(rig.ke.state().PlayMs), cell);
}

TEST(Recording, HeldKeyRecordsOnce)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.ke.buttonClick(0);
    rig.step(500);
    rig.keys->press(Kp7, rig.engine.now);
    for (int i = 0; i < 60; ++i)
        rig.step(1000.0 / 60.0);
    const auto cells = setCells(rig.kep);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0].second, 1);
    EXPECT_EQ(rig.kep.PrevKeyState[Kp7], 0x80);
    // Released and pressed again: a second key.
    rig.keys->release(Kp7);
    rig.step(100);
    rig.keys->press(Kp7, rig.engine.now);
    rig.step(1);
    EXPECT_EQ(setCells(rig.kep).size(), 2u);
}

TEST(Recording, EveryRowOfTheKeypadAndTheMarkerKeys)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.ke.buttonClick(0);
    rig.step(3000);
    const int32_t cell = rig.kep.MsToBeatHalf(
        nearestInt32(rig.ke.LeadMs() + rig.engine.streamTimeExact(rig.ke.state().MusicStream)));
    for (uint8_t code : {Kp7, Kp4, Kp1, Kp9, Kp6, Kp3, Kp5, Kp0})
        rig.keys->press(code, rig.engine.now);
    // The main keyboard's digits, arrows and space record nothing.
    for (uint8_t code : {uint8_t(0x08), uint8_t(0x05), uint8_t(0x48), uint8_t(0x39)})
        rig.keys->press(code, rig.engine.now);
    rig.ke.playbackPass();
    std::vector<std::pair<int32_t, int>> expected;
    for (int r = 1; r <= 7; ++r)
        expected.push_back({cell, r});
    EXPECT_EQ(setCells(rig.kep), expected);
}

TEST(Recording, KeypadFiveAndZeroEachSetTheMarker)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.ke.buttonClick(0);
    rig.step(1000);
    rig.keys->press(Kp5, rig.engine.now);
    rig.step(1);
    rig.step(600);
    rig.keys->press(Kp0, rig.engine.now);
    rig.step(1);
    const auto cells = setCells(rig.kep);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].second, 7);
    EXPECT_EQ(cells[1].second, 7);
    EXPECT_EQ(cells[1].first - cells[0].first, 4);
}

TEST(Recording, KeyHeldWhenPlaybackStartsIsRecordedAtTheFirstPass)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.keys->press(Kp4, rig.engine.now - msDuration(500)); // before playback
    rig.ke.buttonClick(0);
    EXPECT_EQ(setCells(rig.kep), (std::vector<std::pair<int32_t, int>>{{0, 2}}));
    rig.step(200);
    EXPECT_EQ(setCells(rig.kep).size(), 1u);
}

TEST(Recording, NothingWhilePaused)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.ke.buttonClick(0);
    rig.step(2000);
    rig.ke.buttonClick(0);
    rig.keys->press(Kp6, rig.engine.now);
    rig.step(100);
    rig.keys->release(Kp6);
    rig.step(100);
    rig.ke.playbackPass();
    EXPECT_TRUE(setCells(rig.kep).empty());
    // After the resume the press made while paused is not recorded either.
    rig.ke.buttonClick(0);
    rig.step(100);
    EXPECT_TRUE(setCells(rig.kep).empty());
}

TEST(Recording, KeyPressedWhilePausedAndStillHeldRecordsAtResume)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.ke.buttonClick(0);
    rig.step(2000);
    rig.ke.buttonClick(0);
    rig.keys->press(Kp1, rig.engine.now);
    rig.step(100);
    rig.ke.buttonClick(0);
    const int32_t cell = rig.kep.MsToBeatHalf(rig.ke.state().PlayMs);
    EXPECT_EQ(setCells(rig.kep), (std::vector<std::pair<int32_t, int>>{{cell, 3}}));
}

TEST(Recording, NothingPastTheLastCell)
{
    PlaybackRig rig;
    rig.open(60000);
    rig.ke.buttonClick(0);
    rig.playUntil(59905); // chart position 59933: the nearest cell is 400, beyond the chart
    ASSERT_TRUE(rig.ke.state().IsPlaying);
    ASSERT_GE(rig.kep.MsToBeatNear(rig.ke.state().PlayMs), 400);
    const int reads = rig.keys->reads;
    rig.keys->press(Kp3, rig.engine.now);
    rig.step(1);
    EXPECT_TRUE(setCells(rig.kep).empty());
    EXPECT_EQ(rig.keys->reads, reads); // the keyboard is not read there
    // But the previous snapshot is still carried over.
    EXPECT_EQ(rig.kep.PrevKeyState, rig.kep.KeyState);
}

TEST(Recording, ReadsTheKeyboardOncePerPass)
{
    PlaybackRig rig;
    rig.open(20000);
    rig.ke.buttonClick(0);
    const int reads = rig.keys->reads;
    for (int i = 0; i < 10; ++i)
        rig.step(1000.0 / 60.0);
    EXPECT_EQ(rig.keys->reads, reads + 10);
}

TEST(Recording, TheKeyboardIsReadAfreshAtEachRunAndWhenTheFocusChanges)
{
    PlaybackRig rig;
    rig.open(20000);
    EXPECT_EQ(rig.keys->resyncs, 0);
    rig.ke.buttonClick(0);
    EXPECT_EQ(rig.keys->resyncs, 1);
    rig.step(100);
    rig.ke.buttonClick(0); // paused
    rig.ke.buttonClick(0); // a run starts again
    EXPECT_EQ(rig.keys->resyncs, 2);
    for (QEvent::Type type : {QEvent::WindowDeactivate, QEvent::WindowActivate}) {
        QEvent event(type);
        QApplication::sendEvent(&rig.ke, &event);
    }
    EXPECT_EQ(rig.keys->resyncs, 4);
}

TEST(Recording, WithOnlyTheWindowsKeyEventsLosingTheFocusLetsGoOfEveryKey)
{
    EditorRig rig;
    EditorServices services = rig.services();
    services.keySource = [] { return std::make_unique<WindowKeySource>(); };
    KE& ke = rig.make(std::move(services));
    QKeyEvent down(QEvent::KeyPress, Qt::Key_7, Qt::KeypadModifier);
    QApplication::sendEvent(&ke, &down);
    ke.keyboard().GetKey();
    ASSERT_EQ(rig.kep.KeyState[Kp7], 0x80);
    ke.keyboard().takePresses();
    // Its release goes to the window that has the focus now.
    QEvent out(QEvent::WindowDeactivate);
    QApplication::sendEvent(&ke, &out);
    ke.keyboard().GetKey();
    EXPECT_EQ(rig.kep.KeyState[Kp7], 0);
    // So its next press counts.
    QApplication::sendEvent(&ke, &down);
    EXPECT_EQ(ke.keyboard().takePresses().size(), 1u);
}
