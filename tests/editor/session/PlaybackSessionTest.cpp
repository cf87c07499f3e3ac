// The playback session on its own, with no window: the run it tells its observer about,
// the sounds it queues, the keys it records and the length it learns late.
#include "PlaybackSession.h"
#include "ChartEdit.h"
#include "FakeKeys.h"
#include "FakeSoundEngine.h"
#include "FrameTick.h"
#include "Rounding.h"

#include "KeP.h"
#include "KeyInput.h"
#include "NumberReading.h"
#include <map>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace tavix;
using namespace tavix::test;

namespace {

using Change = PlaybackSession::RunChange;

// An engine that tells a resume from a start.
struct ResumingEngine : FakeSoundEngine
{
    bool FSOUND_Stream_Resume(int channel, StreamHandle h) override
    {
        log.push_back("Resume");
        return FakeSoundEngine::FSOUND_Stream_Play(channel, h);
    }
};

struct Observer : PlaybackSession::Observer
{
    std::vector<Change> runs;
    std::vector<int32_t> passes;
    int keys = 0;
    std::vector<ChartChange> taken;
    std::vector<std::optional<ChartChange>> fitted;
    std::vector<int32_t> lengths;

    void runChanged(Change change) override { runs.push_back(change); }
    void passDone(int32_t playMs, bool) override { passes.push_back(playMs); }
    void keyRecorded() override { ++keys; }
    void recordingTaken(ChartChange k) override { taken.push_back(std::move(k)); }
    void chartFitted(std::optional<ChartChange> step) override
    {
        fitted.push_back(std::move(step));
    }
    void songLengthLearned(int32_t ms) override { lengths.push_back(ms); }
};

// A session over a song of `songMs` at 100 BPM (150 ms a cell) with the offset 0.7
// (chart time 28 ms ahead of the music).
struct SessionRig
{
    KeP kep;
    ResumingEngine engine;
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>();
    KeyInput keyboard{kep, std::make_unique<FakeKeySource>(keys)};
    Observer seen;
    PlaybackSession session{kep, engine, [this] { return engine.now; }, seen};
    StreamHandle music = 0;

    explicit SessionRig(int32_t songMs, double decoded = 1.0, int32_t lengthWhileDecoding = -1)
    {
        engine.songs["/song.ogg"] = songMs;
        engine.songProgress["/song.ogg"] = decoded;
        if (lengthWhileDecoding >= 0)
            engine.songLengthWhileDecoding["/song.ogg"] = lengthWhileDecoding;
        engine.FSOUND_Init(44100, 32, 0);
        session.openSounds();
        session.useKeyboard(keyboard);
        session.setOffsetVal(offsetTerm(0.7));
        kep.setTempo(100.0);
        music = engine.FSOUND_Stream_Open("/song.ogg", FSOUND_NORMAL, 0, 0);
        const int32_t length = engine.FSOUND_Stream_GetLengthMs(music);
        ChartEdit(kep).resizeCells(*kep.cellsForSong(length));
        session.setMusic(music, length, QStringLiteral("/song.ogg"));
    }
    void key(int32_t cell, int row) { ChartEdit(kep).set(KeP::flatIndex(cell, row), 1); }
    void step(double ms)
    {
        engine.advance(ms);
        session.pass();
    }
    int heardOn(int channel) const
    {
        int n = 0;
        for (const auto& h : engine.heard)
            n += h.channel == channel ? 1 : 0;
        return n;
    }
};

} // namespace

TEST(PlaybackSession, ARunSoundsEveryKeyedCellOnceAndEndsWithTheSong)
{
    SessionRig rig(3000);
    ASSERT_EQ(rig.kep.TotalBeats, 20);
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
        rig.key(c, 1 + c % 6);
    rig.key(8, 7);
    rig.session.playPause();
    ASSERT_EQ(rig.seen.runs, std::vector<Change>{Change::Started});
    while (rig.session.playing())
        rig.step(1000.0 / 60.0);

    EXPECT_EQ(rig.seen.runs, (std::vector<Change>{Change::Started, Change::Ended}));
    // The first pass runs at the start, 28 ms of lead ahead; the position never goes back.
    ASSERT_FALSE(rig.seen.passes.empty());
    EXPECT_EQ(rig.seen.passes.front(), 28);
    EXPECT_TRUE(std::is_sorted(rig.seen.passes.begin(), rig.seen.passes.end()));
    EXPECT_GE(rig.seen.passes.back(), 3000);
    // Every keyed cell once, on the key channels in turn, and the one marker.
    int keyed = 0;
    for (const auto& h : rig.engine.heard)
        if (h.channel < KeySoundChannels) {
            EXPECT_EQ(h.channel, keyed % KeySoundChannels);
            EXPECT_EQ(h.effect, rig.session.sounds().keySounds()[size_t(h.channel)]);
            ++keyed;
        }
    EXPECT_EQ(keyed, 20);
    EXPECT_EQ(rig.heardOn(MarkerChannel), 1);
    EXPECT_FALSE(rig.session.paused());
}

