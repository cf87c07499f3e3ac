// Editing in the real tavix-editor under an X server of the test's own: keys clicked in
// and drag-selected on the canvas, Ctrl+C read back from the real clipboard with xclip,
// Ctrl+S through the real file dialog typed into with xdotool, and the saved chart
// opened again in a fresh editor with Ctrl+O.
#include "GData.h"
#include "KeP.h"
#include "support/EndToEnd.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace tavix;
using namespace tavix::test;

TEST(EditingEndToEnd, ClickSelectCopySaveAndOpenAgain)
{
    OwnDisplay display;
    if (!display.start())
        GTEST_SKIP() << "needs Xvfb";
    if (display.run(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
        GTEST_SKIP() << "needs xdotool";
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        GTEST_SKIP() << "needs xclip";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString song = QStringLiteral(TAVIX_SOURCE_DIR "/resources/sounds/demo.ogg");
    ASSERT_TRUE(QFile::exists(song));
    const QString saved = dir.filePath(QStringLiteral("mine.zts"));
    const QString firstDump = dir.filePath(QStringLiteral("first.txt"));
    const QString secondDump = dir.filePath(QStringLiteral("second.txt"));

    std::set<std::pair<int32_t, int>> placed;
    {
        RunningEditor editor(display, {song}, firstDump);
        ASSERT_FALSE(editor.window().isEmpty()) << "the editor window never appeared";
        display.focus(editor.window());

        // Keys at cell 10 rows 2 and 5 and at cell 12 row 1, and a marker at cell 3.
        editor.clickCanvas(cellX(10), RowY[2]);
        editor.clickCanvas(cellX(10), RowY[5]);
        editor.clickCanvas(cellX(12), RowY[1]);
        editor.clickCanvas(cellX(3), RowY[7]);
        placed = {{10, 2}, {10, 5}, {12, 1}, {3, 7}};

        editor.dragCanvas(340, 10, 430, 320);
        display.key(QStringLiteral("ctrl+c"));
        EXPECT_TRUE(
            waitFor([&] { return display.clipboard() == QLatin1String("ZTC,2,5,15"); }, 5000))
            << "clipboard: " << display.clipboard().toStdString();

        // Paste one cell after the cursor set by a click between the two groups of rows.
        editor.clickCanvas(cellX(20), RowY[0]);
        display.key(QStringLiteral("ctrl+v"));
        placed.insert({{21, 2}, {21, 5}, {23, 1}});

        display.key(QStringLiteral("ctrl+s"));
        ASSERT_TRUE(answerFileDialog(display, QStringLiteral("Save FIle"), saved))
            << "no save dialog";
        const QString done = display.waitForWindow(QStringLiteral("^Save File$"));
        ASSERT_FALSE(done.isEmpty()) << "no completion message";
        display.focus(done);
        display.key(QStringLiteral("Return"));
        ASSERT_TRUE(waitFor([&] { return QFile::exists(saved); }, 5000));
        EXPECT_TRUE(editor.close());
    }

    // The file on disk: the magic, the upper index 7 x 400 and the grid with those keys.
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 25 + 7 * 400);
    EXPECT_EQ(bytes.left(20), QByteArray("ZorvikTuneScribeFile"));
    EXPECT_EQ(bytes.mid(20, 4), QByteArray("\xF0\x0A\x00\x00", 4));
    std::set<std::pair<int32_t, int>> inFile;
    for (int32_t i = 0; i <= 7 * 400; ++i) {
        const char v = bytes[24 + i];
        if (v == 0)
            continue;
        EXPECT_EQ(v, 1) << i;
        inFile.insert({(i - 1) / 7, (i - 1) % 7 + 1});
    }
    EXPECT_EQ(inFile, placed);
    int32_t cells = 0;
    EXPECT_EQ(readDump(firstDump, cells), placed);
    EXPECT_EQ(cells, 400);

    // A fresh editor without music opens the chart with Ctrl+O and has the same keys.
    {
        RunningEditor editor(display, {}, secondDump);
        ASSERT_FALSE(editor.window().isEmpty());
        display.focus(editor.window());
        display.key(QStringLiteral("ctrl+o"));
        ASSERT_TRUE(answerFileDialog(display, QStringLiteral("Open FIle"), saved))
            << "no open dialog";
        QThread::msleep(500);
        // Editable at once: one more key, at cell 25 row 6, which closing then lets go.
        editor.clickCanvas(cellX(25), RowY[6]);
        QThread::msleep(200);
        EXPECT_TRUE(editor.closeDiscarding());
    }
    placed.insert({25, 6});
    EXPECT_EQ(readDump(secondDump, cells), placed);
    EXPECT_EQ(cells, 400);
}

TEST(EditingEndToEnd, ScriptModeExportsAScriptThatOpensAgain)
{
    OwnDisplay display;
    if (!display.start())
        GTEST_SKIP() << "needs Xvfb";
    if (display.run(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
        GTEST_SKIP() << "needs xdotool";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString song = QStringLiteral(TAVIX_SOURCE_DIR "/resources/sounds/demo.ogg");
    const QString dump = dir.filePath(QStringLiteral("opened.txt"));
    const QString typed = dir.filePath(QStringLiteral("script"));
    const QString script = typed + QStringLiteral(".slk");

    {
        RunningEditor editor(display, {song, scriptModeSwitch()},
                             dir.filePath(QStringLiteral("first.txt")));
        ASSERT_FALSE(editor.window().isEmpty());
        display.focus(editor.window());
        editor.clickCanvas(cellX(4), RowY[4]);
        editor.clickCanvas(cellX(4), RowY[7]);
        editor.clickCanvas(cellX(9), RowY[3]);
        // The first filter, the script, is the one selected when the dialog opens.
        display.key(QStringLiteral("ctrl+s"));
        ASSERT_TRUE(answerFileDialog(display, QStringLiteral("Save FIle"), typed));
        const QString done = display.waitForWindow(QStringLiteral("^Save File$"));
        ASSERT_FALSE(done.isEmpty()) << "no completion message";
        display.focus(done);
        display.key(QStringLiteral("Return"));
        ASSERT_TRUE(waitFor([&] { return QFile::exists(script); }, 5000));
        EXPECT_FALSE(QFile::exists(typed + QStringLiteral(".zts")));
        // The script has no rows for the empty cells after cell 9: not the chart saved.
        EXPECT_TRUE(editor.closeDiscarding());
    }
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().startsWith("ID;"));

    {
        RunningEditor editor(display, {}, dump);
        ASSERT_FALSE(editor.window().isEmpty());
        display.focus(editor.window());
        display.key(QStringLiteral("ctrl+o"));
        ASSERT_TRUE(answerFileDialog(display, QStringLiteral("Open FIle"), script));
        QThread::msleep(500);
        EXPECT_TRUE(editor.close());
    }
    int32_t cells = 0;
    const std::set<std::pair<int32_t, int>> expected{{4, 4}, {4, 7}, {9, 3}};
    EXPECT_EQ(readDump(dump, cells), expected);
    EXPECT_EQ(cells, 400); // its song came back with it and sized the chart
}

// With no mouse but a click for the cursor: keypad keys entered at the cursor (one a
// chord), the cursor moved on with the arrow, two cells selected with Shift and mirrored
// with Ctrl+H; the chart the editor holds at its end has exactly those keys.
TEST(EditingEndToEnd, StepEntryAndAMirrorFromRealKeyPresses)
{
    OwnDisplay display;
    if (!display.start())
        GTEST_SKIP() << "needs Xvfb";
    if (display.run(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
        GTEST_SKIP() << "needs xdotool";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString song = QStringLiteral(TAVIX_SOURCE_DIR "/resources/sounds/demo.ogg");
    const QString dump = dir.filePath(QStringLiteral("keys.txt"));
    {
        RunningEditor editor(display, {song}, dump);
        ASSERT_FALSE(editor.window().isEmpty()) << "the editor window never appeared";
        display.focus(editor.window());
        editor.clickCanvas(cellX(10), RowY[0]); // the cursor into cell 10
        QThread::msleep(200);
        display.key(QStringLiteral("KP_7"));
        display.key(QStringLiteral("KP_5"));
        display.key(QStringLiteral("Right"));
        display.key(QStringLiteral("KP_1"));
        display.key(QStringLiteral("KP_6"));
        QThread::msleep(200);
        editor.clickCanvas(cellX(10), RowY[0]);
        QThread::msleep(200);
        display.key(QStringLiteral("shift+Right"));
        display.key(QStringLiteral("shift+Right"));
        display.key(QStringLiteral("ctrl+h"));
        QThread::msleep(300);
        EXPECT_TRUE(editor.closeDiscarding());
    }
    int32_t cells = 0;
    // 7 -> 9 and 1 -> 3, 6 -> 4; the marker stays.
    const std::set<std::pair<int32_t, int>> expected{{10, 4}, {10, 7}, {11, 6}, {11, 2}};
    EXPECT_EQ(readDump(dump, cells), expected);
    EXPECT_EQ(cells, 400);
}
