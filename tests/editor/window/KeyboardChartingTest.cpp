// Charting at the keyboard in the window, through real key events: step entry at the
// cursor, the snap and the cursor's moves, keyboard selections, the transforms and their
// refusals, the zoom, and shortcuts rebound and kept.
#include "KeyboardCharting.h"
#include "CanvasView.h"
#include "EditingRig.h"

#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace tavix::test;

namespace {

struct KeysRig : EditingRig
{
    explicit KeysRig(int32_t songMs = 60000) : EditingRig(songMs) { show(); }
    // A later run, with the settings an earlier one left.
    explicit KeysRig(const QString& earlierSettings)
        : EditingRig(60000, [earlierSettings](QSettings& settings) {
              const QSettings earlier(earlierSettings, QSettings::IniFormat);
              for (const QString& key : earlier.allKeys())
                  settings.setValue(key, earlier.value(key));
          })
    {
        show();
    }
    void show()
    {
        ke.show();
        QApplication::setActiveWindow(&ke);
        ke.setFocus(Qt::OtherFocusReason);
        active = QTest::qWaitForWindowActive(&ke);
    }
    bool active = false;

    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &ke, k, m);
    }
    void keypad(Qt::Key k) { key(k, Qt::KeypadModifier); }
    int64_t cursorCell() { return ke.charting().cursorKeys().cursorCell(); }
    // The cursor onto a cell as a click outside the rows puts it there.
    void cursorTo(int cell) { click(xOfCell(cell), yOfRow(0)); }
};

} // namespace

// Keypad 7 4 1 9 6 3, 5 and 0 at the cursor toggle what a click on that row of the cell
// toggles, byte for byte, each one step of the history.
TEST(StepEntry, GivesTheBytesAClickOnTheRowWould)
{
    const std::vector<std::pair<Qt::Key, int>> keys{
        {Qt::Key_7, 1}, {Qt::Key_4, 2}, {Qt::Key_1, 3}, {Qt::Key_9, 4},
        {Qt::Key_6, 5}, {Qt::Key_3, 6}, {Qt::Key_5, 7}, {Qt::Key_Left, 2}};
    EditingRig clicked; // not shown: the typed window keeps the keyboard
    KeysRig typed;
    ASSERT_TRUE(typed.active);
    typed.set(5, 2, 2); // a foreign byte: a toggle makes it 1, as a click does
    clicked.set(5, 2, 2);
    typed.cursorTo(5);
    ASSERT_EQ(typed.cursorCell(), 5);
    const int stepsBefore = typed.ke.history().stack().index();
    for (const auto& [key, row] : keys) {
        typed.keypad(key);
        clicked.click(EditingRig::xOfCell(5), EditingRig::yOfRow(row));
        ASSERT_EQ(typed.kep.KeyGrid, clicked.kep.KeyGrid) << row;
    }
    EXPECT_EQ(typed.at(5, 2), 0); // 2 -> 1 by keypad 4, back to 0 by its arrow form
    EXPECT_EQ(typed.at(5, 7), 1);
    EXPECT_EQ(typed.ke.history().stack().index(), stepsBefore + int(keys.size()));
    typed.keypad(Qt::Key_0); // the second confirm key clears the marker 5 set
    EXPECT_EQ(typed.at(5, 7), 0);
    EXPECT_EQ(typed.cursorCell(), 5); // without the advance option the cursor stays
}

TEST(StepEntry, AdvancesBySnapWhenAskedAndNotWhilePlaying)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    rig.ke.charting().strip().advance.click();
    rig.key(Qt::Key_Up); // a snap of an eighth
    EXPECT_EQ(rig.ke.charting().strip().snap.text(), QStringLiteral("Snap 1/8"));
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    // A chord: both held together land in one cell, and the cursor moves on once.
    QTest::keyPress(target, Qt::Key_7, Qt::KeypadModifier);
    QTest::keyPress(target, Qt::Key_3, Qt::KeypadModifier);
    QTest::keyRelease(target, Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(rig.cursorCell(), 0);
    QTest::keyRelease(target, Qt::Key_3, Qt::KeypadModifier);
    EXPECT_EQ(rig.at(0, 1), 1);
    EXPECT_EQ(rig.at(0, 6), 1);
    EXPECT_EQ(rig.cursorCell(), 2);
    rig.keypad(Qt::Key_9);
    EXPECT_EQ(rig.at(2, 4), 1);
    EXPECT_EQ(rig.cursorCell(), 4);
    rig.key(Qt::Key_Space);
    ASSERT_TRUE(rig.ke.state().IsPlaying);
    const auto grid = rig.kep.KeyGrid;
    rig.keypad(Qt::Key_9); // recorded by the keyboard device, not entered at the cursor
    EXPECT_EQ(rig.at(4, 4), 0);
    EXPECT_EQ(rig.kep.KeyGrid, grid);
}

