// The keyboard shortcuts: each does what its toolbar button does, none while an entry box
// has the focus, and none on the keypad.
#include "EditingRig.h"
#include "KeyboardCharting.h"
#include "LatencyDialog.h"
#include "Rounding.h"
#include "TempoDialog.h"

#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

struct ShownRig : EditingRig
{
    explicit ShownRig(int32_t songMs = 60000) : EditingRig(songMs) { show(); }
    explicit ShownRig(const std::function<void(QSettings&)>& remembered)
        : EditingRig(60000, remembered)
    {
        show();
    }
    void show()
    {
        ke.show();
        QApplication::setActiveWindow(&ke);
        active = QTest::qWaitForWindowActive(&ke);
    }
    bool active = false;

    // The key goes where a real one would: to the widget with the focus.
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &ke, k, m);
    }
};

} // namespace

TEST(Shortcuts, ClipboardKeys)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.set(10, 2);
    rig.set(12, 1);
    rig.drag(340, 10, 430, 320);
    rig.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(rig.clipboard.content, QStringLiteral("ZTC,2,15"));
    rig.key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(rig.at(10, 2), 0);
    EXPECT_EQ(rig.at(12, 1), 0);
    EXPECT_EQ(rig.ke.state().SelKeys, emptySelection());
    rig.click(48, 200);
    rig.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(rig.at(2, 2), 1);
    EXPECT_EQ(rig.at(4, 1), 1);
    rig.drag(60, 10, 170, 100); // cells 2 to 4
    ASSERT_EQ(rig.ke.state().SelKeys.size(), 3u);
    rig.key(Qt::Key_Delete);
    EXPECT_EQ(rig.at(2, 2), 0);
    EXPECT_EQ(rig.at(4, 1), 0);
}

TEST(Shortcuts, SaveOpenChartAndOpenMusic)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.chooser.answerCancel();
    rig.key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(rig.chooser.requests.size(), 1u);
    EXPECT_TRUE(rig.chooser.requests[0].save);
    EXPECT_EQ(rig.chooser.requests[0].title, QStringLiteral("Save FIle"));

    rig.chooser.answerCancel();
    rig.key(Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(rig.chooser.requests.size(), 2u);
    EXPECT_EQ(rig.chooser.requests[1].patterns, QStringList{QStringLiteral("*.SLK;*.ZTS")});

    rig.chooser.answerCancel();
    rig.key(Qt::Key_M, Qt::ControlModifier);
    ASSERT_EQ(rig.chooser.requests.size(), 3u);
    EXPECT_EQ(rig.chooser.requests[2].patterns.value(0), QStringLiteral("*.Ogg;*.Mp3;*.Wav"));
}

TEST(Shortcuts, SpacePlaysAndPausesEscapeStops)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.key(Qt::Key_Space);
    EXPECT_TRUE(rig.ke.state().IsPlaying);
    EXPECT_FALSE(rig.ke.state().IsPaused);
    rig.key(Qt::Key_Space);
    EXPECT_TRUE(rig.ke.state().IsPaused);
    rig.key(Qt::Key_Space);
    EXPECT_FALSE(rig.ke.state().IsPaused);
    rig.key(Qt::Key_Escape);
    EXPECT_FALSE(rig.ke.state().IsPlaying);
    EXPECT_EQ(rig.ke.state().CursorMs, 0);
}

TEST(Shortcuts, OpenKeysRefusedWhilePlayingLikeTheirButtons)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.key(Qt::Key_Space);
    ASSERT_FALSE(rig.ke.NeC1(8).isEnabled());
    rig.key(Qt::Key_O, Qt::ControlModifier);
    rig.key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(rig.chooser.requests.empty());
    rig.key(Qt::Key_Space); // paused: still disabled
    rig.key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(rig.chooser.requests.empty());
    rig.key(Qt::Key_Escape);
    rig.chooser.answerCancel();
    rig.key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(rig.chooser.requests.size(), 1u);
}

