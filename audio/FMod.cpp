#include "FMod.h"

#include "AudioTime.h"
#include "StreamLoader.h"

#include <algorithm>
#include <cmath>

namespace tavix {

FMod::FMod() : FMod(Options{}) {}

FMod::FMod(Options options)
    : m_options(std::move(options)), m_transport(m_options.observer),
      m_device(m_transport, m_lastError), m_position(m_transport, m_device)
{
}

FMod::~FMod()
{
    FSOUND_Close();
}

bool FMod::fail(const QString& why)
{
    m_lastError = why;
    return false;
}

bool FMod::FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned /*flags*/)
{
    m_owner.check();
    if (m_transport.running())
        return true;
    if (mixRate < 8000 || mixRate > 192000)
        return fail(QStringLiteral("Unsupported mix rate %1 Hz").arg(mixRate));
    if (maxSoftwareChannels < 1 || maxSoftwareChannels > 256)
        return fail(QStringLiteral("Unsupported channel count %1").arg(maxSoftwareChannels));
    const int buffer =
        m_options.bufferFrames > 0 ? m_options.bufferFrames : AudioDevice::requestedBufferFrames();
    QString note;
    m_device.open(m_options.output, mixRate, buffer, &note);
    // Nothing runs on the audio thread before start(): all of this is set up beforehand.
    const AudioDevice::Info& info = m_device.info();
    m_rate = info.rate;
    m_transport.run(maxSoftwareChannels, m_rate, m_options.commandCapacity, info);
    m_channels = maxSoftwareChannels;
    m_position.restart(m_rate);
    m_device.start();
    m_lastError = note;
    return true;
}

void FMod::FSOUND_Close()
{
    m_owner.check();
    if (!m_transport.running())
        return;
    m_device.closeAll();
    m_streams.clear();
    m_transport.finishClose();
}

// ---- Passing calls on ----------------------------------------------------------------------

bool FMod::send(EngineCommand& command)
{
    if (m_transport.send(command, [this] { return heardFrameNow(); }))
        return true;
    return fail(QStringLiteral("The sound engine is busy: %1 commands wait for the audio "
                               "device, which has stopped taking them")
                    .arg(m_transport.capacity()));
}

void FMod::reclaim()
{
    if (m_streams.awaitsRelease())
        m_streams.reclaim(m_transport.appliedSeq());
}

double FMod::heardFrameNow()
{
    if (!m_transport.running())
        return 0;
    const auto now = Clock::now();
    if (m_device.watch(now))
        reclaim();
    return m_position.heardFrameNow(now);
}

StreamHandle FMod::FSOUND_Stream_Open(const char* nameOrData, unsigned mode, int offset, int length)
{
    m_owner.check();
    if (!m_transport.running()) {
        fail(QStringLiteral("The sound engine is not initialised"));
        return 0;
    }
    reclaim();
    QString error;
    std::unique_ptr<StreamRecord> record =
        StreamLoader::open(nameOrData, mode, offset, length, m_rate, error);
    if (!record) {
        fail(error);
        return 0;
    }
    record->engine = std::make_unique<EngineStream>(record->sound);
    EngineCommand add{EngineCommand::Kind::Add, 0, record->engine.get()};
    if (!send(add))
        return 0; // the decoder, if any, stops and the stream is freed here
    return m_streams.insert(std::move(record));
}

bool FMod::FSOUND_Stream_Close(StreamHandle h)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    reclaim();
    EngineCommand c{EngineCommand::Kind::Remove, 0, r->engine.get()};
    if (!send(c))
        return false;
    m_streams.retire(h, c.seq);
    reclaim();
    return true;
}

bool FMod::FSOUND_Stream_Play(int channel, StreamHandle h)
{
    m_owner.check();
    return play(channel, h, false);
}

bool FMod::FSOUND_Stream_Resume(int channel, StreamHandle h)
{
    m_owner.check();
    return play(channel, h, true);
}

