// The tempo dialog on a window over fakes, with the real detection on a generated song.
#include "TempoDialog.h"
#include "FakeServices.h"
#include "NumberReading.h"
#include "OverviewStrip.h"
#include "TestAudio.h"
#include "TestSongs.h"

#include <QTest>
#include <QToolButton>

#include <sndfile.h>

#include <cmath>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

constexpr int32_t SongMs = 12000;

struct TempoRig : EditorRig
{
    TempDir dir;
    KE& ke;
    TempoRig()
        : ke(make([this] {
              EditorServices s = services();
              s.detectTempo = detectSongTempo;
              return s;
          }()))
    {
    }

    // A song with drums on every beat at `bpm` from `firstBeatMs`, opened in the window.
    std::string openGenerated(double bpm, double firstBeatMs)
    {
        const SongPlan plan{"dialog", bpm, firstBeatMs, SongMs / 1000.0};
        const std::string path = dir.file("song.wav");
        EXPECT_TRUE(
            writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, makeSong(plan)));
        EXPECT_TRUE(openSong(path, SongMs));
        return path;
    }

    TempoDialog& dialog()
    {
        ke.openTempoDialog();
        return *ke.tempoDialog();
    }
};

} // namespace

TEST(TempoDialog, DetectShowsTheSongsTimingAndApplyCommitsIt)
{
    TempoRig rig;
    rig.openGenerated(140.0, 250.0);
    TempoDialog& d = rig.dialog();
    d.detectButton().click();
    ASSERT_TRUE(d.detecting());
    QTRY_VERIFY_WITH_TIMEOUT(!d.detecting(), 120000);
    EXPECT_EQ(d.progressBar().value(), 100);

    // Shown to hundredths and thousandths, and put in the boxes to apply.
    const QString tempo = d.tempoBox().text();
    EXPECT_EQ(d.detectedTempo().text(), tempo + QStringLiteral(" BPM"));
    EXPECT_EQ(tempo.size() - tempo.indexOf(QLatin1Char('.')), 3);
    const double bpm = tempo.toDouble();
    EXPECT_NEAR(bpm, 140.0, 0.05);
    const QString offset = d.offsetBox().text();
    EXPECT_EQ(d.detectedOffset().text(), offset);
    EXPECT_EQ(offset.size() - offset.indexOf(QLatin1Char('.')), 4);
    EXPECT_GT(d.detectedConfidence().text().toDouble(), 0.7);
    // Through the window's offset rule, every fourth cell lands on a beat.
    const double leadMs = 0.4 * bpm * (1.4 - offset.toDouble());
    const double periodMs = 60000.0 / bpm;
    const double phase = std::remainder(-leadMs - 250.0, periodMs);
    EXPECT_LT(std::abs(phase), 5.0);

    // Nothing has changed yet, and nothing does while the song plays.
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.ke.state().OffsetVal, 4200.0);
    rig.ke.buttonClick(0);
    d.applyButton().click();
    EXPECT_TRUE(d.statusLabel().text().contains(QStringLiteral("playing")));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    rig.ke.buttonClick(0); // paused: the boxes may be committed

    d.applyButton().click();
    EXPECT_EQ(rig.ke.sBpmB().text(), tempo);
    EXPECT_EQ(rig.ke.slSetOff().text(), offset);
    EXPECT_EQ(rig.kep.BeatRate, *tempoRate(rig.ke.services().locale, tempo));
    EXPECT_EQ(rig.ke.state().OffsetVal, offsetTerm(offset.toDouble()));
    // The grid grew to the song at the new tempo, and the counter says so.
    EXPECT_EQ(rig.kep.TotalBeats, 112); // 12 s at 140 BPM, up from 80 at 100
    EXPECT_EQ(rig.ke.cBeat().text(), rig.kep.beatCounterAtStart());

    // One step undoes both boxes and the growth, and redoes them, each part fitting the
    // chart as it is then (a part that does not is reported on stderr).
    testing::internal::CaptureStderr();
    rig.ke.undoEdit();
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.ke.state().OffsetVal, 4200.0);
    EXPECT_EQ(rig.kep.TotalBeats, 80);
    rig.ke.redoEdit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(rig.ke.sBpmB().text(), tempo);
    EXPECT_EQ(rig.ke.state().OffsetVal, offsetTerm(offset.toDouble()));
    EXPECT_EQ(rig.kep.TotalBeats, 112);
}