TEST(Shortcuts, NoneWhileAnEntryBoxHasTheFocus)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    for (FieldEdit* box : {&rig.ke.sBpm(), &rig.ke.sOff()}) {
        SCOPED_TRACE(box == &rig.ke.sBpm() ? "tempo" : "offset");
        box->setVisible(true);
        box->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus(); }, 1000));
        const QString text = box->text();
        rig.key(Qt::Key_S, Qt::ControlModifier);
        rig.key(Qt::Key_O, Qt::ControlModifier);
        rig.key(Qt::Key_Escape);
        EXPECT_TRUE(rig.chooser.requests.empty());
        const int bar = rig.ke.TimeSet().value();
        rig.key(Qt::Key_Right);
        rig.key(Qt::Key_W);
        rig.key(Qt::Key_End);
        EXPECT_EQ(rig.ke.TimeSet().value(), bar);
        EXPECT_TRUE(rig.ke.guidesShown());
        rig.key(Qt::Key_Space);
        EXPECT_FALSE(rig.ke.state().IsPlaying);
        EXPECT_EQ(box->text(), text + QStringLiteral("w ")); // the box got its keys
        rig.key(Qt::Key_Backspace);
        rig.key(Qt::Key_Backspace);
        rig.clipboard.content = QStringLiteral("ZTC,1");
        rig.click(48, 200);
        rig.key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(rig.at(2, 1), 0);
        box->clearFocus();
        box->setVisible(false);
    }
    // Away from the boxes they work again.
    rig.ke.setFocus(Qt::OtherFocusReason);
    rig.key(Qt::Key_Space);
    EXPECT_TRUE(rig.ke.state().IsPlaying);
}

TEST(Shortcuts, SpaceIsNotTakenByAControlWithTheFocus)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.ke.TimeSet().setFocus(Qt::OtherFocusReason);
    rig.key(Qt::Key_Space);
    EXPECT_TRUE(rig.ke.state().IsPlaying);
    EXPECT_EQ(rig.ke.focusPolicy(), Qt::StrongFocus);
}

// The keypad's keys enter keys at the cursor (StepEntry tests); no shortcut takes one,
// with Num Lock on or off.
TEST(Shortcuts, KeypadKeysRunNoCommand)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.ke.TimeSet().setValue(100);
    for (Qt::Key k : {Qt::Key_7, Qt::Key_4, Qt::Key_1, Qt::Key_9, Qt::Key_6, Qt::Key_3, Qt::Key_5,
                      Qt::Key_0, Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End,
                      Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Clear, Qt::Key_Insert})
        rig.key(k, Qt::KeypadModifier);
    EXPECT_FALSE(rig.ke.state().IsPlaying);
    EXPECT_TRUE(rig.chooser.requests.empty());
    EXPECT_EQ(rig.ke.TimeSet().value(), 100);
    EXPECT_EQ(rig.ke.state().CursorMs, 0);
}

TEST(Shortcuts, CtrlTOpensTheTempoDialogOnce)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.key(Qt::Key_T, Qt::ControlModifier);
    TempoDialog* dialog = rig.ke.tempoDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    rig.ke.openTempoDialog(); // raised again, not made twice
    EXPECT_EQ(rig.ke.tempoDialog(), dialog);
}

