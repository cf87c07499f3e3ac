#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace tavix {

// The pace of drawing: while a run moves, a tick at the frame rate runs the playback pass,
// which draws; otherwise a frame is drawn once at the next turn of the event loop after
// something asked for it, and only once a song or a chart is shown (the display loop).
class FrameLoop : public QObject
{
public:
    FrameLoop(std::function<void()> tick, std::function<void()> draw);

    // The display loop: from the first song or chart on, redraws are wanted.
    void startLoop() { m_running = true; }
    const bool& loopRunning() const { return m_running; }

    void startTicks(double hz);
    void stopTicks() { m_tick.stop(); }
    bool ticking() const { return m_tick.isActive(); }

    // One redraw at the next turn of the event loop.
    void request();
    // Runs the redraw asked for and not yet done; true when there was one.
    bool runPending();
    // No tick and no redraw any more.
    void stop();

private:
    std::function<void()> m_draw;
    QTimer m_tick;
    QTimer m_idle;
    bool m_running = false;
    bool m_pending = false;
};

} // namespace tavix
