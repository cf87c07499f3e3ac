// A test play through the playback session, with no window: the count-in, presses judged
// from their own moments at any pass rate and speed, and a chart left as it was.
#include "ChartEdit.h"
#include "FakeKeys.h"
#include "FakeSoundEngine.h"
#include "KeP.h"
#include "KeyInput.h"
#include "PlaybackSession.h"
#include "TestPlayRun.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

struct Quiet : PlaybackSession::Observer
{
    int recorded = 0;
    std::vector<PlaybackSession::RunChange> runs;
    void runChanged(PlaybackSession::RunChange c) override { runs.push_back(c); }
    void passDone(int32_t, bool) override {}
    void keyRecorded() override { ++recorded; }
    void recordingTaken(ChartChange) override { ++recorded; }
    void chartFitted(std::optional<ChartChange>) override {}
    void songLengthLearned(int32_t) override {}
};

// 100 BPM, no lead, a key of row 1 every beat from cell 32 to 96.
struct Rig
{
    KeP kep;
    FakeSoundEngine engine;
    std::shared_ptr<FakeKeys> keys = std::make_shared<FakeKeys>();
    KeyInput keyboard{kep, std::make_unique<FakeKeySource>(keys)};
    Quiet seen;
    PlaybackSession session{kep, engine, [this] { return engine.now; }, seen};

    Rig()
    {
        engine.songs["/song.ogg"] = 20000;
        engine.FSOUND_Init(44100, 32, 0);
        session.openSounds();
        session.useKeyboard(keyboard);
        session.setOffsetVal(0.0);
        kep.setTempo(100.0);
        const StreamHandle music = engine.FSOUND_Stream_Open("/song.ogg", FSOUND_NORMAL, 0, 0);
        ChartEdit(kep).resizeCells(*kep.cellsForSong(20000));
        session.setMusic(music, 20000, QStringLiteral("/song.ogg"));
        for (int32_t c = 32; c < 96; c += 4)
            ChartEdit(kep).set(KeP::flatIndex(c, 1), 1);
    }
    double at(int32_t cell) const { return double(*session.timing().firstMusicMs(cell)); }
};

} // namespace

TEST(TestPlay, PressesAreJudgedFromTheirMomentsAndTheChartStaysAsItWas)
{
    for (const auto& [hz, rate] : {std::pair{60.0, 100}, {15.0, 100}, {60.0, 50}}) {
        Rig rig;
        const GridBytes before = rig.kep.KeyGrid;
        rig.session.setPlaybackRate(rate);
        TestPlayRun run(rig.kep, rig.session.timing(), 48, JudgeWindows{});
        bool ended = false;
        run.onEnded = [&] { ended = true; };
        ASSERT_TRUE(rig.session.startTestPlay(run, 48, false));
        // The count-in: four clicks on the beats of the measure before cell 48, the first
        // high, and none of the chart's key sounds.
        const double tick = 1000.0 / hz;
        const double songPerMs = rate / 100.0;
        // Press every target from cell 48 on, 7 ms (of song) late, and let time run.
        std::vector<double> pressAt;
        for (int32_t c = 48; c < 96; c += 4)
            pressAt.push_back(rig.at(c) + 7.0);
        size_t next = 0;
        while (rig.session.playing() && rig.session.playMs() < 15000) {
            rig.engine.advance(tick);
            const double heard = rig.engine.streamTimeExact(rig.session.music());
            while (next < pressAt.size() && pressAt[next] <= heard) {
                const double back = (heard - pressAt[next]) / songPerMs;
                rig.keys->press(0x47,
                                rig.engine.now -
                                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        std::chrono::duration<double, std::milli>(back)));
                ++next;
            }
            rig.session.pass();
        }
        rig.session.stop();
        EXPECT_TRUE(ended);
        const RunTally& t = run.tally();
        EXPECT_EQ(t.presses(), 12) << hz << " Hz " << rate << "%";
        EXPECT_EQ(t.count(Judgement::Miss), 0);
        EXPECT_NEAR(t.meanErrorMs(), 7.0 / songPerMs, 1.0);
        EXPECT_LT(t.errorSpreadMs(), 1.0);
        int clicks = 0, keySounds = 0;
        for (const auto& h : rig.engine.heard)
            (h.channel == MetronomeChannel ? clicks : keySounds) += 1;
        EXPECT_EQ(clicks, 4);
        EXPECT_EQ(keySounds, 12); // the player's presses, none of the chart's cells
        // The song is heard from cell 48's instant on; the count-in is clicks over silence.
        const std::string mute = "mute " + std::to_string(rig.session.music()) + " ";
        EXPECT_EQ(rig.engine.countLog(mute + std::to_string(int(rig.at(48)))), 1);
        EXPECT_EQ(rig.engine.countLog(mute + "0"), 1); // and all of it again afterwards
        EXPECT_EQ(rig.kep.KeyGrid, before);
        EXPECT_EQ(rig.seen.recorded, 0);
    }
}

TEST(TestPlay, ALoopsPassesAddUp)
{
    Rig rig;
    ASSERT_TRUE(rig.session.setLoopCells(CellRange{48, 63})); // keys at 48, 52, 56, 60
    TestPlayRun run(rig.kep, rig.session.timing(), 48, JudgeWindows{});
    ASSERT_TRUE(rig.session.startTestPlay(run, 48, false));
    ASSERT_TRUE(rig.session.loopSpan());
    const LoopSpan span = *rig.session.loopSpan();
    std::vector<double> pressAt;
    for (int pass = 0; pass < 3; ++pass)
        for (int32_t c = 48; c < 64; c += 4)
            pressAt.push_back(rig.at(c) + pass * span.lengthMs - 5.0);
    size_t next = 0;
    while (rig.engine.streamTimeExact(rig.session.music()) <
           span.fromMs + 3 * span.lengthMs - 100) {
        rig.engine.advance(1000.0 / 60.0);
        const double heard = rig.engine.streamTimeExact(rig.session.music());
        for (; next < pressAt.size() && pressAt[next] <= heard; ++next)
            rig.keys->press(0x47, rig.engine.now - std::chrono::microseconds(
                                                       int64_t((heard - pressAt[next]) * 1000.0)));
        rig.session.pass();
    }
    rig.session.stop();
    EXPECT_EQ(run.tally().presses(), 12);
    EXPECT_EQ(run.tally().extras(), 0);
    EXPECT_EQ(run.tally().count(Judgement::Miss), 0);
    EXPECT_NEAR(run.tally().meanErrorMs(), -5.0, 1.0);
}
