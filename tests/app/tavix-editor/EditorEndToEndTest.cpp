// The real tavix-editor under an X server of its own: opened on a generated song, played with
// clicks on its toolbar, fed keypad keys through the X server, stopped, played again to hear what
// was recorded, and closed the way a window manager closes it. The audio goes through the disk
// driver into a file; the chart comes back through the editor's exit dump.
#include "../../chart/Unkept.h"
#include "CellTiming.h"
#include "ChartEdit.h"
#include "ChartFile.h"
#include "KeP.h"
#include "NumberReading.h"
#include "support/DiskCapture.h"
#include "support/EndToEnd.h"
#include "support/XCloseRequest.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <map>

using namespace tavix;
using namespace tavix::test;

namespace {

// An X server of the test's own, so no other test's keys or windows can reach this one
// and its keys reach nothing else.
using PrivateX = OwnDisplay;

struct WindowGeometry
{
    int x = 0, y = 0, width = 0, height = 0;
};

WindowGeometry geometryOf(const PrivateX& x, const QString& window)
{
    WindowGeometry g;
    const QString shell =
        x.xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    for (const QString& line : shell.split(QLatin1Char('\n'))) {
        const auto kv = line.split(QLatin1Char('='));
        if (kv.size() != 2)
            continue;
        const int v = kv[1].toInt();
        if (kv[0] == QLatin1String("X"))
            g.x = v;
        else if (kv[0] == QLatin1String("Y"))
            g.y = v;
        else if (kv[0] == QLatin1String("WIDTH"))
            g.width = v;
        else if (kv[0] == QLatin1String("HEIGHT"))
            g.height = v;
    }
    return g;
}

bool requestClose(const PrivateX& x, unsigned long window)
{
    return sendCloseRequest(x.name().toLocal8Bit().constData(), window);
}

QImage screenshot(const PrivateX& x, const QString& path)
{
    x.run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

// Pixels of a box whose colour passes a test.
template <typename Test> int countPixels(const QImage& image, QRect box, Test test)
{
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (image.rect().contains(x, y) && test(QColor(image.pixel(x, y))))
                ++n;
    return n;
}

struct DumpedKey
{
    int32_t cell;
    int row;
};

// The dumped keys in the order of their cells.
std::vector<DumpedKey> dumpedKeys(const QString& path, int32_t& cells)
{
    std::vector<DumpedKey> keys;
    for (const auto& [cell, row] : readDump(path, cells))
        keys.push_back({cell, row});
    return keys;
}

} // namespace

TEST(EditorEndToEnd, PlayRecordFromTheKeypadHearItAndClose)
{
    PrivateX x;
    if (!x.start()) {
        GTEST_SKIP() << "needs Xvfb";
    }
    if (x.run(QStringLiteral("xdotool"), {QStringLiteral("version")}) != 0) {
        GTEST_SKIP() << "needs xdotool";
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString song = dir.filePath(QStringLiteral("marked.wav"));
    const QString audio = dir.filePath(QStringLiteral("out.raw"));
    const QString dump = dir.filePath(QStringLiteral("chart.txt"));
    ASSERT_TRUE(writeMarkedSong(song, 12.0));

    QProcess editor;
    QProcessEnvironment env = x.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), audio);
    // Real time: the driver sleeps a whole number of ms per buffer, so the buffer is made
    // exactly 10 ms long.
    env.insert(QStringLiteral("TAVIX_AUDIO_BUFFER"), QStringLiteral("441"));
    env.insert(QStringLiteral("SDL_DISKAUDIODELAY"), QStringLiteral("10"));
    env.insert(QStringLiteral("TAVIX_EDITOR_DUMP"), dump);
    env.insert(QStringLiteral("TAVIX_FRAME_HZ"), QStringLiteral("60"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path()); // settings of its own
    // Recovery files go to the test's folder, never the user's.
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    editor.setProcessEnvironment(env);
    editor.setProcessChannelMode(QProcess::ForwardedChannels);
    editor.start(QStringLiteral(TAVIX_EDITOR_BIN), {song});
    ASSERT_TRUE(editor.waitForStarted(10000));

    const QString window = x.waitForWindow(QStringLiteral("Zorvik Tavix Editor v1.68"));
    ASSERT_FALSE(window.isEmpty());
    QThread::msleep(800); // the first frame
    const WindowGeometry g = geometryOf(x, window);
    ASSERT_EQ(g.width, 998);
    ASSERT_EQ(g.height, 796); // the classic 691, the overview, the charting strip, the offers
    const QPoint canvas(g.x + 15, g.y + 134);

    // The idle chart: both bands, the black strip between them, the cursor at 0 ms.
    {
        const QImage shot = screenshot(x, dir.filePath(QStringLiteral("idle.png")));
        ASSERT_FALSE(shot.isNull());
        EXPECT_EQ(QColor(shot.pixel(canvas + QPoint(500, 30))), QColor(128, 0, 0));
        EXPECT_EQ(QColor(shot.pixel(canvas + QPoint(500, 300))), QColor(128, 0, 0));
        EXPECT_EQ(QColor(shot.pixel(canvas + QPoint(500, 62))), QColor(0, 0, 0)); // lane bar
        EXPECT_EQ(QColor(shot.pixel(canvas + QPoint(500, 198))), QColor(0, 0, 0));
        EXPECT_EQ(QColor(shot.pixel(canvas + QPoint(16, 100))), QColor(128, 128, 255));
        // The cursor's cell, where the keypad enters keys while stopped, is lit.
        EXPECT_EQ(QColor(shot.pixel(canvas + QPoint(40, 100))), QColor(145, 34, 34));
    }

    const auto click = [&](int button) {
        const int lefts[] = {235, 291};
        x.xdotool({QStringLiteral("mousemove"), QString::number(g.x + lefts[button] + 24),
                   QString::number(g.y + 624 + 24)});
        x.xdotool({QStringLiteral("click"), QStringLiteral("1")});
    };
    const auto tap = [&](const char* key, int holdMs) {
        x.xdotool({QStringLiteral("keydown"), QString::fromLatin1(key)});
        QThread::msleep(holdMs);
        x.xdotool({QStringLiteral("keyup"), QString::fromLatin1(key)});
    };

    // First run: keys at about 0.9 s apart; keypad 9 is held across many frames.
    QElapsedTimer clock;
    click(0);
    clock.start();
    struct Planned
    {
        const char* key;
        int row;
        int holdMs;
        double atMs = 0;
    };
    std::vector<Planned> plan{
        {"KP_7", 1, 40}, {"KP_4", 2, 40}, {"KP_5", 7, 40}, {"KP_9", 4, 400}, {"KP_0", 7, 40}};
    for (Planned& p : plan) {
        while (clock.elapsed() < 700 * (&p - plan.data() + 1))
            QThread::msleep(2);
        p.atMs = double(clock.elapsed());
        tap(p.key, p.holdMs);
    }
    QThread::msleep(300);
    click(1);
    QThread::msleep(300);

    // Second run: the recorded cells sound.
    const double secondAt = double(clock.elapsed());
    click(0);
    QThread::msleep(4200);
    click(1);
    QThread::msleep(400);
    const QImage recorded = screenshot(x, dir.filePath(QStringLiteral("recorded.png")));

    // The recorded keys are unsaved: closing asks, and they are let go.
    ASSERT_TRUE(requestClose(x, window.toULong()));
    const QString question = x.waitForWindow(QStringLiteral("^Unsaved Changes$"));
    ASSERT_FALSE(question.isEmpty());
    x.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), question});
    QThread::msleep(150);
    x.xdotool({QStringLiteral("key"), QStringLiteral("alt+d")});
    ASSERT_TRUE(editor.waitForFinished(15000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);

    // The chart: one key per press, in the planned rows, in cells that follow the
    // moments of the presses (the click starts the music within a few tens of ms).
    int32_t cells = 0;
    const std::vector<DumpedKey> keys = dumpedKeys(dump, cells);
    EXPECT_EQ(cells, 80); // 12 s at 100 BPM
    ASSERT_EQ(keys.size(), plan.size());
    const float rate = KeP::rateFromBpm(100);
    for (size_t i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(keys[i].row, plan[i].row);
        const double expectedCell = plan[i].atMs * double(rate);
        EXPECT_NEAR(double(keys[i].cell), expectedCell, 2.0);
        if (i > 0) {
            EXPECT_GT(keys[i].cell, keys[i - 1].cell);
        }
    }

    // The second run's sounds: each recorded key at the instant its cell is reached.
    const Capture capture = loadCapture(audio);

    ASSERT_GT(capture.frames(), CaptureRate * 4);
    const std::vector<int64_t> marks = findMarks(capture);
    ASSERT_EQ(marks.size(), 2u); // the music started twice
    // The disk driver kept to real time, or the press moments would not match the cells.
    EXPECT_NEAR(double(marks[1] - marks[0]) / CaptureRate, secondAt / 1000.0, 0.25);
    const int64_t songStart = marks[1] - MarkFrame;
    const std::vector<int64_t> onsets = findOnsets(capture);
    const CellTiming timing = CellTiming::of(rate, offsetTerm(0.7));
    for (const DumpedKey& k : keys) {
        SCOPED_TRACE(k.cell);
        const int64_t ideal =
            songStart + std::llround(double(*timing.firstMusicMs(k.cell)) * CaptureRate / 1000.0);
        const int64_t heard = nearestOnset(onsets, ideal);
        ASSERT_GE(heard, 0);
        EXPECT_LE(std::llabs(heard - ideal), 2) << "heard at " << heard << ", due at " << ideal;
    }
    // Nothing else sounded in the second run.
    int secondRun = 0;
    for (int64_t o : onsets)
        if (o >= marks[1] - CaptureRate / 10)
            ++secondRun;
    EXPECT_EQ(secondRun, int(keys.size()));

    // The recorded glyphs on the canvas, at their cells (the view is back at 0 ms).
    ASSERT_FALSE(recorded.isNull());
    for (const DumpedKey& k : keys) {
        SCOPED_TRACE(k.cell);
        const int x = canvas.x() + 32 * k.cell;
        const int top = k.row <= 3 ? 64 * (k.row - 1) : k.row <= 6 ? 64 * (k.row - 1) + 14 : 396;
        const int height = k.row == 7 ? 36 : 62;
        const QRect box(x, canvas.y() + top, 62, height);
        const int lit = countPixels(recorded, box, [](const QColor& c) {
            // Glyph light: well above the dark band in green or blue.
            return c.green() > 120 || c.blue() > 160;
        });
        EXPECT_GT(lit, 60);
    }
}

