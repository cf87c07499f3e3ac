#include "PositionModel.h"

#include <algorithm>
#include <cmath>

namespace tavix {

PositionModel::PositionModel(CommandTransport& transport, const DeviceKeeper& device)
    : m_transport(transport), m_device(device)
{
}

void PositionModel::restart(int rate)
{
    m_rate = rate;
    m_lastHeard = 0;
}

void PositionModel::setCalibratedLatencyMs(double ms)
{
    m_calibratedMs = std::isfinite(ms) ? std::clamp(ms, 0.0, MaxCalibratedMs) : 0.0;
}

bool PositionModel::usesCalibration() const
{
    const AudioDevice::Info& info = m_device.info();
    return m_transport.running() && info.kind == AudioDevice::Kind::Sdl && info.driver != "disk" &&
           !info.latencyFromEnvironment;
}

double PositionModel::latencyFrames() const
{
    double frames = m_device.info().latencyFrames;
    if (usesCalibration())
        frames += m_calibratedMs * m_rate / 1000.0;
    return frames;
}

double PositionModel::heardFrameAt(Clock::time_point when)
{
    DeviceClock clock = m_transport.clock();
    clock.setLatencyFrames(latencyFrames());
    return clock.heardFrameAt(when);
}

double PositionModel::heardFrameNow(Clock::time_point now)
{
    m_lastHeard = std::max(m_lastHeard, heardFrameAt(now));
    return m_lastHeard;
}

StreamIntent PositionModel::knownState(StreamRecord& r)
{
    using Kind = StreamIntent::Kind;
    const EngineStream::Published& p = r.engine->out.read();
    const StreamIntent& intent = r.intent;
    if (intent.kind == Kind::None || p.appliedSeq >= intent.seq || intent.kind == Kind::Carry) {
        StreamIntent now;
        now.pos = p.timeline.pos;
        now.active = p.timeline.channel >= 0 || intent.kind == Kind::Carry;
        return now;
    }
    return intent;
}

StreamIntent PositionModel::toPlay(StreamRecord& r)
{
    const StreamIntent known = knownState(r);
    StreamIntent next;
    next.active = true;
    next.restBefore = !known.active;
    next.posBefore = known.pos;
    if (known.active) {
        next.kind = StreamIntent::Kind::Carry; // plays on, on this channel or moved to it
    } else {
        next.kind = StreamIntent::Kind::Start;
        const int64_t length = r.sound->lengthFrames();
        next.pos = length >= 0 && known.pos >= length ? 0 : known.pos;
    }
    return next;
}

StreamIntent PositionModel::toSeek(StreamRecord& r, int64_t frame)
{
    const StreamIntent known = knownState(r);
    StreamIntent next;
    next.kind = StreamIntent::Kind::Seek;
    next.pos = frame;
    next.active = known.active;
    next.restBefore = !known.active;
    next.posBefore = known.pos;
    return next;
}

double PositionModel::heardPosition(StreamRecord& r, double heardFrame)
{
    using Kind = StreamIntent::Kind;
    const EngineStream::Published& p = r.engine->out.read();
    const StreamIntent& intent = r.intent;
    if (p.appliedSeq >= intent.seq || intent.kind == Kind::None || intent.kind == Kind::Carry)
        return p.timeline.heardPosition(heardFrame);
    // Asked for and not yet carried out: the new position holds from the moment it was
    // asked for, and a stream at rest stands there whatever moment is asked about.
    if (!intent.active || heardFrame >= intent.stamp)
        return static_cast<double>(intent.pos);
    if (intent.restBefore)
        return static_cast<double>(intent.posBefore);
    return p.timeline.heardPosition(heardFrame);
}

bool PositionModel::audible(StreamRecord& r, double heardFrame)
{
    const EngineStream::Published& p = r.engine->out.read();
    if (p.appliedSeq >= r.intent.seq || r.intent.kind == StreamIntent::Kind::None)
        return p.timeline.isAudible(heardFrame);
    return r.intent.active;
}

} // namespace tavix
