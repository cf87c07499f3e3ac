#pragma once

#include "ChartEdit.h"
#include "FakeServices.h"
#include "KeyCanvas.h"
#include "TavixKey.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSettings>

#include <functional>

namespace tavix::test {

// A window over fakes with a song of 60 s at 100 BPM (400 cells), driven through real
// mouse events on its canvas.
struct EditingRig : EditorRig
{
    KE& ke;
    explicit EditingRig(int32_t songMs = 60000,
                        const QString& commandLine = QStringLiteral("tavix-editor"))
        : ke(make(commandLine))
    {
        openFirstSong(songMs);
    }
    // The same with the recovery files in `recoveryDir`, written `autosaveMs` after a change.
    EditingRig(int32_t songMs, const QString& recoveryDir, int autosaveMs)
        : ke(make(withRecovery(services(), recoveryDir, autosaveMs)))
    {
        openFirstSong(songMs);
    }
    // The same with choices remembered from an earlier run.
    EditingRig(int32_t songMs, const std::function<void(QSettings&)>& remembered)
        : ke(make(rememberFirst(remembered)))
    {
        openFirstSong(songMs);
    }
    EditorServices rememberFirst(const std::function<void(QSettings&)>& remembered)
    {
        EditorServices s = services();
        remembered(*s.settings());
        return s;
    }
    static EditorServices withRecovery(EditorServices s, const QString& dir, int ms)
    {
        s.recoveryDir = dir;
        s.autosaveIntervalMs = ms;
        return s;
    }
    void openFirstSong(int32_t songMs)
    {
        if (songMs > 0)
            openSong("/m/song.ogg", songMs);
        // Tests count the dialogs of the commands they run, not of the song's opening.
        chooser.requests.clear();
    }

    void send(QEvent::Type type, float x, float y, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        KeyCanvas& canvas = ke.Picture1();
        const QPointF local(x, y);
        QMouseEvent event(type, local, canvas.mapToGlobal(local), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&canvas, &event);
    }
    void press(float x, float y, Qt::MouseButton b = Qt::LeftButton)
    {
        send(QEvent::MouseButtonPress, x, y, b, b);
    }
    void move(float x, float y, Qt::MouseButtons held = Qt::LeftButton)
    {
        send(QEvent::MouseMove, x, y, Qt::NoButton, held);
    }
    void release(float x, float y, Qt::MouseButton b = Qt::LeftButton)
    {
        send(QEvent::MouseButtonRelease, x, y, b, Qt::NoButton);
    }
    void click(float x, float y, Qt::MouseButton b = Qt::LeftButton)
    {
        press(x, y, b);
        release(x, y, b);
    }
    void drag(float x0, float y0, float x1, float y1)
    {
        press(x0, y0);
        move((x0 + x1) / 2, (y0 + y1) / 2);
        move(x1, y1);
        release(x1, y1);
    }

    // The x of the middle of a cell's click band in a view scrolled to the start.
    static float xOfCell(int cell) { return float(16 + 32 * cell + 16); }
    // A y inside each row's band, and one on the strip between the two groups.
    static float yOfRow(int row)
    {
        static constexpr float ys[] = {200, 30, 95, 160, 237, 300, 365, 414};
        return ys[row];
    }

    uint8_t at(int32_t cell, int row) const { return kep.at(cell, row); }
    void set(int32_t cell, int row, uint8_t v = 1)
    {
        ChartEdit(kep).set(KeP::flatIndex(cell, row), v);
    }
    std::string lastSeek() const
    {
        for (auto it = engine.log.rbegin(); it != engine.log.rend(); ++it)
            if (it->rfind("SetTime", 0) == 0)
                return *it;
        return {};
    }
    std::string seekTo(int32_t ms) const
    {
        return "SetTime " + std::to_string(ke.state().MusicStream) + " " + std::to_string(ms);
    }
};

inline SelectionList selectionOf(std::initializer_list<int32_t> indices)
{
    SelectionList s = emptySelection();
    s.insert(s.end(), indices);
    return s;
}

} // namespace tavix::test
