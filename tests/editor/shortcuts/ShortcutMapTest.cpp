// The shortcut map: one command a key, the keypad kept for entering keys, resets, and what
// the settings keep of a change across a restart.
#include "ShortcutMap.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace tavix;

namespace {

QKeySequence key(QKeyCombination k)
{
    return QKeySequence(k);
}

} // namespace

TEST(ShortcutMap, TheDefaultsGiveEveryKeyToOneCommand)
{
    const ShortcutMap map;
    std::set<int> seen;
    for (const CommandInfo& command : ShortcutMap::commands()) {
        EXPECT_EQ(&ShortcutMap::info(command.command), &command);
        for (const QKeySequence& k : map.keys(command.command)) {
            EXPECT_FALSE(ShortcutMap::unusable(k)) << command.id;
            EXPECT_TRUE(seen.insert(k[0].toCombined()).second) << command.id;
        }
    }
    EXPECT_EQ(map.holder(key(Qt::CTRL | Qt::Key_H)), Command::Mirror);
    EXPECT_EQ(map.holder(key(Qt::ALT | Qt::Key_Right)), Command::ShiftLater);
    EXPECT_EQ(map.keysText(Command::Redo), QStringLiteral("Ctrl+Y, Ctrl+Shift+Z"));
}

TEST(ShortcutMap, TakenReservedAndModifierKeysAreRefused)
{
    ShortcutMap map;
    const auto taken = map.replace(Command::Copy, key(Qt::CTRL | Qt::Key_H));
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->why, ShortcutMap::Refusal::Why::Taken);
    EXPECT_EQ(taken->holder, Command::Mirror);
    EXPECT_EQ(map.keys(Command::Copy), QList{key(Qt::CTRL | Qt::Key_C)});

    const Qt::KeyboardModifiers ctrlKeypad = Qt::ControlModifier | Qt::KeypadModifier;
    for (const QKeyCombination k :
         {QKeyCombination(Qt::KeypadModifier, Qt::Key_7),
          QKeyCombination(Qt::KeypadModifier, Qt::Key_Home), QKeyCombination(ctrlKeypad, Qt::Key_0),
          QKeyCombination(Qt::KeypadModifier, Qt::Key_Clear)}) {
        const auto reserved = map.add(Command::Mirror, key(k));
        ASSERT_TRUE(reserved);
        EXPECT_EQ(reserved->why, ShortcutMap::Refusal::Why::Reserved);
    }
    // Keypad keys that enter nothing, and the top row's digits, are free.
    EXPECT_FALSE(map.add(Command::ZoomIn, key(Qt::KeypadModifier | Qt::Key_Plus)));
    EXPECT_FALSE(map.add(Command::Mirror, key(Qt::Key_7)));
    EXPECT_EQ(map.add(Command::Mirror, key(Qt::CTRL | Qt::Key_Control))->why,
              ShortcutMap::Refusal::Why::NotAKey);
    EXPECT_EQ(map.add(Command::Mirror, QKeySequence(Qt::Key_A, Qt::Key_B))->why,
              ShortcutMap::Refusal::Why::NotAKey);
    // A command may take its own key again.
    EXPECT_FALSE(map.replace(Command::Mirror, key(Qt::CTRL | Qt::Key_H)));
}

TEST(ShortcutMap, ResetsGiveTheDefaultsBackUnlessAnotherCommandHoldsThem)
{
    ShortcutMap map;
    map.clear(Command::Mirror);
    ASSERT_FALSE(map.replace(Command::Copy, key(Qt::CTRL | Qt::Key_H)));
    const auto refused = map.reset(Command::Mirror);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->holder, Command::Copy);
    EXPECT_TRUE(map.keys(Command::Mirror).isEmpty());
    EXPECT_FALSE(map.reset(Command::Copy));
    EXPECT_FALSE(map.reset(Command::Mirror));
    EXPECT_TRUE(map == ShortcutMap());
    map.clear(Command::Stop);
    map.resetAll();
    EXPECT_TRUE(map == ShortcutMap());
}

TEST(ShortcutMap, AChangeOutlivesARestartAndItsOldKeyIsFree)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("keys.conf"));
    {
        ShortcutMap map;
        map.clear(Command::Mirror);
        ASSERT_FALSE(map.replace(Command::Copy, key(Qt::CTRL | Qt::Key_H)));
        ASSERT_FALSE(map.add(Command::Copy, key(Qt::SHIFT | Qt::Key_Comma)));
        map.clear(Command::Stop);
        QSettings settings(file, QSettings::IniFormat);
        map.save(settings);
    }
    QSettings settings(file, QSettings::IniFormat);
    ShortcutMap map;
    map.load(settings);
    EXPECT_EQ(map.keys(Command::Copy),
              (QList{key(Qt::CTRL | Qt::Key_H), key(Qt::SHIFT | Qt::Key_Comma)}));
    EXPECT_FALSE(map.holder(key(Qt::CTRL | Qt::Key_C)));
    EXPECT_TRUE(map.keys(Command::Mirror).isEmpty());
    EXPECT_TRUE(map.keys(Command::Stop).isEmpty());
    EXPECT_EQ(map.keys(Command::Paste), ShortcutMap::info(Command::Paste).defaults);
    // Only the changed commands are kept.
    EXPECT_EQ(settings.childGroups(), QStringList{QStringLiteral("shortcuts")});
    settings.beginGroup(QStringLiteral("shortcuts"));
    EXPECT_EQ(settings.childKeys().size(), 3);
    settings.endGroup();

    // A hand-edited file: a keypad key, nonsense, a key taken and one given twice, which
    // the command listed first keeps.
    settings.setValue(QStringLiteral("shortcuts/zoomIn"), QStringList{"Num+7", "Ctrl+H", "Ctrl+K"});
    settings.setValue(QStringLiteral("shortcuts/flip"), QStringList{"nonsense", "Ctrl+K"});
    map.load(settings);
    EXPECT_TRUE(map.keys(Command::ZoomIn).isEmpty());
    EXPECT_EQ(map.holder(key(Qt::CTRL | Qt::Key_H)), Command::Copy);
    EXPECT_EQ(map.keys(Command::Flip), QList{key(Qt::CTRL | Qt::Key_K)});
}
