#include "FrameLoop.h"

#include "FrameTick.h"

namespace tavix {

FrameLoop::FrameLoop(std::function<void()> tick, std::function<void()> draw)
    : m_draw(std::move(draw))
{
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, std::move(tick));
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, [this] { runPending(); });
}

void FrameLoop::startTicks(double hz)
{
    m_tick.start(FrameTick::intervalMs(hz));
}

void FrameLoop::request()
{
    m_pending = true;
    if (!m_idle.isActive())
        m_idle.start();
}

bool FrameLoop::runPending()
{
    if (!m_pending)
        return false;
    m_pending = false;
    m_idle.stop();
    m_draw();
    return true;
}

void FrameLoop::stop()
{
    m_tick.stop();
    m_idle.stop();
}

} // namespace tavix