TEST(TempoDialog, NothingChangesWithoutApply)
{
    TempoRig rig;
    rig.ke.overview().tempoButton().click(); // the strip's button opens it too
    ASSERT_NE(rig.ke.tempoDialog(), nullptr);
    TempoDialog& first = *rig.ke.tempoDialog();
    first.detectButton().click();
    EXPECT_FALSE(first.detecting());
    EXPECT_TRUE(first.statusLabel().text().contains(QStringLiteral("No song")));
    first.close();

    rig.openGenerated(120.0, 0.0);
    const int32_t cells = rig.kep.TotalBeats;
    TempoDialog& d = rig.dialog();
    d.detectButton().click();
    d.cancelButton().click();
    EXPECT_FALSE(d.detecting());
    EXPECT_TRUE(d.detectButton().isEnabled());
    for (double ms : {0.0, 400.0, 800.0, 1200.0})
        d.tap(ms);
    EXPECT_EQ(d.tempoBox().text(), QStringLiteral("150.00"));
    d.offsetBox().setText(QStringLiteral("1.5"));
    // A text the box would refuse: neither is committed.
    d.tempoBox().setText(QStringLiteral("fast"));
    d.applyButton().click();
    EXPECT_TRUE(d.statusLabel().text().contains(QStringLiteral("not a tempo")));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    d.close();
    EXPECT_EQ(rig.ke.sBpmB().text(), QStringLiteral("100"));
    EXPECT_EQ(rig.ke.slSetOff().text(), QStringLiteral("0.7"));
    EXPECT_EQ(rig.kep.BeatRate, KeP::rateFromBpm(100));
    EXPECT_EQ(rig.ke.state().OffsetVal, 4200.0);
    EXPECT_EQ(rig.kep.TotalBeats, cells);
}

TEST(TempoDialog, ReadingsAreChoicesWithTheirOwnOffsetsUnsureAndDriftSaid)
{
    TempoResult r;
    r.bpm = 170.0;
    r.firstBeatMs = 250.0;
    r.candidates = {{170.0, 250.0, 0.5}, {85.0, 250.0, 0.3}, {113.33, 600.0, 0.2}};
    r.constant = false;
    r.offGrid = {{12400.0, 20000.0}, {65000.0, 70900.0}};
    std::vector<std::pair<QString, QString>> applied;
    for (const double confidence : {SureConfidence, SureConfidence - 0.01}) {
        SCOPED_TRACE(confidence);
        r.confidence = confidence;
        TempoDialog::Host host;
        host.songPath = [] { return QStringLiteral("/m/song.ogg"); };
        host.detect = [r](const QString&, const TempoOptions&, const std::stop_token&,
                          const TempoDetector::Progress&) {
            return SongTempo{{}, {}, r};
        };
        host.apply = [&](const QString& tempo, const QString& offset) {
            applied.emplace_back(tempo, offset);
            return QString();
        };
        host.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        TempoDialog d(std::move(host));
        d.detect();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !d.detecting(); }, 5000));
        // Unsure in words below the sure confidence, the number still shown.
        EXPECT_EQ(
            d.statusLabel().text().startsWith(QStringLiteral("Not sure: check with the metronome")),
            confidence < SureConfidence);
        EXPECT_EQ(d.detectedConfidence().text(), QString::number(confidence, 'f', 2));
        EXPECT_FALSE(d.driftLabel().isHidden());
        EXPECT_TRUE(
            d.driftLabel().text().contains(QStringLiteral("0:12\u20130:20, 1:05\u20131:10")));

        // The answer is chosen first; another puts its own tempo and offset to apply.
        ASSERT_EQ(d.candidatesShown(), 3);
        EXPECT_TRUE(d.candidateButton(0).isChecked());
        EXPECT_EQ(d.offsetBox().text(), offsetText(r));
        const TempoCandidate& third = r.candidates[2];
        ASSERT_NE(offsetText(third), offsetText(r));
        d.candidateButton(2).click();
        EXPECT_EQ(d.tempoBox().text(), QStringLiteral("113.33"));
        d.applyButton().click();
        EXPECT_EQ(applied.back(), std::pair(QStringLiteral("113.33"), offsetText(third)));
    }
}
