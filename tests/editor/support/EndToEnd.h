#pragma once

// The real editor program under an X server of the test's own (Xvfb -displayfd), driven
// with xdotool as a user would drive it.
#include "PrivateXServer.h"
#include "XCloseRequest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <csignal>
#include <functional>
#include <set>

namespace tavix::test {

// Xvfb on a display number it picks itself; nothing of other tests reaches it.
class OwnDisplay
{
public:
    bool start() { return m_server.start(); }

    const QString& name() const { return m_server.display(); }
    // Where the editors started on this display keep their own data.
    QString dataHome() const { return m_dataHome.path(); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = m_server.environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // Qt's own dialogs, whatever desktop the machine would otherwise pretend to be.
        env.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
        env.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
        env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        // The editors of a display keep their recovery files here, never in the user's.
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dataHome.path());
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

    // Answers the modal box of the given title with a key (Alt and its button's letter),
    // again while the box stays up: a key typed while a busy machine was still setting
    // the box up may be lost.
    bool answer(const QString& title, const QString& keys) const
    {
        const QString name = QStringLiteral("^") + title + QStringLiteral("$");
        const QString box = waitForWindow(name);
        if (box.isEmpty())
            return false;
        for (int attempt = 0; attempt < 4; ++attempt) {
            focus(box);
            key(keys);
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 3000) {
                if (xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), name})
                        .isEmpty())
                    return true;
                QThread::msleep(100);
            }
        }
        return false;
    }

private:
    PrivateXServer m_server;
    QTemporaryDir m_dataHome;
};

inline bool waitFor(const std::function<bool()>& condition, int timeoutMs)
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
    RunningEditor(const OwnDisplay& display, const QStringList& args, const QString& dump,
                  const QProcessEnvironment& extra = {}, bool waitForWindow = true)
        : m_display(display)
    {
        QProcessEnvironment env = display.environment();
        env.insert(QStringLiteral("TAVIX_EDITOR_DUMP"), dump);
        env.insert(extra);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral(TAVIX_EDITOR_BIN), args);
        if (m_process.waitForStarted(10000) && waitForWindow)
            findWindow();
    }

    void findWindow() { m_window = m_display.waitForWindow(QStringLiteral("Zorvik Tavix Editor")); }
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

    bool requestClose() const
    {
        return tavix::test::sendCloseRequest(m_display.name().toLocal8Bit().constData(),
                                             m_window.toULong());
    }
    bool close()
    {
        return requestClose() && m_process.waitForFinished(15000) && m_process.exitCode() == 0;
    }
    // Closes a window with unsaved changes, letting them go when asked.
    bool closeDiscarding()
    {
        return requestClose() &&
               m_display.answer(QStringLiteral("Unsaved Changes"), QStringLiteral("alt+d")) &&
               m_process.waitForFinished(15000) && m_process.exitCode() == 0;
    }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    // Ends the program with a signal: SIGKILL, or SIGTERM.
    bool killHard()
    {
        m_process.kill();
        return m_process.waitForFinished(10000);
    }
    bool terminate()
    {
        m_process.terminate();
        return m_process.waitForFinished(15000);
    }
    // Sends a signal (SIGINT, SIGHUP...); true when the program ended within `ms`.
    bool endWith(int signalNumber, int ms = 10000)
    {
        if (m_process.processId() <= 0 || ::kill(pid_t(m_process.processId()), signalNumber) != 0)
            return false;
        return m_process.waitForFinished(ms);
    }

private:
    const OwnDisplay& m_display;
    QProcess m_process;
    QString m_window;
};

// Types a path into the file dialog of the given title and accepts it.
inline bool answerFileDialog(const OwnDisplay& display, const QString& title, const QString& path)
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

inline std::set<std::pair<int32_t, int>> readDump(const QString& path, int32_t& cells)
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
inline int cellX(int cell)
{
    return 16 + 32 * cell + 16;
}
inline constexpr int RowY[] = {200, 30, 95, 160, 237, 301, 365, 414};

} // namespace tavix::test