TEST(CursorKeys, SnapMeasureAndTheViewFollowing)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    rig.key(Qt::Key_Right);
    EXPECT_EQ(rig.cursorCell(), 1);
    rig.key(Qt::Key_Up);
    rig.key(Qt::Key_Up);
    EXPECT_EQ(rig.ke.charting().strip().snap.text(), QStringLiteral("Snap 1/4"));
    rig.key(Qt::Key_Up); // coarsest already
    rig.key(Qt::Key_Right);
    EXPECT_EQ(rig.cursorCell(), 4); // onto the beat's line
    rig.key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(rig.cursorCell(), 16);
    rig.key(Qt::Key_Left);
    EXPECT_EQ(rig.cursorCell(), 12);
    EXPECT_EQ(rig.ke.TimeSet().value(), 0);
    // Measures on, past the canvas's 30 cells: the view turns to keep the cursor on it.
    for (int64_t cell : {16, 32, 48, 64}) {
        rig.key(Qt::Key_Right, Qt::ControlModifier);
        ASSERT_EQ(rig.cursorCell(), cell);
        const CanvasView view = CanvasView::at(rig.kep, rig.ke.TimeSet().value());
        EXPECT_GE(cell, view.firstBeat);
        EXPECT_LE(cell, view.firstBeat + 28);
    }
    EXPECT_GT(rig.ke.TimeSet().value(), 0);
}

// Shift+arrows select cells from the cursor, Ctrl+A the chart; the transforms act on the
// range, each one step, and undo gives back the exact bytes.
TEST(KeyboardSelection, MirrorFlipAndShiftARangeWithChordsAndMarkers)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    rig.set(2, 1);
    rig.set(2, 5);
    rig.set(2, 7);
    rig.set(3, 3);
    rig.set(3, 4);
    rig.set(6, 2); // outside the range
    rig.cursorTo(2);
    rig.key(Qt::Key_Right, Qt::ShiftModifier);
    rig.key(Qt::Key_Right, Qt::ShiftModifier);
    const CellRange range = rig.ke.selectedCells();
    EXPECT_EQ(range.first, 2);
    EXPECT_EQ(range.last, 3);
    const auto before = rig.kep.KeyGrid;
    rig.key(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(rig.at(2, 4), 1); // 7 -> 9
    EXPECT_EQ(rig.at(2, 2), 1); // 6 -> 4
    EXPECT_EQ(rig.at(2, 1), 0);
    EXPECT_EQ(rig.at(3, 6), 1); // 1 -> 3
    EXPECT_EQ(rig.at(3, 1), 1); // 9 -> 7
    EXPECT_EQ(rig.at(2, 7), 1); // markers stay
    EXPECT_EQ(rig.at(6, 2), 1);
    rig.key(Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(rig.at(2, 6), 1); // 9 -> 3
    EXPECT_EQ(rig.at(2, 2), 1); // 4 stays
    rig.key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(rig.at(3, 6), 1);
    EXPECT_EQ(rig.at(3, 2), 1);
    EXPECT_EQ(rig.at(2, 7), 1);                 // the marker did not move
    EXPECT_EQ(rig.ke.selectedCells().first, 3); // the range went with its keys
    rig.key(Qt::Key_Z, Qt::ControlModifier);
    rig.key(Qt::Key_Z, Qt::ControlModifier);
    rig.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rig.kep.KeyGrid, before);
}

TEST(KeyboardSelection, AShiftPastEitherEndIsRefusedAndChangesNothing)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    rig.set(0, 1);
    rig.set(399, 6);
    rig.key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(rig.ke.selectedCells().last, 399);
    const auto before = rig.kep.KeyGrid;
    const int steps = rig.ke.history().stack().index();
    for (Qt::Key k : {Qt::Key_Left, Qt::Key_Right}) {
        rig.messages.shown.clear();
        rig.key(k, Qt::AltModifier);
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_TRUE(rig.messages.shown[0].warning);
        EXPECT_TRUE(rig.messages.shown[0].text.contains(QStringLiteral("1 key would")));
        EXPECT_EQ(rig.kep.KeyGrid, before);
        EXPECT_EQ(rig.ke.history().stack().index(), steps);
    }
}

