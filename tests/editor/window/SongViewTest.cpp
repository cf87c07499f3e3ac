// The song under the chart in the window: the overview strip, the wheel over the canvas,
// the remembered view switch, and the song's peaks handed to the canvas.
#include "EditingRig.h"
#include "OverviewStrip.h"
#include "Rounding.h"

#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

void pressOnStrip(EditingRig& rig, double x, QEvent::Type type = QEvent::MouseButtonPress)
{
    OverviewStrip& strip = rig.ke.overview();
    const QPointF at(x, 20);
    QMouseEvent event(type, at, strip.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&strip, &event);
}

void wheel(EditingRig& rig, int angle, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    KeyCanvas& canvas = rig.ke.Picture1();
    const QPointF at(400, 100);
    QWheelEvent event(at, canvas.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&canvas, &event);
}

} // namespace

TEST(Overview, AClickOrDragPutsItsPointAtTheLeftOfTheCanvasAndEndsAFrozenSelection)
{
    EditingRig rig; // 60 s: the bar runs to 600
    const int last = OverviewStrip::SongWidth - 1;
    rig.drag(60, 10, 300, 100);
    ASSERT_TRUE(rig.ke.state().drag.MouseMove); // frozen
    pressOnStrip(rig, last / 2.0);
    EXPECT_EQ(rig.ke.TimeSet().value(), 300);
    EXPECT_FALSE(rig.ke.state().drag.MouseMove);
    pressOnStrip(rig, last * 0.1234, QEvent::MouseMove);
    EXPECT_EQ(rig.ke.TimeSet().value(), nearestInt32(600 * 0.1234));
    pressOnStrip(rig, 5000, QEvent::MouseMove); // dragged off the end
    EXPECT_EQ(rig.ke.TimeSet().value(), 556);   // the chart's last canvas width

    rig.ke.PlayPause(); // the view follows the play position to the start
    const int playing = rig.ke.TimeSet().value();
    pressOnStrip(rig, last / 2.0);
    EXPECT_EQ(rig.ke.TimeSet().value(), playing); // ignored while playing
    rig.ke.PlayPause();                           // paused
    pressOnStrip(rig, last / 2.0);
    EXPECT_EQ(rig.ke.TimeSet().value(), 300);
}

TEST(Overview, ShowsTheKeysOfEachMeasureTheMarkersAndTheCanvasView)
{
    EditingRig rig; // 60 s at 100 BPM: 25 measures of 2.4 s over the strip
    for (int c = 48; c < 64; ++c)
        rig.set(c, 1 + c % 6); // measure 4, from 7.2 s
    rig.set(96, 7);            // a marker at 14.4 s
    QTest::qWait(300);         // the strip counts the chart a few times a second
    rig.ke.overview().refresh({600, 0, 4000, -1, 28.0});
    const QImage strip = rig.ke.overview().grab().toImage();
    const auto x = [](double ms) { return int(ms / 60000 * (OverviewStrip::SongWidth - 1)); };
    const auto at = [&](double ms, int y) { return QColor(strip.pixel(x(ms), y)); };
    EXPECT_GT(at(8000, OverviewStrip::BarsBottom).green(), 150);    // the measure's bar
    EXPECT_LT(at(12000, OverviewStrip::BarsBottom).green(), 50);    // none in measure 6
    EXPECT_GT(at(14400, 1).blue(), 200);                            // the marker's tick
    EXPECT_GT(at(2000, 20).lightness(), at(20000, 20).lightness()); // the canvas's stretch
}

TEST(Overview, WheelOverTheCanvasMovesABeatPerNotchAndAMeasureWithShift)
{
    EditingRig rig;
    for (const char* bpm : {"100", "173"}) {
        SCOPED_TRACE(bpm);
        rig.ke.sBpm().setText(QString::fromLatin1(bpm));
        rig.ke.commitTempo();
        rig.ke.TimeSet().setValue(0);
        const double beatMs = 4.0 / double(rig.kep.BeatRate);
        wheel(rig, -120); // towards the user: on in the song
        EXPECT_EQ(rig.ke.TimeSet().value(), nearestInt32(beatMs / 100));
        wheel(rig, -60);
        wheel(rig, -60); // two halves make a notch
        EXPECT_EQ(rig.ke.TimeSet().value(), nearestInt32(2 * beatMs / 100));
        wheel(rig, -120, Qt::ShiftModifier);
        EXPECT_EQ(rig.ke.TimeSet().value(), nearestInt32(6 * beatMs / 100));
        wheel(rig, 240);
        EXPECT_EQ(rig.ke.TimeSet().value(), nearestInt32(4 * beatMs / 100));
    }
    rig.ke.PlayPause();
    const int playing = rig.ke.TimeSet().value();
    wheel(rig, -120);
    EXPECT_EQ(rig.ke.TimeSet().value(), playing);
}

TEST(ViewSwitch, TheToggleSwitchesTheCanvasAndTheChoiceSurvivesARestart)
{
    EditingRig rig;
    QToolButton& toggle = rig.ke.overview().guidesToggle();
    EXPECT_FALSE(toggle.toolTip().isEmpty());
    ASSERT_TRUE(toggle.isChecked());
    toggle.click();
    rig.ke.runPendingFrame();
    EXPECT_FALSE(rig.ke.renderer().guides().visible);
    rig.window.reset();
    EXPECT_FALSE(rig.make().overview().guidesToggle().isChecked());
    rig.window->setGuidesShown(true);
    rig.window.reset();
    EXPECT_TRUE(rig.make().guidesShown());
}

TEST(ViewSwitch, TheCanvasGetsTheSongsPeaksAndTheLead)
{
    EditingRig rig(0);
    auto peaks = std::make_shared<WaveformPeaks>(1, 44100, 441000);
    rig.engine.songPeaks["/m/song.ogg"] = peaks;
    ASSERT_TRUE(rig.openSong("/m/song.ogg", 10000));
    rig.ke.runPendingFrame();
    EXPECT_TRUE(rig.ke.renderer().guides().visible);
    EXPECT_EQ(rig.ke.renderer().guides().peaks, peaks);
    EXPECT_NEAR(rig.ke.renderer().guides().leadMs, 28.0, 1e-5); // 100 BPM, offset 0.7
    EXPECT_EQ(rig.ke.renderer().lastWaveform().size(), 974u);
}
