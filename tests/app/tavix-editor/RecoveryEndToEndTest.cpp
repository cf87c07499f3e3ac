// Recovery in the real tavix-editor under an X server of the test's own: an editor killed
// with SIGKILL loses at most the changes since its last autosave, one ended with SIGTERM
// loses nothing, and the next editor offers the chart and restores it.
#include "support/EndToEnd.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

using namespace tavix::test;

namespace {

// The recovery charts kept under a data folder.
QStringList recoveryCharts(const QString& dataHome)
{
    QStringList found;
    QDirIterator it(dataHome, {QStringLiteral("recovery-*.zts")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

// The keys (cell, row) of a native chart file.
std::set<std::pair<int32_t, int>> keysOf(const QString& path)
{
    std::set<std::pair<int32_t, int>> keys;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return keys;
    const QByteArray bytes = f.readAll();
    for (qsizetype i = 25; i < bytes.size(); ++i)
        if (bytes[i] != 0)
            keys.insert({int32_t((i - 25) / 7), int((i - 25) % 7 + 1)});
    return keys;
}

} // namespace

TEST(RecoveryEndToEnd, KilledAndTerminatedEditorsAreRestored)
{
    OwnDisplay display;
    if (!display.start())
        GTEST_SKIP() << "needs Xvfb";
    if (display.run(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
        GTEST_SKIP() << "needs xdotool";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString song = QStringLiteral(TAVIX_SOURCE_DIR "/resources/sounds/demo.ogg");
    // Written 2 s after a change here (30 s in use), so the test need not wait long.
    QProcessEnvironment quick;
    quick.insert(QStringLiteral("TAVIX_AUTOSAVE_MS"), QStringLiteral("2000"));

    std::set<std::pair<int32_t, int>> kept;
    {
        RunningEditor editor(display, {song}, dir.filePath(QStringLiteral("killed.txt")), quick);
        ASSERT_FALSE(editor.window().isEmpty());
        display.focus(editor.window());
        editor.clickCanvas(cellX(3), RowY[1]);
        editor.clickCanvas(cellX(5), RowY[4]);
        kept = {{3, 1}, {5, 4}};
        ASSERT_TRUE(waitFor(
            [&] {
                const QStringList charts = recoveryCharts(display.dataHome());
                return charts.size() == 1 && keysOf(charts[0]) == kept;
            },
            10000));
        // A change just before the kill is newer than the last autosave.
        editor.clickCanvas(cellX(7), RowY[2]);
        ASSERT_TRUE(editor.killHard());
    }
    ASSERT_EQ(recoveryCharts(display.dataHome()).size(), 1u);

    // The next editor offers the chart; restored, it is modified, and one more key is
    // made before SIGTERM ends it.
    {
        RunningEditor editor(display, {}, dir.filePath(QStringLiteral("terminated.txt")), {},
                             false);
        ASSERT_TRUE(display.answer(QStringLiteral("Recover Chart"), QStringLiteral("alt+r")))
            << "no recovery offered";
        editor.findWindow();
        ASSERT_FALSE(editor.window().isEmpty());
        EXPECT_FALSE(
            display.waitForWindow(QStringLiteral("Zorvik Tavix Editor v1.68 \\*$"), 5000).isEmpty())
            << "the restored chart is not marked modified";
        display.focus(editor.window());
        editor.clickCanvas(cellX(9), RowY[6]);
        kept.insert({9, 6});
        ASSERT_TRUE(editor.terminate());
    }
    int32_t cells = 0;
    const auto terminated = readDump(dir.filePath(QStringLiteral("terminated.txt")), cells);
    EXPECT_EQ(cells, 400); // the demo song, opened again for the restored chart
    // The key made after the last autosave may be lost, nothing before it.
    auto withLast = kept;
    withLast.insert({7, 2});
    EXPECT_TRUE(terminated == kept || terminated == withLast)
        << "the restored chart lost more than the changes after its last autosave";
    const QStringList left = recoveryCharts(display.dataHome());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(keysOf(left[0]), terminated); // nothing lost on SIGTERM

    // Restored once more and closed on purpose: the recovery files go.
    {
        RunningEditor editor(display, {}, dir.filePath(QStringLiteral("closed.txt")), {}, false);
        ASSERT_TRUE(display.answer(QStringLiteral("Recover Chart"), QStringLiteral("alt+r")));
        editor.findWindow();
        ASSERT_FALSE(editor.window().isEmpty());
        EXPECT_TRUE(editor.closeDiscarding());
    }
    EXPECT_EQ(readDump(dir.filePath(QStringLiteral("closed.txt")), cells), terminated);
    EXPECT_TRUE(recoveryCharts(display.dataHome()).isEmpty());
}