TEST(PlaybackSession, HitsAreQueuedAheadOfWhatTheDeviceHasMixedAlready)
{
    // A device that mixes 400 ms ahead of the listener (a large buffer): the hits queued
    // at the start must reach past that, or they would be mixed late.
    SessionRig rig(3000);
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
        rig.key(c, 1);
    const auto furthest = [&] {
        double ms = 0;
        for (const auto& s : rig.engine.pending)
            ms = std::max(ms, s.musicMs);
        return ms;
    };
    rig.session.setPassRate(60.0);
    rig.session.playPause();
    const double usual = furthest();
    rig.session.stop();
    rig.engine.deviceLatencyMs = 400.0;
    rig.session.playPause();
    EXPECT_GT(furthest(), 400.0 + FrameTick::lookaheadMs(60.0) - 150.0);
    EXPECT_GT(furthest(), usual + 250.0);
}

TEST(PlaybackSession, ALoopSoundsEveryCellOncePerPassAndItsKeysAreOneChange)
{
    SessionRig rig(20000);
    for (int32_t c = 16; c < 32; ++c)
        rig.key(c, 1);
    rig.key(40, 1); // past the range: never heard
    ASSERT_TRUE(rig.session.setLoopCells(CellRange{16, 31}));
    rig.session.playPause();
    ASSERT_TRUE(rig.session.loopSpan());
    const LoopSpan span = *rig.session.loopSpan();
    const CellTiming timing = rig.session.timing();
    EXPECT_DOUBLE_EQ(span.fromMs, double(*timing.firstMusicMs(16)));
    EXPECT_DOUBLE_EQ(span.lengthMs, 16 * 150.0);
    const auto run = [&](double ms) {
        for (double t = 0; t < ms; t += 1000.0 / 60.0)
            rig.step(1000.0 / 60.0);
    };
    // Three passes and a half, a press in the second and in the third pass.
    run(span.lengthMs * 1.5);
    rig.keys->press(0x4B, rig.engine.now); // keypad 4, row 2
    run(span.lengthMs);
    rig.keys->press(0x4F, rig.engine.now); // keypad 1, row 3
    run(span.lengthMs);
    EXPECT_TRUE(rig.session.playing()); // a loop plays until stopped
    EXPECT_GE(rig.seen.passes.back(), nearestInt32(rig.session.LeadMs() + span.fromMs));
    EXPECT_LT(rig.seen.passes.back(), nearestInt32(rig.session.LeadMs() + span.toMs()) + 1);
    rig.session.stop();
    // Cells 16..31 each three times (pass 3 reached them up to its half), at their instants
    // plus the passes' lengths.
    std::map<double, int> at;
    for (const auto& h : rig.engine.heard)
        if (h.channel < KeySoundChannels)
            ++at[h.musicMs];
    int heard = 0;
    for (int64_t pass = 0; pass < 4; ++pass)
        for (int32_t c = 16; c < 32; ++c) {
            const double instant = double(*timing.firstMusicMs(c)) + double(pass) * span.lengthMs;
            if (instant <= span.fromMs + 3.5 * span.lengthMs) {
                EXPECT_EQ(at[instant], 1) << pass << " " << c;
                ++heard;
            }
        }
    EXPECT_EQ(int(rig.engine.heard.size()) - rig.heardOn(MetronomeChannel) -
                  rig.heardOn(MarkerChannel),
              heard);
    // The two presses, in the range's cells, as one change.
    ASSERT_EQ(rig.seen.taken.size(), 1u);
    int set = 0;
    for (int32_t c = 16; c < 32; ++c)
        set += rig.kep.isSet(c, 2) + rig.kep.isSet(c, 3);
    EXPECT_EQ(set, 2);
    EXPECT_EQ(rig.engine.countLog("loop " + std::to_string(rig.music) + " 0 0"), 1); // let go
}