bool FMod::play(int channel, StreamHandle h, bool goOn)
{
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    reclaim();
    if (channel >= m_channels)
        return fail(QStringLiteral("No channel %1").arg(channel));
    StreamIntent next = m_position.toPlay(*r);
    EngineCommand c{goOn ? EngineCommand::Kind::Resume : EngineCommand::Kind::Play, channel,
                    r->engine.get()};
    if (!send(c))
        return false;
    next.seq = c.seq;
    next.stamp = c.stamp;
    r->intent = next;
    return true;
}

bool FMod::FSOUND_Stream_SetTime(StreamHandle h, int32_t ms)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    reclaim();
    int64_t frame = std::max<int64_t>(framesFromMs(ms, m_rate), 0);
    const int64_t length = r->sound->lengthFrames();
    if (length >= 0)
        frame = std::min(frame, length);
    StreamIntent next = m_position.toSeek(*r, frame);
    EngineCommand c{EngineCommand::Kind::Seek, 0, r->engine.get()};
    c.frame = frame;
    if (!send(c))
        return false;
    next.seq = c.seq;
    next.stamp = c.stamp;
    r->intent = next;
    return true;
}

bool FMod::FSOUND_Stream_Stop(StreamHandle h)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    reclaim();
    EngineCommand c{EngineCommand::Kind::Stop, 0, r->engine.get()};
    if (!send(c))
        return false;
    r->intent = StreamIntent{StreamIntent::Kind::Stop, c.seq};
    return true;
}

bool FMod::FSOUND_Stream_PlayAt(int channel, StreamHandle effect, StreamHandle music,
                                double musicMs)
{
    m_owner.check();
    StreamRecord* e = m_streams.find(effect);
    StreamRecord* m = m_streams.find(music);
    if (!e || !m)
        return false;
    const auto refuse = [&](const QString& why) {
        return fail(QStringLiteral("Cannot schedule stream %1 on channel %2 over stream %3: %4")
                        .arg(effect)
                        .arg(channel)
                        .arg(music)
                        .arg(why));
    };
    if (e == m || channel < 0 || channel >= m_channels)
        return refuse(QStringLiteral("no such channel, or the stream is its own music"));
    if (m_transport.startsWaiting() >= Mixer::MaxPending)
        return refuse(QStringLiteral("%1 starts wait already").arg(Mixer::MaxPending));
    EngineCommand c{EngineCommand::Kind::PlayAt, channel, e->engine.get(), m->engine.get()};
    c.frame = framesFromMs(musicMs, m_rate);
    if (!send(c))
        return false;
    m_transport.countStart();
    return true;
}

void FMod::FSOUND_Stream_CancelScheduled(StreamHandle music)
{
    m_owner.check();
    if (StreamRecord* r = m_streams.find(music)) {
        EngineCommand c{EngineCommand::Kind::Cancel, 0, r->engine.get()};
        send(c);
    }
}

bool FMod::setPlaybackRate(StreamHandle h, int percent)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    reclaim();
    if (percent < 1 || percent > 100)
        return fail(QStringLiteral("No playback rate of %1%").arg(percent));
    if (percent == playbackRate(h))
        return true;
    // The feeder starts idle here, on the caller's thread; the audio thread only switches
    // to it, and the old one is freed once it has let go of it.
    auto feed = percent < 100 ? std::make_unique<StretchFeed>(r->sound, percent) : nullptr;
    EngineCommand c{EngineCommand::Kind::Stretch, 0, r->engine.get()};
    c.feed = feed.get();
    if (!send(c))
        return false;
    m_streams.retireFeed(c.seq, std::move(r->stretch));
    r->stretch = std::move(feed);
    return true;
}

int FMod::playbackRate(StreamHandle h)
{
    m_owner.check();
    const StreamRecord* r = m_streams.find(h);
    return r && r->stretch ? r->stretch->ratePercent() : 100;
}

// ---- Reading ---------------------------------------------------------------------------------

int32_t FMod::FSOUND_Stream_GetLengthMs(StreamHandle h)
{
    m_owner.check();
    const StreamRecord* r = m_streams.find(h);
    return r ? StreamLoader::lengthMs(*r, m_rate) : 0;
}

double FMod::streamTimeExact(StreamHandle h)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return 0;
    return msFromFrames(m_position.heardPosition(*r, heardFrameNow()), m_rate);
}