// What a double-click on a chart in a file manager runs: the editor with the chart's path.
TEST(EditorEndToEnd, OpensTheChartNamedOnTheCommandLine)
{
    PrivateX x;
    if (!x.start()) {
        GTEST_SKIP() << "needs Xvfb";
    }
    QTemporaryDir dir;
    const QString chart = dir.filePath(QStringLiteral("my chart.ZTS"));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(TAVIX_SOURCE_DIR "/resources/examples/example.zts"), chart));
    KeP expected;
    ASSERT_TRUE(LoadChart(unkept(expected), chart).ok());
    const QString dump = dir.filePath(QStringLiteral("chart.txt"));

    QProcess editor;
    QProcessEnvironment env = x.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    env.insert(QStringLiteral("TAVIX_EDITOR_DUMP"), dump);
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    editor.setProcessEnvironment(env);
    editor.setProcessChannelMode(QProcess::ForwardedChannels);
    editor.start(QStringLiteral(TAVIX_EDITOR_BIN), {chart});
    ASSERT_TRUE(editor.waitForStarted(10000));
    const QString window = x.waitForWindow(QStringLiteral("Zorvik Tavix Editor v1.68"));
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(requestClose(x, window.toULong()));
    ASSERT_TRUE(editor.waitForFinished(15000));
    EXPECT_EQ(editor.exitCode(), 0);

    int32_t cells = 0;
    KeP shown;
    ChartEdit edit(shown);
    edit.resizeCells(expected.TotalBeats);
    for (const DumpedKey& k : dumpedKeys(dump, cells))
        edit.set(KeP::flatIndex(k.cell, k.row), 1);
    EXPECT_EQ(cells, expected.TotalBeats);
    EXPECT_EQ(shown.KeyGrid, expected.KeyGrid);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
