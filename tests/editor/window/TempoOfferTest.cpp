// The tempo offered when a song opens: detected off the window thread, applied only through
// the strip's button, one undo step, its drift marked on the overview strip, and given up
// when another song opens.
#include "ChartingStrip.h"
#include "EditingRig.h"
#include "KeyboardCharting.h"
#include "OverviewStrip.h"
#include "TempoDialog.h"
#include "TempoOfferWiring.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

using namespace tavix;
using namespace tavix::test;

namespace {

// Answers with the result set for a path; a path without one waits until it is given up.
struct FakeDetection
{
    std::mutex lock;
    std::map<QString, TempoResult> results;
    std::atomic<int> started{0}, givenUp{0};

    void answer(const QString& path, TempoResult r)
    {
        const std::lock_guard guard(lock);
        results[path] = std::move(r);
    }

    SongTempo detect(const QString& path, const std::stop_token& stop)
    {
        ++started;
        SongTempo found;
        {
            const std::lock_guard guard(lock);
            if (const auto r = results.find(path); r != results.end()) {
                found.result = r->second;
                return found;
            }
        }
        while (!stop.stop_requested())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ++givenUp;
        found.status = SongTempo::Status::Cancelled;
        return found;
    }
};

TempoResult drifting()
{
    TempoResult r;
    r.bpm = 170.0;
    r.firstBeatMs = 250.0;
    r.confidence = 0.3;
    r.candidates = {{170.0, 250.0, 0.6}, {85.0, 250.0, 0.3}};
    r.constant = false;
    r.offGrid = {{12000.0, 20000.0}};
    return r;
}

struct OfferRig : EditorRig
{
    std::shared_ptr<FakeDetection> fake = std::make_shared<FakeDetection>();
    KE& ke;
    OfferRig()
        : ke(make([this] {
              EditorServices s = services();
              s.detectTempo =
                  [f = fake](const QString& path, const TempoOptions&, const std::stop_token& stop,
                             const TempoDetector::Progress&) { return f->detect(path, stop); };
              return s;
          }()))
    {
    }
    ChartingStrip& strip() { return ke.charting().strip(); }
};

} // namespace

TEST(TempoOffer, NothingChangesUntilUseItThenOneStep)
{
    OfferRig rig;
    rig.fake->answer(QStringLiteral("/m/a.ogg"), drifting());
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.strip().tempoOffered(), 5000);
    EXPECT_EQ(rig.fake->started, 1);
    EXPECT_EQ(rig.strip().tempoFound.text(),
              QStringLiteral("Tempo 170.00, offset %1 (not sure)").arg(offsetText(drifting())));
    // Offered, not imposed.
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));

    // The drift is marked where the song's 12 s to 20 s lie on the strip, lead included.
    rig.ke.runPendingFrame();
    const OverviewStrip& overview = rig.ke.overview();
    const auto marked = overview.markedColumns();
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0].first, int(std::floor(overview.xOfMs(12000.0 + rig.ke.LeadMs()))));
    EXPECT_EQ(marked[0].second, int(std::ceil(overview.xOfMs(20000.0 + rig.ke.LeadMs()))));
    EXPECT_NEAR(marked[0].first, OverviewStrip::SongWidth / 5, 10);

    // The tempo dialog shows what was offered without detecting again.
    rig.ke.openTempoDialog();
    TempoDialog& dialog = *rig.ke.tempoDialog();
    EXPECT_EQ(dialog.detectedTempo().text(), QStringLiteral("170.00 BPM"));
    EXPECT_FALSE(dialog.driftLabel().isHidden());
    EXPECT_EQ(rig.fake->started, 1);
    dialog.close();

    // Refused while playing, with the reason in the strip.
    const int steps = rig.ke.history().stack().count();
    rig.ke.buttonClick(0);
    rig.strip().useTempo.click();
    EXPECT_TRUE(rig.strip().tempoFound.text().contains(QStringLiteral("playing")));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    rig.ke.buttonClick(0);

    rig.strip().useTempo.click();
    EXPECT_FALSE(rig.strip().tempoOffered());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("170.00"));
    EXPECT_EQ(rig.ke.slSetOff().text(), offsetText(drifting()));
    EXPECT_EQ(rig.ke.history().stack().count(), steps + 1);
    rig.ke.undoEdit();
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    // The marks stay with the song.
    EXPECT_EQ(rig.ke.overview().markedColumns().size(), 1u);
}

TEST(TempoOffer, AnotherSongGivesUpTheOfferAndTheClosingWindowItsDetection)
{
    OfferRig rig;
    rig.fake->answer(QStringLiteral("/m/a.ogg"), drifting());
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.strip().tempoOffered(), 5000);
    rig.ke.runPendingFrame();
    ASSERT_FALSE(rig.ke.overview().markedColumns().empty());

    // b's detection never answers on its own: a's offer and marks go at once.
    ASSERT_TRUE(rig.openSong("/m/b.ogg", 30000));
    EXPECT_FALSE(rig.strip().tempoOffered());
    EXPECT_TRUE(rig.ke.overview().markedColumns().empty());
    QTRY_VERIFY_WITH_TIMEOUT(rig.fake->started == 2, 5000);
    EXPECT_TRUE(rig.ke.tempoOffer().detecting());

    TempoResult steady = drifting();
    steady.bpm = 128.0;
    steady.confidence = 0.9;
    steady.constant = true;
    steady.offGrid.clear();
    rig.fake->answer(QStringLiteral("/m/c.ogg"), steady);
    ASSERT_TRUE(rig.openSong("/m/c.ogg", 30000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.fake->givenUp == 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.strip().tempoOffered(), 5000);
    EXPECT_EQ(rig.strip().tempoFound.text(),
              QStringLiteral("Tempo 128.00, offset %1").arg(offsetText(steady)));
    EXPECT_TRUE(rig.ke.overview().markedColumns().empty());
    rig.strip().dismissTempo.click();
    EXPECT_FALSE(rig.strip().tempoOffered());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));

    // Turned off in the dialog, the choice kept: the next song is not listened to.
    rig.ke.openTempoDialog();
    QCheckBox& onOpen = rig.ke.tempoDialog()->detectOnOpenBox();
    EXPECT_TRUE(onOpen.isChecked());
    onOpen.click();
    rig.ke.tempoDialog()->close();
    EXPECT_FALSE(rig.ke.tempoOffer().detectOnOpen());
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTest::qWait(50);
    EXPECT_EQ(rig.fake->started, 3);
    EXPECT_FALSE(rig.strip().tempoOffered());
    EXPECT_TRUE(rig.ke.overview().markedColumns().empty());
    // What the dialog detects is marked as well.
    rig.ke.openTempoDialog();
    rig.ke.tempoDialog()->detect();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.ke.tempoDialog()->detecting(), 5000);
    rig.ke.tempoDialog()->close();
    rig.ke.runPendingFrame();
    EXPECT_EQ(rig.ke.overview().markedColumns().size(), 1u);
    rig.ke.tempoOffer().setDetectOnOpen(true);

    // A detection going on when the window closes is given up.
    ASSERT_TRUE(rig.openSong("/m/b.ogg", 30000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.fake->started == 5, 5000);
    rig.ke.close();
    QTRY_VERIFY_WITH_TIMEOUT(rig.fake->givenUp == 2, 5000);
}