TEST(Shortcuts, CtrlLCalibratesTheLatencyAndSaveKeepsIt)
{
    ShownRig rig(
        [](QSettings& kept) { kept.setValue(QLatin1String(LatencyDialog::SettingsKey), 20.0); });
    ASSERT_TRUE(rig.active);
    EXPECT_EQ(rig.engine.calibratedLatencyMs, 20.0); // kept from an earlier run
    rig.engine.memoryLengthMs = 20000;
    rig.key(Qt::Key_L, Qt::ControlModifier);
    LatencyDialog* dialog = rig.ke.latencyDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->startButton().click();
    // Sixteen clicks over a track of their own, 500 ms apart after a second's lead-in.
    ASSERT_EQ(rig.engine.pending.size(), 16u);
    const StreamHandle track = rig.engine.pending[0].music;
    const LatencyCalibration timing;
    for (int beat = 0; beat < 16; ++beat)
        EXPECT_EQ(rig.engine.pending[size_t(beat)].musicMs, timing.clickMs(beat));
    // Keypad 5 pressed 60 ms after each click as the engine reckons it heard; keypad 7 is
    // no answer to a click.
    for (int beat = 0; beat < 16; ++beat) {
        rig.engine.advance(timing.clickMs(beat) + 60 - rig.engine.streams[track].posMs);
        rig.keys->press(0x4C, rig.engine.now);
        if (beat == 3)
            rig.keys->press(0x47, rig.engine.now);
        dialog->tick();
    }
    EXPECT_TRUE(dialog->running());
    rig.engine.advance(500);
    dialog->tick();
    EXPECT_FALSE(dialog->running());
    EXPECT_EQ(dialog->pressList().count(), 16);
    EXPECT_TRUE(dialog->pressList().item(0)->text().contains(QStringLiteral("60.0")));
    EXPECT_TRUE(dialog->resultLabel().text().contains(QStringLiteral("80.0 ms")))
        << dialog->resultLabel().text().toStdString();
    dialog->saveButton().click();
    EXPECT_EQ(rig.engine.calibratedLatencyMs, 80.0);
    EXPECT_EQ(
        rig.services().settings()->value(QLatin1String(LatencyDialog::SettingsKey)).toDouble(),
        80.0);
    EXPECT_FALSE(rig.engine.streams[track].playing);
}

// The time bar by a beat, a page, to the start and the end, at 100 and 173 BPM: N steps
// from a value go as far as N beats, rounded once to the bar's 100 ms steps.
TEST(Shortcuts, NavigationKeysMoveTheTimeBarByBeatsAndPages)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    for (const char* bpm : {"100", "173"}) {
        SCOPED_TRACE(bpm);
        rig.ke.sBpm().setText(QString::fromLatin1(bpm));
        rig.ke.commitTempo();
        const double beatMs = 4.0 / double(rig.kep.BeatRate);
        const double pageMs = 974.0 / 32.0 / double(rig.kep.BeatRate);
        const auto bar = [&] { return rig.ke.TimeSet().value(); };
        rig.key(Qt::Key_End);
        const int end = bar(); // the chart's last canvas width, before the song's end
        EXPECT_LT(end, 600);
        rig.key(Qt::Key_Home);
        EXPECT_EQ(bar(), 0);
        // The view's beat steps have no key of their own by default (the arrows move the
        // cursor); the Keys dialog can give them one.
        for (int n = 1; n <= 5; ++n) {
            rig.ke.charting().run(Command::ViewBeatOn);
            EXPECT_EQ(bar(), nearestInt32(n * beatMs / 100.0)) << n;
        }
        rig.ke.charting().run(Command::ViewBeatBack);
        EXPECT_EQ(bar(), nearestInt32(4 * beatMs / 100.0));
        rig.key(Qt::Key_PageDown);
        EXPECT_EQ(bar(), nearestInt32((4 * beatMs + pageMs) / 100.0));
        rig.key(Qt::Key_PageUp);
        rig.key(Qt::Key_PageUp);
        EXPECT_EQ(bar(), 0); // not before the start
        rig.key(Qt::Key_End);
        rig.ke.charting().run(Command::ViewBeatOn);
        EXPECT_EQ(bar(), end); // nor after the end
    }
}

TEST(Shortcuts, NavigationKeysNotWhilePlayingNorFromTheKeypadAndWAlways)
{
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    rig.ke.TimeSet().setValue(100);
    // With Num Lock off the keypad's digits arrive as these keys; they are for recording.
    for (Qt::Key k :
         {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown})
        rig.key(k, Qt::KeypadModifier);
    EXPECT_EQ(rig.ke.TimeSet().value(), 100);
    rig.key(Qt::Key_Space);
    ASSERT_TRUE(rig.ke.state().IsPlaying);
    const int playing = rig.ke.TimeSet().value();
    rig.key(Qt::Key_Right);
    rig.key(Qt::Key_Home);
    EXPECT_EQ(rig.ke.TimeSet().value(), playing);
    rig.key(Qt::Key_W); // the view switch works while playing
    EXPECT_FALSE(rig.ke.guidesShown());
    rig.key(Qt::Key_Space); // paused: the view may move again
    rig.key(Qt::Key_Home);
    EXPECT_EQ(rig.ke.TimeSet().value(), 0);
}
