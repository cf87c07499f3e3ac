// The tempo and calibration dialogs as they are seen: rows that do not overlap, one line
// per click, and a window that never waits for a detection being given up.
#include "EditingRig.h"
#include "LatencyCalibration.h"
#include "LatencyDialog.h"
#include "TempoDialog.h"

#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

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

namespace {

// A detection that takes its time to notice it was cancelled, and says whether it was let
// go before its patience ran out.
struct SlowDetection
{
    std::mutex m;
    std::condition_variable cv;
    int started = 0, ended = 0, letGoInTime = 0;
    bool go = false;

    TempoDialog::Detection function(std::shared_ptr<SlowDetection> self)
    {
        return [self](const QString&, const TempoOptions&, const std::stop_token&,
                      const TempoDetector::Progress&) {
            std::unique_lock lock(self->m);
            ++self->started;
            self->cv.notify_all();
            if (self->cv.wait_for(lock, std::chrono::seconds(5), [&] { return self->go; }))
                ++self->letGoInTime;
            ++self->ended;
            self->cv.notify_all();
            SongTempo cancelled;
            cancelled.status = SongTempo::Status::Cancelled;
            return cancelled;
        };
    }
    int count(int SlowDetection::*field)
    {
        std::lock_guard lock(m);
        return this->*field;
    }
};

} // namespace

TEST(TempoDialogWork, CancellingOrClosingNeverWaitsForTheDetection)
{
    auto slow = std::make_shared<SlowDetection>();
    TempoDialog::Host host;
    host.songPath = [] { return QStringLiteral("/m/song.ogg"); };
    host.detect = slow->function(slow);
    auto* dialog = new TempoDialog(std::move(host));
    dialog->detect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slow->count(&SlowDetection::started) == 1; }, 5000));
    dialog->cancelDetection();
    dialog->detect(); // a new run while the cancelled one winds down
    ASSERT_TRUE(QTest::qWaitFor([&] { return slow->count(&SlowDetection::started) == 2; }, 5000));
    EXPECT_TRUE(dialog->detecting());
    delete dialog; // closed while it runs
    {
        std::lock_guard lock(slow->m);
        slow->go = true;
    }
    slow->cv.notify_all();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slow->count(&SlowDetection::ended) == 2; }, 10000));
    QTest::qWait(20); // what the runs post back finds no dialog
    EXPECT_EQ(slow->count(&SlowDetection::letGoInTime), 2) << "the window waited for a run";
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
