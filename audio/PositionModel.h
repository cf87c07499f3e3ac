#pragma once

#include "CommandTransport.h"
#include "DeviceKeeper.h"
#include "StreamIntent.h"
#include "StreamRecord.h"

#include <chrono>

namespace tavix {

// What the listener hears, as the caller's thread works it out: the frame of the mix heard
// at an instant (the device clock the audio thread publishes, less the output latency: the
// device's, plus the calibrated one where it applies), and where a stream stands then.
// Until the audio thread has carried a command out, a stream reads what the command will
// do, from the moment it was given (see StreamIntent); after that, the stretches of
// playback the mixer published.
class PositionModel
{
public:
    using Clock = std::chrono::steady_clock;
    // The calibrated latency is kept within what any output could plausibly add.
    static constexpr double MaxCalibratedMs = 1000.0;

    PositionModel(CommandTransport& transport, const DeviceKeeper& device);

    // A device has started at `rate`: what was heard before belongs to another run.
    void restart(int rate);

    void setCalibratedLatencyMs(double ms);
    // A file and the silent timer have no latency to calibrate, and a latency set from the
    // environment is taken as it stands.
    bool usesCalibration() const;
    double latencyFrames() const;

    double heardFrameAt(Clock::time_point when);
    // The frame heard at `now`, never less than one read before: positions read one after
    // another never go back.
    double heardFrameNow(Clock::time_point now);

    // The stream's position, in frames, when the listener hears `heardFrame`.
    double heardPosition(StreamRecord& r, double heardFrame);
    bool audible(StreamRecord& r, double heardFrame);
    // Where the stream stands as far as the caller can tell: what it asked last, or what
    // the mixer published once it has carried that out.
    StreamIntent knownState(StreamRecord& r);
    // What a start, or a seek to `frame`, of the stream will read until it is carried out;
    // the caller adds the command's number and stamp once it is sent.
    StreamIntent toPlay(StreamRecord& r);
    StreamIntent toSeek(StreamRecord& r, int64_t frame);

private:
    CommandTransport& m_transport;
    const DeviceKeeper& m_device;
    int m_rate = 44100;
    double m_calibratedMs = 0;
    double m_lastHeard = 0;
};

} // namespace tavix
