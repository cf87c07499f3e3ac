// The keyboard shortcuts: each does what its toolbar button does, none while an entry box
// has the focus, and none on the keypad.
#include "EditingRig.h"
#include "KeyboardShortcuts.h"
#include "LatencyDialog.h"
#include "TempoDialog.h"

#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

struct ShownRig : EditingRig
{
    explicit ShownRig(int32_t songMs = 60000) : EditingRig(songMs)
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
        rig.key(Qt::Key_End);
        rig.key(Qt::Key_Space);
        EXPECT_FALSE(rig.ke.state().IsPlaying);
        EXPECT_EQ(box->text(), text + QLatin1Char(' ')); // the box got its key
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

TEST(Shortcuts, KeypadKeysStayFreeForRecording)
{
    for (const KeyboardShortcuts::Binding& b : KeyboardShortcuts::bindings()) {
        const QKeyCombination k = b.keys[0];
        EXPECT_FALSE(k.keyboardModifiers() & Qt::KeypadModifier);
        EXPECT_FALSE(k.key() >= Qt::Key_0 && k.key() <= Qt::Key_9) << b.button;
        EXPECT_EQ(b.keys.count(), 1);
    }
    ShownRig rig;
    ASSERT_TRUE(rig.active);
    const auto grid = rig.kep.KeyGrid;
    for (Qt::Key k :
         {Qt::Key_7, Qt::Key_4, Qt::Key_1, Qt::Key_9, Qt::Key_6, Qt::Key_3, Qt::Key_5, Qt::Key_0})
        rig.key(k, Qt::KeypadModifier);
    EXPECT_FALSE(rig.ke.state().IsPlaying);
    EXPECT_TRUE(rig.chooser.requests.empty());
    EXPECT_EQ(rig.kep.KeyGrid, grid);
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
    const auto settings = [] {
        return QSettings(QStringLiteral("tavix"), QStringLiteral("tavix-editor"));
    };
    settings().setValue(QLatin1String(LatencyDialog::SettingsKey), 20.0);
    ShownRig rig;
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
    EXPECT_EQ(settings().value(QLatin1String(LatencyDialog::SettingsKey)).toDouble(), 80.0);
    EXPECT_FALSE(rig.engine.streams[track].playing);
    settings().remove(QLatin1String(LatencyDialog::SettingsKey));
}
