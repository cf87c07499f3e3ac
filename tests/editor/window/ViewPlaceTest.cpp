// Where the view, the lines and the counters stand after the user moves: End, the strip's
// end and the end of playback show the chart's last canvas width, and a page is a canvas
// width, at every zoom; a pause shows where it paused; an opened chart's counters agree.
#include "EditingRig.h"
#include "KeyboardCharting.h"
#include "NativeChartWriter.h"
#include "OverviewStrip.h"
#include "Rounding.h"
#include "TimeAxis.h"
#include "ViewNavigator.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace tavix;
using namespace tavix::test;

namespace {

// The x of the last quad of a kind in a fresh frame that passes `where`.
template <typename Where> std::optional<float> lastQuadX(EditingRig& rig, Texture t, Where where)
{
    rig.ke.runPendingFrame();
    std::optional<float> x;
    for (const Quad& q : rig.ke.renderer().lastFrame())
        if (q.texture == t && where(q))
            x = q.v[0].x;
    return x;
}

void expectLastWidthShown(EditingRig& rig, int cellWidth = 32)
{
    // The chart's only row-1 key is in its last cell: whole, near the right edge.
    const auto x = lastQuadX(rig, Texture::Key1, [](const Quad&) { return true; });
    ASSERT_TRUE(x.has_value()) << "the last cell is not in view";
    TimeAxis axis;
    axis.cellWidth = cellWidth;
    const auto glyph = float(axis.glyphWidth());
    EXPECT_GE(*x, 0.0f);
    EXPECT_LE(*x + glyph, 974.0f);
    EXPECT_GT(*x + glyph, 974.0f - float(2 * cellWidth)) << "the view shows less than it could";
}

} // namespace

TEST(ViewPlace, EndAndTheStripsEndShowTheLastCanvasWidth)
{
    EditingRig rig; // 60 s: the bar runs to 600
    for (const char* bpm : {"100", "173"}) {
        SCOPED_TRACE(bpm);
        rig.ke.sBpm().setText(QString::fromLatin1(bpm));
        rig.ke.commitTempo();
        rig.set(rig.kep.TotalBeats - 1, 1);
        rig.ke.navigate(ViewNavigator::Step::End);
        const int end = rig.ke.TimeSet().value();
        expectLastWidthShown(rig);
        rig.ke.navigate(ViewNavigator::Step::BeatOn);
        EXPECT_EQ(rig.ke.TimeSet().value(), end);
        rig.ke.navigate(ViewNavigator::Step::Start);
        rig.ke.overview().timeSetChosen(600); // a click at the strip's right end
        EXPECT_EQ(rig.ke.TimeSet().value(), end);
    }
}

TEST(ViewPlace, PagesAndEndAreTheCanvasAtTheZoom)
{
    EditingRig rig;
    rig.set(rig.kep.TotalBeats - 1, 1);
    const double classicPageMs = 974.0 / 32.0 / double(rig.kep.BeatRate);
    for (int width : {32, 8}) {
        SCOPED_TRACE(width);
        while (rig.ke.charting().cellWidth() > width)
            rig.ke.charting().run(Command::ZoomOut);
        ASSERT_EQ(rig.ke.charting().cellWidth(), width);
        rig.ke.charting().run(Command::ViewStart);
        rig.ke.charting().run(Command::PageOn);
        EXPECT_EQ(rig.ke.TimeSet().value(), nearestInt32(32 / width * classicPageMs / 100.0));
        rig.ke.charting().run(Command::ViewEnd);
        expectLastWidthShown(rig, width);
    }
}

TEST(ViewPlace, PlaybackEndsWithTheLastCanvasWidthShown)
{
    EditingRig rig;
    rig.set(rig.kep.TotalBeats - 1, 1);
    rig.ke.TimeSet().setValue(540);
    rig.click(100, EditingRig::yOfRow(0)); // the cursor, and the music, near the end
    rig.ke.PlayPause();
    for (int i = 0; i < 2000 && rig.ke.state().IsPlaying; ++i)
        rig.step(50);
    ASSERT_FALSE(rig.ke.state().IsPlaying);
    expectLastWidthShown(rig);
}

TEST(ViewPlace, WhilePausedBothLinesShowThePausedPosition)
{
    EditingRig rig;
    rig.ke.PlayPause();
    for (int i = 0; i < 10; ++i)
        rig.step(100);
    rig.ke.PlayPause(); // paused about a second in
    rig.ke.runPendingFrame();
    const int32_t paused = rig.ke.state().CursorMs;
    ASSERT_GT(paused, 900);
    EXPECT_EQ(rig.ke.state().PlayMs, paused);
    const auto line =
        lastQuadX(rig, Texture::Line, [](const Quad& q) { return q.v[2].y == 434.0f; });
    ASSERT_TRUE(line.has_value());
    EXPECT_NEAR(*line, 14.0 + double(rig.kep.BeatRate) * paused * 32.0, 0.01);
    const QImage strip = rig.ke.overview().grab().toImage();
    const int x = int(rig.ke.overview().xOfMs(paused));
    EXPECT_EQ(QColor(strip.pixel(x, 2)), QColor(128, 128, 255));
}

TEST(ViewPlace, OpeningAChartRewritesBothCounters)
{
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("long.zts"));
    ASSERT_TRUE(NativeChartWriter::writeGrid(std::vector<uint8_t>(1200 * 7 + 1, 0), chart).ok());

    EditingRig alone(0);
    ASSERT_TRUE(alone.ke.openChartFile(chart, QStringLiteral("long.zts")));
    EXPECT_EQ(alone.ke.cPos().text(), QStringLiteral("0:00/3:00"));
    EXPECT_EQ(alone.ke.cBeat().text(), QStringLiteral("0000/1200"));

    EditingRig withSong; // the cursor placed 10 s in, then a chart opened over the song
    withSong.ke.TimeSet().setValue(100);
    withSong.click(16, EditingRig::yOfRow(0));
    ASSERT_EQ(withSong.ke.state().CursorMs, 10000);
    ASSERT_TRUE(withSong.ke.openChartFile(chart, QStringLiteral("long.zts")));
    EXPECT_EQ(withSong.ke.cPos().text(), QStringLiteral("0:10/1:00"));
    EXPECT_EQ(withSong.ke.cBeat().text(), QStringLiteral("0066/1200"));
}
