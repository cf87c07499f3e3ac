// Editing in the real tavix-editor under an X server of the test's own: keys clicked in
// and drag-selected on the canvas, Ctrl+C read back from the real clipboard with xclip,
// Ctrl+S through the real file dialog typed into with xdotool, and the saved chart
// opened again in a fresh editor with Ctrl+O.
#include "GData.h"
#include "KeP.h"
#include "PrivateXServer.h"
#include "support/XCloseRequest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace tavix;
using tavix::test::PrivateXServer;

namespace {

// Xvfb on a display number it picks itself; nothing of other tests reaches it.
class OwnDisplay
{
public:
    bool start() { return m_server.start(); }
    const QString& name() const { return m_server.display(); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = m_server.environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Qt's own dialogs, whatever desktop the machine would otherwise pretend to be.
        env.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
        env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        return env;
    }

    // Runs a tool on this display; its exit code, or -1 when it did not finish.
    int run(const QString& program, const QStringList& args, QString* output = nullptr) const
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(program, args);
        if (!p.waitForFinished(15000)) {
            p.kill();
            p.waitForFinished(1000);
            return -1;
        }
        if (output)
            *output = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
        return p.exitCode();
    }

    QString xdotool(const QStringList& args) const
    {
        QString out;
        run(QStringLiteral("xdotool"), args, &out);
        return out;
    }

    // The first visible window whose name matches, waiting for it to appear.
    QString waitForWindow(const QString& name, int timeoutMs = 15000) const
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            const QString found =
                xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), name});
            if (!found.isEmpty())
                return found.split(QLatin1Char('\n')).constFirst();
            QThread::msleep(100);
        }
        return {};
    }

    void focus(const QString& window) const
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        QThread::msleep(150);
    }

    void moveTo(const QString& window, int x, int y) const
    {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(x), QString::number(y)});
        QThread::msleep(30);
    }

    void clickAt(const QString& window, int x, int y) const
    {
        moveTo(window, x, y);
        xdotool({QStringLiteral("click"), QStringLiteral("1")});
        QThread::msleep(60);
    }

    void key(const QString& keys) const
    {
        xdotool({QStringLiteral("key"), keys});
        QThread::msleep(100);
    }

    QString clipboard() const
    {
        QString out;
        run(QStringLiteral("xclip"),
            {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")},
            &out);
        return out;
    }

private:
    PrivateXServer m_server;
};

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (condition())
            return true;
        QThread::msleep(100);
    }
    return condition();
}

// The editor program on the display, closed the way a window manager closes it.
class RunningEditor
{
public:
    RunningEditor(const OwnDisplay& display, const QStringList& args, const QString& dump)
        : m_display(display)
    {
        QProcessEnvironment env = display.environment();
        env.insert(QStringLiteral("TAVIX_EDITOR_DUMP"), dump);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral(TAVIX_EDITOR_BIN), args);
        if (m_process.waitForStarted(10000))
            m_window = display.waitForWindow(QStringLiteral("Zorvik Tavix Editor"));
    }
    ~RunningEditor()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    const QString& window() const { return m_window; }

    // The canvas lies at (15, 134) of the window's client area.
    void clickCanvas(int x, int y) const { m_display.clickAt(m_window, 15 + x, 134 + y); }
    void dragCanvas(int x0, int y0, int x1, int y1) const
    {
        m_display.moveTo(m_window, 15 + x0, 134 + y0);
        m_display.xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        QThread::msleep(60);
        for (int i = 1; i <= 4; ++i)
            m_display.moveTo(m_window, 15 + x0 + (x1 - x0) * i / 4, 134 + y0 + (y1 - y0) * i / 4);
        m_display.xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        QThread::msleep(100);
    }

    bool close()
    {
        if (!tavix::test::sendCloseRequest(m_display.name().toLocal8Bit().constData(),
                                           m_window.toULong()))
            return false;
        return m_process.waitForFinished(15000) && m_process.exitCode() == 0;
    }

private:
    const OwnDisplay& m_display;
    QProcess m_process;
    QString m_window;
};

// Types a path into the file dialog of the given title and accepts it.
bool answerFileDialog(const OwnDisplay& display, const QString& title, const QString& path)
{
    const QString dialog = display.waitForWindow(QStringLiteral("^") + title + QStringLiteral("$"));
    if (dialog.isEmpty())
        return false;
    display.focus(dialog);
    // The name box has the focus when the dialog opens; whatever it proposes is replaced.
    display.key(QStringLiteral("ctrl+a"));
    display.xdotool(
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), path});
    QThread::msleep(200);
    display.key(QStringLiteral("Return"));
    return true;
}

std::set<std::pair<int32_t, int>> readDump(const QString& path, int32_t& cells)
{
    std::set<std::pair<int32_t, int>> keys;
    cells = -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&file);
    const QStringList head = in.readLine().split(QLatin1Char(' '));
    if (head.size() == 2)
        cells = head[1].toInt();
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(QLatin1Char(' '));
        if (f.size() == 3)
            keys.insert({f[0].toInt(), f[1].toInt()});
    }
    return keys;
}

// The x of the middle of a cell's click band and a y inside each row, on the canvas.
int cellX(int cell)
{
    return 16 + 32 * cell + 16;
}
constexpr int RowY[] = {200, 30, 95, 160, 237, 301, 365, 414};

} // namespace

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
        // Editable at once: one more key, at cell 25 row 6.
        editor.clickCanvas(cellX(25), RowY[6]);
        QThread::msleep(200);
        EXPECT_TRUE(editor.close());
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
        EXPECT_TRUE(editor.close());
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
    EXPECT_EQ(cells, 10); // grown to hold the last cell of the script
}
