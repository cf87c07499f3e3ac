// Signals to the real tavix-editor under an X server of the test's own: Ctrl+C in a
// terminal keeps the chart as SIGTERM does, and a signal while the start-up question about
// a kept chart is open ends the program at once, leaving the chart for the next start.
#include "support/EndToEnd.h"

#include <QDirIterator>

#include <gtest/gtest.h>

#include <csignal>

using namespace tavix::test;

namespace {

QStringList keptCharts(const QString& dataHome)
{
    QStringList found;
    QDirIterator it(dataHome, {QStringLiteral("recovery-*.zts")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

TEST(SignalEndToEnd, InterruptKeepsTheChartAndASignalDuringTheQuestionEndsAtOnce)
{
    OwnDisplay display;
    if (!display.start())
        GTEST_SKIP() << "needs Xvfb";
    if (display.run(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0)
        GTEST_SKIP() << "needs xdotool";
    QTemporaryDir dir;
    const QString song = QStringLiteral(TAVIX_SOURCE_DIR "/resources/sounds/demo.ogg");
    QProcessEnvironment noAutosave; // only the signal can keep the change
    noAutosave.insert(QStringLiteral("TAVIX_AUTOSAVE_MS"), QStringLiteral("600000"));
    {
        RunningEditor editor(display, {song}, dir.filePath(QStringLiteral("a.txt")), noAutosave);
        ASSERT_FALSE(editor.window().isEmpty());
        display.focus(editor.window());
        editor.clickCanvas(cellX(3), RowY[1]);
        ASSERT_TRUE(!display.waitForWindow(QStringLiteral("Zorvik Tavix Editor v1.68 \\*$"), 5000)
                         .isEmpty());
        ASSERT_TRUE(editor.endWith(SIGINT));
    }
    ASSERT_EQ(keptCharts(display.dataHome()).size(), 1u) << "Ctrl+C lost the change";
    int32_t cells = 0;
    EXPECT_EQ(readDump(dir.filePath(QStringLiteral("a.txt")), cells),
              (std::set<std::pair<int32_t, int>>{{3, 1}}));

    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        RunningEditor editor(display, {}, dir.filePath(QStringLiteral("b.txt")), {}, false);
        ASSERT_FALSE(display.waitForWindow(QStringLiteral("^Recover Chart$")).isEmpty());
        EXPECT_TRUE(editor.endWith(signal)) << "still running after the signal";
        EXPECT_EQ(keptCharts(display.dataHome()).size(), 1u);
    }
}