// A range past cell 4681 (flat indices beyond 16 bits) copies as today's text, and that
// text pastes back; today's short text still pastes.
TEST(KeyboardSelection, CopyAndPasteOfARangeLongerThan4681Cells)
{
    KeysRig rig(900000); // 6000 cells at 100 BPM
    ASSERT_TRUE(rig.active);
    ASSERT_EQ(rig.kep.TotalBeats, 6000);
    rig.set(10, 2);
    rig.set(5000, 6);
    rig.key(Qt::Key_A, Qt::ControlModifier);
    rig.key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(rig.clipboard.content, QStringLiteral("ZTC,2,%1").arg(7 * 4990 + 6));
    EXPECT_EQ(rig.at(10, 2), 0);
    EXPECT_EQ(rig.at(5000, 6), 0);
    EXPECT_TRUE(rig.ke.selectedCells().empty());
    rig.key(Qt::Key_V, Qt::ControlModifier); // cursor at 0: lands from cell 1 on
    EXPECT_EQ(rig.at(1, 2), 1);
    EXPECT_EQ(rig.at(4991, 6), 1);
    rig.clipboard.content = QStringLiteral("ZTC,1,6");
    rig.cursorTo(3);
    rig.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(rig.at(4, 1), 1);
    EXPECT_EQ(rig.at(4, 6), 1);
}

TEST(Zoom, KeysAndWheelStepTheWidthRememberedAndClicksFollowIt)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    rig.key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(rig.ke.charting().cellWidth(), 16);
    rig.key(Qt::Key_Minus, Qt::ControlModifier);
    rig.key(Qt::Key_Minus, Qt::ControlModifier); // 8 is the narrowest
    EXPECT_EQ(rig.ke.charting().cellWidth(), 8);
    EXPECT_EQ(rig.ke.renderer().cellWidth(), 8);
    // At 8 pixels cell 100 answers at x = 16 + 8 x 100 + 4.
    rig.click(16 + 8 * 100 + 4, EditingRig::yOfRow(1));
    EXPECT_EQ(rig.at(100, 1), 1);
    QWheelEvent wheel(QPointF(500, 200), rig.ke.Picture1().mapToGlobal(QPointF(500, 200)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&rig.ke.Picture1(), &wheel);
    EXPECT_EQ(rig.ke.charting().cellWidth(), 16);
    rig.key(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(rig.ke.charting().cellWidth(), 32);
    rig.key(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(rig.ke.charting().cellWidth(), 64);
    KeP kep;
    KE second(kep, rig.services());
    EXPECT_EQ(second.charting().cellWidth(), 64);
}

// A shortcut changed in the Keys dialog works in the next run and its old key does
// nothing; a key another command holds is refused, naming it.
TEST(KeysDialog, ARebindingKeptAcrossARestartAndAConflictRefused)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    rig.key(Qt::Key_F1);
    KeysDialog* dialog = rig.ke.charting().keysDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    dialog->select(Command::Mirror);
    dialog->changeButton().click();
    ASSERT_TRUE(dialog->waitingForKey());
    QTest::keyClick(dialog, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(dialog->message().text().contains(QStringLiteral("Copy")));
    EXPECT_EQ(rig.ke.charting().shortcuts().keysText(Command::Mirror),
              QKeySequence(Qt::CTRL | Qt::Key_H).toString(QKeySequence::NativeText));
    dialog->changeButton().click();
    QTest::keyClick(dialog, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(rig.ke.charting().shortcuts().holder(QKeySequence(Qt::CTRL | Qt::Key_J)),
              Command::Mirror);
    dialog->close();
    const QString settings = rig.settingsDir.filePath(QStringLiteral("tavix.ini"));
    rig.window.reset(); // the run ends

    KeysRig next(settings);
    ASSERT_TRUE(next.active);
    next.set(1, 1);
    next.cursorTo(1);
    next.key(Qt::Key_Right, Qt::ShiftModifier);
    next.key(Qt::Key_H, Qt::ControlModifier); // the old key: nothing
    EXPECT_EQ(next.at(1, 1), 1);
    next.key(Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(next.at(1, 4), 1);
    EXPECT_EQ(next.at(1, 1), 0);
}

TEST(KeysDialog, ToolTipsNameTheCurrentShortcut)
{
    KeysRig rig;
    ASSERT_TRUE(rig.active);
    KeyboardCharting& charting = rig.ke.charting();
    const QString ctrlC = QKeySequence(Qt::CTRL | Qt::Key_C).toString(QKeySequence::NativeText);
    EXPECT_EQ(charting.toolTipOf(4), QStringLiteral("複制 (%1)").arg(ctrlC));
    EXPECT_EQ(charting.toolTipOf(3), QStringLiteral("Random Key")); // no key: as it was
    ASSERT_FALSE(charting.shortcuts().replace(Command::Copy, QKeySequence(Qt::Key_F5)));
    charting.shortcutsChanged();
    EXPECT_EQ(charting.toolTipOf(4), QStringLiteral("複制 (F5)"));
    EXPECT_EQ(rig.ke.NeC1(4).toolTip(), QStringLiteral("複制")); // the classic text stays
}