double FMod::streamTimeAt(StreamHandle h, Clock::time_point when)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return 0;
    return msFromFrames(m_position.heardPosition(*r, m_position.heardFrameAt(when)), m_rate);
}

int32_t FMod::FSOUND_Stream_GetTime(StreamHandle h)
{
    m_owner.check();
    if (!m_streams.find(h))
        return 0;
    return static_cast<int32_t>(std::llround(streamTimeExact(h)));
}

bool FMod::isPlaying(StreamHandle h)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    return r && m_position.audible(*r, heardFrameNow());
}

double FMod::decodeProgress(StreamHandle h)
{
    m_owner.check();
    reclaim();
    const StreamRecord* r = m_streams.find(h);
    return r ? r->sound->progress() : 0.0;
}

void FMod::setCalibratedLatencyMs(double ms)
{
    m_owner.check();
    m_position.setCalibratedLatencyMs(ms);
}

bool FMod::calibratedLatencyApplies()
{
    m_owner.check();
    return m_position.usesCalibration();
}

double FMod::outputLatencyMs()
{
    m_owner.check();
    return isInitialised() ? msFromFrames(m_position.latencyFrames(), m_rate) : 0.0;
}

std::optional<double> FMod::setLoop(StreamHandle h, double fromMs, double toMs)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return std::nullopt;
    reclaim();
    EngineCommand c{EngineCommand::Kind::Loop, 0, r->engine.get()};
    if (toMs > fromMs) {
        const int64_t length = r->sound->lengthFrames();
        c.frame = framesFromMs(fromMs, m_rate);
        c.endFrame = framesFromMs(toMs, m_rate);
        if (c.frame < 0 || c.endFrame <= c.frame || (length >= 0 && c.endFrame > length)) {
            fail(QStringLiteral("No loop from %1 to %2 ms in this song").arg(fromMs).arg(toMs));
            return std::nullopt;
        }
    }
    if (!send(c))
        return std::nullopt;
    return msFromFrames(double(c.endFrame - c.frame), m_rate);
}

bool FMod::setMutedBefore(StreamHandle h, double ms)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    EngineCommand c{EngineCommand::Kind::Mute, 0, r->engine.get()};
    c.frame = std::max<int64_t>(framesFromMs(ms, m_rate), 0);
    return send(c);
}

double FMod::mixAheadMs()
{
    m_owner.check();
    if (!isInitialised())
        return 0.0;
    return msFromFrames(m_position.latencyFrames() + deviceInfo().bufferFrames, m_rate);
}

std::shared_ptr<const WaveformPeaks> FMod::waveformPeaks(StreamHandle h)
{
    m_owner.check();
    const StreamRecord* r = m_streams.find(h);
    return r ? r->peaks : nullptr;
}

QString FMod::lastError() const
{
    m_owner.check();
    return m_lastError;
}

AudioDevice::Info FMod::deviceInfo() const
{
    m_owner.check();
    return m_device.info();
}

double FMod::listenerFrameAt(Clock::time_point when)
{
    m_owner.check();
    return isInitialised() ? m_position.heardFrameAt(when) : 0.0;
}

int64_t FMod::memoryBytes(StreamHandle h) const
{
    m_owner.check();
    const StreamRecord* r = m_streams.find(h);
    return r ? r->sound->memoryBytes() : 0;
}

int64_t FMod::lengthFrames(StreamHandle h) const
{
    m_owner.check();
    const StreamRecord* r = m_streams.find(h);
    return r ? r->sound->lengthFrames() : -1;
}

bool FMod::waitDecoded(StreamHandle h)
{
    m_owner.check();
    StreamRecord* r = m_streams.find(h);
    if (!r)
        return false;
    StreamLoader::waitDecoded(*r);
    return true;
}

size_t FMod::streamsAwaitingRelease() const
{
    m_owner.check();
    return m_streams.streamsAwaitingRelease();
}

int FMod::deviceRestarts() const
{
    m_owner.check();
    return m_device.restarts();
}

void FMod::advance(int frames, std::vector<int16_t>* capture)
{
    if (isInitialised())
        m_device.device().pump(frames, capture);
}

} // namespace tavix
