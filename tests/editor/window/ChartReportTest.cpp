// The chart report in the window on fakes: opened with its shortcut over the chart as it
// is, made again after an edit, and a finding chosen puts the cursor on its first cell,
// except while the song plays.
#include "ChartReportDialog.h"
#include "ChartReportWiring.h"
#include "CheckLimitsRow.h"
#include "EditingRig.h"
#include "KeyboardCharting.h"
#include "KeysPerMeasureGraph.h"
#include "WaveformPeaks.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

void clickOn(QListWidget& list, int row)
{
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualItemRect(list.item(row)).center());
}

} // namespace

TEST(ChartReport, FollowsTheChartAndChosenFindingsMoveTheCursor)
{
    using Figure = ChartReportDialog::Figure;
    EditingRig rig; // 100 BPM: a cell is 150 ms, and cell 0 is in the lead of 28 ms
    for (int32_t c = 16; c < 24; ++c)
        rig.set(c, 1);
    rig.set(50, 2, 2);
    const GridBytes grid = rig.kep.KeyGrid;
    const int steps = rig.ke.history().stack().index();
    const QString caption = rig.ke.windowTitle();

    rig.ke.charting().run(Command::ChartReport);
    ChartReportDialog* report = rig.ke.report().dialog();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->figure(Figure::Keys).text(), "8");
    EXPECT_EQ(report->figure(Figure::KeyedLength).text(), "0:01, 8 cells (cells 16-23)");
    EXPECT_EQ(report->figure(Figure::LongestRun).text(), "8 cells, from cell 16 (measure 2)");
    ASSERT_EQ(report->graph().counts().size(), 25u);
    EXPECT_EQ(report->graph().counts()[1], 8);
    QListWidget& list = report->findings();
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.item(0)->text(),
              "Measure 4 (cell 50): 1 grid value other than 0 and 1 (up to 2)");
    EXPECT_EQ(rig.kep.KeyGrid, grid);
    EXPECT_EQ(rig.ke.history().stack().index(), steps);
    EXPECT_EQ(rig.ke.windowTitle(), caption);

    // A key clicked into cell 0, before the music starts.
    rig.click(EditingRig::xOfCell(0), EditingRig::yOfRow(1));
    ASSERT_EQ(rig.at(0, 1), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(report->figure(Figure::Keys).text(), "9");
    ASSERT_EQ(list.count(), 2);
    EXPECT_TRUE(list.item(0)->text().startsWith("Measure 1 (cell 0): 1 key before the music"))
        << list.item(0)->text().toStdString();

    CursorKeys& cursor = rig.ke.charting().cursorKeys();
    cursor.placeCursor(200);
    clickOn(list, 1);
    EXPECT_EQ(cursor.cursorCell(), 50);
    list.setCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(cursor.cursorCell(), 0);
    EXPECT_TRUE(report->isVisible()); // Enter showed the finding; it did not close the report

    // While the song plays a choice would seek it; it is refused.
    rig.ke.PlayPause();
    ASSERT_TRUE(rig.ke.session().moving());
    rig.engine.log.clear();
    clickOn(list, 1);
    EXPECT_EQ(rig.lastSeek(), "");
}

TEST(ChartReport, TheSongsLevelsFindKeysOverItsSilence)
{
    // 10 s of song, silent for its first second.
    auto peaks = std::make_shared<WaveformPeaks>(1, 44100, 441000);
    std::vector<int16_t> samples(441000, 16000);
    std::fill_n(samples.begin(), 44100, int16_t(0));
    peaks->add(samples.data(), int64_t(samples.size()));
    peaks->finish();
    EditingRig rig(0);
    rig.engine.songPeaks["/m/song.ogg"] = peaks;
    ASSERT_TRUE(rig.openSong("/m/song.ogg", 10000));
    rig.set(4, 1);  // at 572 ms of the music
    rig.set(20, 1); // at 2972 ms

    rig.ke.charting().run(Command::ChartReport);
    QListWidget& list = rig.ke.report().dialog()->findings();
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.item(0)->text(),
              "Measure 1 (cell 4): 1 key where the song is silent (1.0 s from 0:00)");
    // A second of quiet is no silence to one who asks for two.
    QDoubleSpinBox& length = rig.ke.report().dialog()->limits().box(4);
    length.setValue(2000.0);
    emit length.editingFinished();
    EXPECT_EQ(rig.ke.report().dialog()->findings().count(), 0);
}

TEST(ChartReport, TheRepeatLimitIsTheUsersAndKeptWithTheSettings)
{
    EditingRig rig; // 150 ms a cell: keys in neighbouring cells come again after 150 ms
    rig.set(16, 1);
    rig.set(17, 1);
    rig.ke.charting().run(Command::ChartReport);
    ChartReportDialog* report = rig.ke.report().dialog();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->findings().count(), 0); // 150 ms is not too soon by default (60 ms)
    QDoubleSpinBox& repeat = report->limits().box(2);
    repeat.setValue(200.0);
    emit repeat.editingFinished();
    ASSERT_EQ(report->findings().count(), 1);
    EXPECT_TRUE(report->findings().item(0)->text().contains(QStringLiteral("cells 16-17")))
        << report->findings().item(0)->text().toStdString();
    report->close();
    QTest::qWait(1);
    // A report opened again uses the limit set, which is kept with the settings.
    rig.ke.charting().run(Command::ChartReport);
    EXPECT_EQ(rig.ke.report().dialog()->limits().limits().repeatMs, 200.0);
    EXPECT_EQ(rig.ke.report().dialog()->findings().count(), 1);
    const auto settings = rig.ke.services().settings();
    EXPECT_EQ(settings->value(QStringLiteral("checks/repeatMs")).toDouble(), 200.0);
}
