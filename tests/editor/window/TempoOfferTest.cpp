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
#include <thread>

using namespace tavix;
using namespace tavix::test;

namespace {

// a.ogg drifts, c.ogg is steady; any other song is listened to until it is given up.
TempoResult resultOf(const QString& path)
{
    TempoResult r;
    r.bpm = path.endsWith(QStringLiteral("a.ogg")) ? 170.0 : 128.0;
    r.firstBeatMs = 250.0;
    r.confidence = r.bpm == 170.0 ? 0.3 : 0.9;
    r.candidates = {{r.bpm, 250.0, 0.6}, {r.bpm / 2.0, 250.0, 0.3}};
    r.constant = r.bpm != 170.0;
    if (!r.constant)
        r.offGrid = {{12000.0, 20000.0}};
    return r;
}

struct OfferRig : EditorRig
{
    std::shared_ptr<std::atomic<int>> started = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> givenUp = std::make_shared<std::atomic<int>>(0);
    KE& ke;
    OfferRig()
        : ke(make([this] {
              EditorServices s = services();
              s.detectTempo = [started = started, givenUp = givenUp](
                                  const QString& path, const TempoOptions&,
                                  const std::stop_token& stop, const TempoDetector::Progress&) {
                  ++*started;
                  if (path.endsWith(QStringLiteral("a.ogg")) ||
                      path.endsWith(QStringLiteral("c.ogg")))
                      return SongTempo{{}, {}, resultOf(path)};
                  while (!stop.stop_requested())
                      std::this_thread::sleep_for(std::chrono::milliseconds(2));
                  ++*givenUp;
                  return SongTempo{SongTempo::Status::Cancelled, {}, {}};
              };
              return s;
          }()))
    {
    }
    ChartingStrip& strip() { return ke.charting().strip(); }
    size_t marks()
    {
        ke.runPendingFrame();
        return ke.overview().markedColumns().size();
    }
};

} // namespace

TEST(TempoOffer, OfferedUntilUsedOnceGivenUpWithItsSong)
{
    OfferRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.strip().tempoOffered(), 5000);
    const QString offset = offsetText(resultOf(QStringLiteral("a.ogg")));
    EXPECT_EQ(rig.strip().tempoFound.text(),
              QStringLiteral("Tempo 170.00, offset %1 (not sure)").arg(offset));
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100")); // offered, not imposed
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    // The drift marked where the song's 12 s to 20 s lie on the strip, lead included.
    ASSERT_EQ(rig.marks(), 1u);
    const OverviewStrip& overview = rig.ke.overview();
    EXPECT_EQ(overview.markedColumns()[0],
              std::pair(int(std::floor(overview.xOfMs(12000.0 + rig.ke.LeadMs()))),
                        int(std::ceil(overview.xOfMs(20000.0 + rig.ke.LeadMs())))));
    // The dialog shows it without detecting again.
    rig.ke.openTempoDialog();
    EXPECT_EQ(rig.ke.tempoDialog()->detectedTempo().text(), QStringLiteral("170.00 BPM"));
    rig.ke.tempoDialog()->close();

    // Refused while playing, the reason shown; then one step, undone as one.
    const int steps = rig.ke.history().stack().count();
    rig.ke.buttonClick(0);
    rig.strip().useTempo.click();
    EXPECT_TRUE(rig.strip().tempoFound.text().contains(QStringLiteral("playing")));
    rig.ke.buttonClick(1);
    EXPECT_EQ(rig.ke.history().stack().count(), steps);
    rig.strip().useTempo.click();
    EXPECT_FALSE(rig.strip().tempoOffered());
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("170.00"));
    EXPECT_EQ(rig.ke.slSetOff().text(), offset);
    EXPECT_EQ(rig.ke.history().stack().count(), steps + 1);
    rig.ke.undoEdit();
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));

    // b is listened to until given up: a's offer and marks go at once, and c's open gives
    // b's detection up; c's steady beat marks nothing.
    ASSERT_TRUE(rig.openSong("/m/b.ogg", 30000));
    EXPECT_EQ(rig.marks(), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(*rig.started == 2, 5000);
    ASSERT_TRUE(rig.openSong("/m/c.ogg", 30000));
    QTRY_VERIFY_WITH_TIMEOUT(*rig.givenUp == 1 && rig.strip().tempoOffered(), 5000);
    EXPECT_EQ(rig.marks(), 0u);
    rig.strip().dismissTempo.click();
    EXPECT_FALSE(rig.strip().tempoOffered());

    // Turned off in the dialog: the next song is not listened to, but what the dialog
    // detects is marked.
    rig.ke.openTempoDialog();
    rig.ke.tempoDialog()->detectOnOpenBox().click();
    rig.ke.tempoDialog()->close();
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTest::qWait(50);
    EXPECT_EQ(*rig.started, 3);
    rig.ke.openTempoDialog();
    rig.ke.tempoDialog()->detect();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.ke.tempoDialog()->detecting(), 5000);
    EXPECT_EQ(rig.marks(), 1u);
    EXPECT_FALSE(rig.strip().tempoOffered());

    // On again, a detection going on when the window closes is given up.
    rig.ke.tempoDialog()->detectOnOpenBox().click();
    ASSERT_TRUE(rig.openSong("/m/b.ogg", 30000));
    QTRY_VERIFY_WITH_TIMEOUT(*rig.started == 5, 5000);
    rig.ke.close();
    QTRY_VERIFY_WITH_TIMEOUT(*rig.givenUp == 2, 5000);
}

TEST(TempoOffer, ATempoAppliedInTheDialogAnswersTheOffer)
{
    OfferRig rig;
    ASSERT_TRUE(rig.openSong("/m/a.ogg", 60000));
    QTRY_VERIFY_WITH_TIMEOUT(rig.strip().tempoOffered(), 5000);
    rig.ke.openTempoDialog();
    rig.ke.tempoDialog()->tempoBox().setText(QStringLiteral("85.00"));
    rig.ke.tempoDialog()->apply();
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("85.00"));
    EXPECT_FALSE(rig.strip().tempoOffered());
}
