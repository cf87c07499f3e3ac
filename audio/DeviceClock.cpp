#include "DeviceClock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavix {

void DeviceClock::reset(int rate, double latencyFrames, bool frameCounter)
{
    *this = DeviceClock{};
    m_rate = rate;
    m_latency = latencyFrames;
    m_frameCounter = frameCounter;
}

double DeviceClock::seconds(Clock::time_point t) const
{
    return std::chrono::duration<double>(t - m_epoch).count();
}

void DeviceClock::restart(double now, int64_t framesBefore, int frames)
{
    m_started = true;
    m_e2 = static_cast<double>(frames) / m_rate;
    m_t0 = now;
    m_t1 = now + m_e2;
    m_frames0 = framesBefore;
    m_blockFrames = frames;
}

void DeviceClock::onCallback(Clock::time_point now, int64_t framesBefore, int frames)
{
    m_mixed = framesBefore + frames;
    ++m_count;
    if (m_frameCounter || frames <= 0)
        return;
    if (!m_started) {
        m_epoch = now;
        m_lastNow = 0;
        restart(0.0, framesBefore, frames);
        return;
    }
    const double t = seconds(now);
    const double error = t - m_t1;
    // A gap in the frames, another block size or a stall of several periods (a device
    // restart, a machine under load) makes the history useless: start over from here.
    if (framesBefore != m_frames0 + m_blockFrames || frames != m_blockFrames ||
        std::abs(error) > 4.0 * m_e2) {
        restart(t, framesBefore, frames);
        return;
    }
    // A request that comes much later than due is the machine being busy, not the device
    // changing pace: let it pull the loop only as much as a moderately late one would.
    const double pull = std::clamp(error, -0.25 * m_e2, 0.25 * m_e2);
    // Wide at first to lock on quickly, then narrow to smooth the jitter away.
    const double bandwidth = m_count < 24 ? 8.0 : m_count < 200 ? 3.0 : 1.0;
    const double omega = 2.0 * std::numbers::pi * bandwidth * m_e2;
    const double b = std::numbers::sqrt2 * omega;
    const double c = omega * omega;
    m_t0 = m_t1;
    m_t1 += b * pull + m_e2;
    m_e2 += c * pull;
    m_frames0 = framesBefore;
}

double DeviceClock::heardFrameAt(Clock::time_point when) const
{
    if (m_frameCounter)
        return static_cast<double>(m_mixed);
    if (!m_started)
        return 0.0;
    const double period = m_t1 - m_t0;
    const double t = seconds(when);
    double frame = static_cast<double>(m_frames0) +
                   (period > 0 ? (t - m_t0) / period * m_blockFrames : 0.0) - m_latency;
    // If the device stops asking, so does the position, a few blocks on; a request merely
    // delayed by a busy machine stays well within that. Nor can anyone hear a frame that
    // has not been mixed yet: a device whose request comes late (a file written in blocks,
    // a busy machine) has played out what it held and waits in silence. A pause that read
    // further would take for heard the hits still to be mixed.
    frame = std::min({frame, static_cast<double>(m_frames0 + 5 * m_blockFrames) - m_latency,
                      static_cast<double>(m_mixed)});
    return std::max(frame, 0.0);
}

double DeviceClock::heardFrameNow(Clock::time_point now)
{
    m_lastNow = std::max(m_lastNow, heardFrameAt(now));
    return m_lastNow;
}

} // namespace tavix