TEST(PlaybackSession, PauseTakesBackWhatIsUnheardAndAResumeWhereItPausedGoesOn)
{
    SessionRig rig(20000);
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
        rig.key(c, 2);
    rig.session.playPause();
    for (int i = 0; i < 60; ++i)
        rig.step(1000.0 / 60.0);
    const size_t heardAtPause = rig.engine.heard.size();
    rig.session.playPause();
    EXPECT_EQ(rig.seen.runs.back(), Change::Paused);
    EXPECT_EQ(rig.session.cursorMs(), 1028);
    ASSERT_GT(heardAtPause, 2u);
    EXPECT_TRUE(rig.engine.pending.empty());
    // The counters stand as if nothing queued had been started: the next cell heard is the
    // one after the last heard, on the channel after its.
    EXPECT_EQ(rig.session.hits().lastSoundBeat(), int32_t(heardAtPause) - 1);
    EXPECT_EQ(rig.session.hits().soundSlot(), int32_t(heardAtPause % KeySoundChannels));

    rig.session.playPause();
    EXPECT_EQ(rig.seen.runs.back(), Change::Resumed);
    EXPECT_EQ(rig.engine.countLog("Resume"), 1);
    rig.step(500);
    rig.session.playPause();
    // Moved while paused, it starts afresh there.
    rig.session.moveCursor(10028);
    rig.session.playPause();
    EXPECT_EQ(rig.engine.countLog("Resume"), 1);
    rig.step(1);
    EXPECT_EQ(rig.engine.heard.back().musicMs, 10000.0);
    rig.session.stop();
    EXPECT_EQ(rig.seen.runs.back(), Change::Stopped);
    EXPECT_EQ(rig.session.cursorMs(), 0);
}

TEST(PlaybackSession, TheKeysOfARunAreOneChangeHandedOutWhenItPauses)
{
    SessionRig rig(20000);
    rig.session.playPause();
    rig.step(1000);
    // Pressed 100 ms before the pass that sees it: recorded in the cell of that moment.
    rig.keys->press(0x47, rig.engine.now - std::chrono::milliseconds(100));
    rig.step(20);
    rig.keys->release(0x47);
    rig.keys->press(0x4C, rig.engine.now);
    rig.step(20);
    const int32_t first = rig.kep.MsToBeatHalf(1028 - 100);
    EXPECT_TRUE(rig.kep.isSet(first, 1));
    EXPECT_EQ(rig.seen.keys, 2);
    EXPECT_TRUE(rig.session.hasRecordedKeys());
    EXPECT_TRUE(rig.seen.taken.empty());

    rig.session.playPause();
    ASSERT_EQ(rig.seen.taken.size(), 1u);
    EXPECT_FALSE(rig.session.hasRecordedKeys());
    // The change is the run's keys exactly: undone, the chart is empty again.
    EXPECT_TRUE(rig.seen.taken[0].undo(rig.kep));
    for (int32_t c = 0; c < rig.kep.TotalBeats; ++c)
        EXPECT_FALSE(rig.kep.anyKeySet(c) || rig.kep.isSet(c, 7)) << c;
}

TEST(PlaybackSession, ALengthLearnedLateGrowsOrCutsTheChartOnlyAsFarAsNothingSetIsLost)
{
    // The header claims 5000 ms; the audio that decodes lasts 3000.
    SessionRig rig(3000, 0.5, 5000);
    ASSERT_EQ(rig.kep.TotalBeats, 33);
    rig.key(25, 3);
    rig.session.playPause();
    rig.step(3200);
    // Still decoding: the run does not end where the estimate says nothing.
    EXPECT_TRUE(rig.session.playing());
    EXPECT_TRUE(rig.seen.lengths.empty());
    rig.keys->press(0x4B, rig.engine.now);
    rig.engine.streams[rig.music].decodeProgress = 1.0;
    rig.step(1);
    EXPECT_EQ(rig.seen.lengths, std::vector<int32_t>{3000});
    EXPECT_EQ(rig.session.songLenMs(), 3000);
    // Cut to the song, but not past the key of cell 25; the resize went into the keys
    // being recorded, so the observer had no step of its own to record.
    EXPECT_EQ(rig.kep.TotalBeats, 26);
    ASSERT_EQ(rig.seen.fitted.size(), 1u);
    EXPECT_FALSE(rig.seen.fitted[0].has_value());
    EXPECT_FALSE(rig.session.playing()); // and the run ended where the music did
    ASSERT_EQ(rig.seen.taken.size(), 1u);
    EXPECT_TRUE(rig.seen.taken[0].undo(rig.kep));
    EXPECT_EQ(rig.kep.TotalBeats, 33);

    // Not recording, the resize is a step of its own for the observer.
    SessionRig idle(3000, 0.5, 5000);
    idle.engine.streams[idle.music].decodeProgress = 1.0;
    EXPECT_TRUE(idle.session.followDecodedLength());
    ASSERT_EQ(idle.seen.fitted.size(), 1u);
    ASSERT_TRUE(idle.seen.fitted[0].has_value());
    EXPECT_EQ(idle.kep.TotalBeats, 20);
    EXPECT_TRUE(idle.seen.fitted[0]->undo(idle.kep));
    EXPECT_EQ(idle.kep.TotalBeats, 33);
}
