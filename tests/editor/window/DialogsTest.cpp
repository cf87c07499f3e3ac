// The tempo and calibration dialogs as they are seen: rows that do not overlap, one line
// per click, and a window that never waits for a detection being given up.
#include "EditingRig.h"
#include "LatencyCalibration.h"
#include "LatencyDialog.h"
#include "TempoDialog.h"

#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tavix;
using namespace tavix::test;

TEST(TempoDialogLayout, NoRowCoversAnother)
{
    TempoDialog dialog(TempoDialog::Host{});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto check = [&] {
        QApplication::processEvents();
        const QLabel& status = dialog.statusLabel();
        EXPECT_GE(status.height(), status.heightForWidth(status.width()));
        EXPECT_GE(dialog.tapPad().y(), status.geometry().bottom());
        EXPECT_GT(dialog.tapLabel().y(), dialog.tapPad().geometry().bottom());
        EXPECT_GE(dialog.tapLabel().height(), dialog.tapLabel().sizeHint().height());
    };
    check();
    dialog.statusLabel().setText(QString(QStringLiteral("a long status line ")).repeated(12));
    check();
}

TEST(TempoDialogWork, CancellingOrClosingNeverWaitsForTheDetection)
{
    // A detection slow to notice it was cancelled; it counts the runs let go in time.
    struct Runs
    {
        std::atomic<int> started{0}, ended{0}, letGoInTime{0};
        std::atomic<bool> go{false};
    };
    auto runs = std::make_shared<Runs>();
    TempoDialog::Host host;
    host.songPath = [] { return QStringLiteral("/m/song.ogg"); };
    host.detect = [runs](const QString&, const TempoOptions&, const std::stop_token&,
                         const TempoDetector::Progress&) {
        ++runs->started;
        for (int i = 0; i < 500 && !runs->go; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        runs->letGoInTime += runs->go ? 1 : 0;
        ++runs->ended;
        SongTempo cancelled;
        cancelled.status = SongTempo::Status::Cancelled;
        return cancelled;
    };
    auto* dialog = new TempoDialog(std::move(host));
    dialog->detect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs->started == 1; }, 5000));
    dialog->cancelDetection();
    dialog->detect(); // a new run while the cancelled one winds down
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs->started == 2; }, 5000));
    delete dialog; // closed while it runs
    runs->go = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs->ended == 2; }, 10000));
    QTest::qWait(20); // what the runs post back finds no dialog
    EXPECT_EQ(runs->letGoInTime.load(), 2) << "the window waited for a run";
}

TEST(LatencyDialogList, EachClickHasOneLineAndPressesLeftOutAreNamedSo)
{
    EditingRig rig;
    rig.engine.memoryLengthMs = 20000;
    rig.ke.calibrateLatency();
    LatencyDialog* dialog = rig.ke.latencyDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->startButton().click();
    const StreamHandle track = rig.engine.pending[0].music;
    const LatencyCalibration timing;
    const auto pressAt = [&](double ms) {
        rig.engine.advance(ms - rig.engine.streams[track].posMs);
        rig.keys->press(0x4C, rig.engine.now);
        dialog->tick();
    };
    pressAt(300.0); // in the lead-in, far from any click
    for (int beat = 0; beat < 8; ++beat) {
        pressAt(timing.clickMs(beat) + 40);
        if (beat == 2)
            pressAt(timing.clickMs(beat) + 120); // a second press on one click
    }
    const QListWidget& list = dialog->pressList();
    ASSERT_EQ(list.count(), 10);
    for (int beat = 1; beat <= 8; ++beat) {
        int lines = 0;
        for (int i = 0; i < list.count(); ++i)
            lines += list.item(i)->text().startsWith(QStringLiteral("Click %1:").arg(beat, 2));
        EXPECT_EQ(lines, 1) << beat;
    }
    EXPECT_TRUE(list.item(0)->text().contains(QStringLiteral("left out")));
    EXPECT_TRUE(list.item(4)->text().contains(QStringLiteral("left out")));
}
