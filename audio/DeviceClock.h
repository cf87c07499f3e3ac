#pragma once

#include <chrono>
#include <cstdint>

namespace tavix {

// Which frame of the mix the listener hears at a given moment.
//
// The device asks for a block of frames at a time, with some jitter. The clock filters
// the moments of those requests with a second-order delay-locked loop, which follows both
// the phase and the true rate of the device (a "dummy" device that sleeps in whole
// milliseconds runs off its nominal rate), and interpolates linearly between them. The
// frame heard is the one the loop says the device is at, less the output latency.
//
// Devices that run faster than real time (writing to a file) have no meaningful moment:
// in frame-counter mode the listener hears exactly what has been mixed.
//
// A plain value: the engine filters on the audio thread and publishes copies to the
// reading thread.
class DeviceClock
{
public:
    using Clock = std::chrono::steady_clock;

    void reset(int rate, double latencyFrames, bool frameCounter);

    // Called at the start of each device request, before its frames are mixed.
    void onCallback(Clock::time_point now, int64_t framesBefore, int frames);

    // The mix frame heard at `when` (which may lie a little in the past or future).
    double heardFrameAt(Clock::time_point when) const;
    // The same for now, never less than any earlier answer.
    double heardFrameNow(Clock::time_point now);

    bool frameCounter() const { return m_frameCounter; }
    double latencyFrames() const { return m_latency; }
    // The latency may change at any time; the frames already filtered stay as they are.
    void setLatencyFrames(double frames) { m_latency = frames; }
    // The device's measured period per block, in seconds (0 before it runs).
    double periodSeconds() const { return m_started ? m_t1 - m_t0 : 0.0; }
    int64_t callbacks() const { return m_count; }

private:
    void restart(double now, int64_t framesBefore, int frames);
    double seconds(Clock::time_point t) const;

    int m_rate = 44100;
    double m_latency = 0;
    bool m_frameCounter = false;
    bool m_started = false;
    Clock::time_point m_epoch{};
    double m_t0 = 0; // filtered moment of the current block
    double m_t1 = 0; // predicted moment of the next one
    double m_e2 = 0; // filtered period
    int64_t m_frames0 = 0;
    int m_blockFrames = 0;
    int64_t m_mixed = 0;
    int64_t m_count = 0;
    double m_lastNow = 0;
};

} // namespace tavix
