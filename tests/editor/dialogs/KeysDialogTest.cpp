// The Keys dialog changes a command's key from the next key pressed, and says why it
// refuses one.
#include "KeysDialog.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;

TEST(KeysDialog, TheNextKeyPressedBecomesTheKeyAndRefusalsNameTheHolder)
{
    ShortcutMap map;
    KeysDialog dialog(map);
    dialog.show();
    QSignalSpy changed(&dialog, &KeysDialog::changed);
    const auto row = [&](Command c) { return dialog.list().topLevelItem(int(c))->text(1); };
    EXPECT_EQ(row(Command::Mirror), QStringLiteral("Ctrl+H"));

    dialog.select(Command::Mirror);
    dialog.changeButton().click();
    ASSERT_TRUE(dialog.waitingForKey());
    QTest::keyClick(&dialog.list(), Qt::Key_Control, Qt::ControlModifier); // alone: waits on
    EXPECT_TRUE(dialog.waitingForKey());
    QTest::keyClick(&dialog.list(), Qt::Key_J, Qt::ControlModifier);
    EXPECT_FALSE(dialog.waitingForKey());
    EXPECT_EQ(map.keys(Command::Mirror), QList{QKeySequence(Qt::CTRL | Qt::Key_J)});
    EXPECT_EQ(row(Command::Mirror), QStringLiteral("Ctrl+J"));
    EXPECT_EQ(changed.count(), 1);

    dialog.select(Command::Copy);
    dialog.addButton().click();
    QTest::keyClick(&dialog.list(), Qt::Key_J, Qt::ControlModifier);
    EXPECT_TRUE(dialog.message().text().contains(QStringLiteral("Mirror left to right")));
    dialog.changeButton().click();
    QTest::keyClick(&dialog.list(), Qt::Key_7, Qt::KeypadModifier);
    EXPECT_TRUE(dialog.message().text().contains(QStringLiteral("keypad")));
    dialog.changeButton().click();
    QTest::keyClick(&dialog.list(), Qt::Key_Escape);
    EXPECT_EQ(map.keys(Command::Copy), QList{QKeySequence(Qt::CTRL | Qt::Key_C)});
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(dialog.isVisible()); // Escape while waiting does not close the dialog

    dialog.select(Command::Mirror);
    ASSERT_TRUE(dialog.resetButton().isEnabled());
    dialog.resetButton().click();
    EXPECT_TRUE(map == ShortcutMap());
    EXPECT_EQ(changed.count(), 2);
}
