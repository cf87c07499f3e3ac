#include "FMod.h"

#include "AudioTime.h"
#include "Decoder.h"

#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavix {

namespace {

// Memory blocks up to this size (the editor's clips) are decoded during the open; larger
// ones decode in the background like files.
constexpr int64_t SynchronousDecodeBytes = 4 * 1024 * 1024;

// The calibrated latency is kept within what any output could plausibly add.
constexpr double MaxCalibratedMs = 1000.0;

} // namespace

// The part of a stream that the audio thread works on. The caller's thread makes it whole
// and hands it over with an Add command; from then on only the audio thread touches
// `voice`, `appliedSeq` and the links, until the Remove command has been carried out.
struct FMod::EngineStream
{
    struct Published
    {
        Mixer::Timeline timeline;
        uint64_t appliedSeq = 0; // the last command on this stream that the mixer carried out
    };

    explicit EngineStream(std::shared_ptr<const DecodedSound> sound) : voice(std::move(sound)) {}

    Mixer::Stream voice;
    TripleBuffer<Published> out;
    uint64_t appliedSeq = 0;
    // A stream at rest is published again only when a command touched it or its timeline
    // moved on: its history of stretches is large to copy.
    bool touched = true;
    Mixer::Segment lastNewest{};
    int64_t lastPos = -1;
    int lastChannel = -1;
    EngineStream* prev = nullptr;
    EngineStream* next = nullptr;
};

struct FMod::Command
{
    enum class Kind : uint8_t { Add, Remove, Play, Resume, Stop, Seek, PlayAt, Cancel, Stretch };
    Kind kind = Kind::Play;
    int channel = 0;
    EngineStream* stream = nullptr; // the effect of a PlayAt, the music of a Cancel
    EngineStream* music = nullptr;  // PlayAt only
    StretchFeed* feed = nullptr;    // Stretch only
    int64_t frame = 0;              // Seek, PlayAt
    double stamp = 0;               // the frame the listener heard when it was given
    uint64_t seq = 0;
};

// What the caller's thread last asked of a stream, to read until the audio thread has
// carried it out.
struct FMod::Intent
{
    enum class Kind : uint8_t { None, Start, Carry, Seek, Stop };
    Kind kind = Kind::None;
    uint64_t seq = 0;
    int64_t pos = 0;
    double stamp = 0;
    bool active = false;
    // Where the stream stood, at rest, before this was asked: what a moment before the
    // stamp reads (a stream playing before it reads the mixer's stretches instead).
    bool restBefore = false;
    int64_t posBefore = 0;
};

struct FMod::StreamRecord
{
    std::shared_ptr<DecodedSound> sound;
    std::shared_ptr<const WaveformPeaks> peaks;
    std::unique_ptr<EngineStream> engine;
    Intent intent;
    std::unique_ptr<StretchFeed> stretch; // while it plays slowed down
    std::jthread decoder;                 // destroyed first: stops and joins before the sound goes
};

FMod::FMod() : FMod(Options{}) {}

FMod::FMod(Options options) : m_options(std::move(options)) {}

FMod::~FMod()
{
    FSOUND_Close();
}

bool FMod::fail(const QString& why)
{
    m_lastError = why;
    return false;
}

FMod::StreamRecord* FMod::find(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? nullptr : it->second.get();
}

const FMod::StreamRecord* FMod::find(StreamHandle h) const
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? nullptr : it->second.get();
}

bool FMod::FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned /*flags*/)
{
    if (m_mixer)
        return true;
    if (mixRate < 8000 || mixRate > 192000)
        return fail(QStringLiteral("Unsupported mix rate %1 Hz").arg(mixRate));
    if (maxSoftwareChannels < 1 || maxSoftwareChannels > 256)
        return fail(QStringLiteral("Unsupported channel count %1").arg(maxSoftwareChannels));
    const int buffer =
        m_options.bufferFrames > 0 ? m_options.bufferFrames : AudioDevice::requestedBufferFrames();
    QString note;
    m_bufferFrames = buffer;
    m_gate.handTo(++m_generation);
    m_device->open(m_options.output, mixRate, buffer, renderFor(m_generation), &note);
    // Nothing runs on the audio thread before start(): all of this is set up beforehand.
    const AudioDevice::Info& info = m_device->info();
    m_rate = info.rate;
    m_restarts = 0;
    m_lastRequest.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
    m_mixerBusy.store(false, std::memory_order_relaxed);
    m_commands =
        std::make_unique<SpscQueue<Command>>(std::max<size_t>(m_options.commandCapacity, 2));
    m_mixer = std::make_unique<Mixer>(maxSoftwareChannels, m_rate);
    m_channels = maxSoftwareChannels;
    m_clock.reset(m_rate, 0, info.frameCounter);
    m_clockOut.publish(m_clock);
    m_linked = nullptr;
    m_lastApplied = m_nextSeq;
    m_appliedSeq.store(m_nextSeq, std::memory_order_relaxed);
    m_startsSent = 0;
    m_startsRetired.store(0, std::memory_order_relaxed);
    m_framesMixed.store(0, std::memory_order_relaxed);
    m_lastHeard = 0;
    m_closing.store(false, std::memory_order_relaxed);
    // A file driver with no delay would write silence as fast as the disk takes it: while
    // nothing plays it goes at the speed of real time instead (see render()).
    m_throttleIdle = info.kind == AudioDevice::Kind::Sdl && info.frameCounter;
    m_device->start();
    m_lastError = note;
    return true;
}

// ---- The audio thread ----------------------------------------------------------------------

void FMod::link(EngineStream* s)
{
    s->prev = nullptr;
    s->next = m_linked;
    if (m_linked)
        m_linked->prev = s;
    m_linked = s;
}

void FMod::unlink(EngineStream* s)
{
    if (s->prev)
        s->prev->next = s->next;
    else if (m_linked == s)
        m_linked = s->next;
    if (s->next)
        s->next->prev = s->prev;
    s->prev = s->next = nullptr;
}

void FMod::applyCommands()
{
    Command c;
    while (m_commands->pop(c)) {
        Mixer& mixer = *m_mixer;
        mixer.setListenerFrame(c.stamp);
        EngineStream& s = *c.stream;
        s.touched = true;
        switch (c.kind) {
        case Command::Kind::Add:
            mixer.addStream(s.voice);
            link(&s);
            break;
        case Command::Kind::Remove:
            mixer.removeStream(s.voice);
            unlink(&s);
            break;
        case Command::Kind::Play:
            mixer.play(c.channel, s.voice);
            break;
        case Command::Kind::Resume:
            mixer.play(c.channel, s.voice, true);
            break;
        case Command::Kind::Stop:
            mixer.stop(s.voice);
            break;
        case Command::Kind::Seek:
            mixer.seek(s.voice, c.frame);
            break;
        case Command::Kind::PlayAt:
            mixer.playAt(c.channel, s.voice, c.music->voice, c.frame);
            break;
        case Command::Kind::Cancel:
            mixer.cancelScheduled(s.voice);
            break;
        case Command::Kind::Stretch:
            mixer.setStretch(s.voice, c.feed);
            break;
        }
        if (c.kind != Command::Kind::PlayAt && c.kind != Command::Kind::Cancel &&
            c.kind != Command::Kind::Stretch)
            s.appliedSeq = c.seq;
        m_lastApplied = c.seq;
    }
}

void FMod::publish()
{
    for (EngineStream* s = m_linked; s; s = s->next) {
        const Mixer::Timeline& t = s->voice.timeline();
        const Mixer::Segment newest =
            t.segmentCount > 0 ? t.segments[static_cast<size_t>(t.newest)] : Mixer::Segment{};
        if (s->touched || t.channel >= 0 || t.channel != s->lastChannel || t.pos != s->lastPos ||
            !(newest == s->lastNewest))
            s->out.publish({t, s->appliedSeq});
        s->touched = false;
        s->lastNewest = newest;
        s->lastPos = t.pos;
        s->lastChannel = t.channel;
    }
    m_clockOut.publish(m_clock);
    m_framesMixed.store(m_mixer->mixFrame(), std::memory_order_release);
    m_startsRetired.store(m_mixer->startsRetired(), std::memory_order_release);
    m_mixerBusy.store(m_mixer->busy(), std::memory_order_release);
    // Last: once the caller sees a command carried out, the audio thread is done with
    // whatever that command let go of.
    m_appliedSeq.store(m_lastApplied, std::memory_order_release);
}

AudioDevice::Render FMod::renderFor(uint32_t generation)
{
    return [this, generation](int16_t* out, int frames, Clock::time_point when) {
        render(generation, out, frames, when);
    };
}

void FMod::render(uint32_t generation, int16_t* out, int frames, Clock::time_point when)
{
    if (!m_gate.enter(generation)) {
        std::fill_n(out, 2 * frames, int16_t{0}); // a device given up for stopped
        return;
    }
    mix(out, frames, when);
    m_gate.leave(generation);
}

bool FMod::abandoning() const
{
    return m_closing.load(std::memory_order_acquire) || m_handover.load(std::memory_order_acquire);
}

void FMod::mix(int16_t* out, int frames, Clock::time_point when)
{
    auto silence = [&] { std::fill_n(out, 2 * frames, int16_t{0}); };
    m_lastRequest.store(when.time_since_epoch().count(), std::memory_order_release);
    if (!m_mixer || abandoning())
        return silence();
    applyCommands();
    if (m_throttleIdle && !m_mixer->busy()) {
        // Nothing to mix for a file written as fast as it goes: let a block's worth of
        // real time pass unless a command comes first. A file driver has no deadline, so
        // this is the one place the audio thread sleeps.
        const auto until =
            when + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double>(static_cast<double>(frames) / m_rate));
        while (m_commands->empty() && Clock::now() < until && !abandoning())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (abandoning())
            return silence();
        applyCommands();
        when = Clock::now();
    }
    // Time means nothing to a file driver, so rather than write silence where a song is
    // still being decoded, wait for the decoder: the capture then has no gaps. The device
    // is waiting on purpose then, not stopped.
    for (int waited = 0; m_throttleIdle && m_mixer->waitingForData(frames) && waited < 5000;
         ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (abandoning())
            return silence();
        m_lastRequest.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    }
    const int64_t before = m_mixer->mixFrame();
    m_clock.onCallback(when, before, frames);
    if (m_options.observer)
        m_options.observer(when, before, frames);
    m_mixer->render(out, frames);
    publish();
}

// ---- The caller's thread -------------------------------------------------------------------

bool FMod::send(Command& command)
{
    command.seq = ++m_nextSeq;
    command.stamp = heardFrameNow();
    if (m_commands->push(command))
        return true;
    --m_nextSeq;
    return fail(QStringLiteral("The sound engine is busy: %1 commands wait for the audio "
                               "device, which has stopped taking them")
                    .arg(m_commands->capacity()));
}

void FMod::reclaim()
{
    if (m_retired.empty() && m_retiredFeeds.empty())
        return;
    const uint64_t done = m_appliedSeq.load(std::memory_order_acquire);
    std::erase_if(m_retired, [done](const auto& entry) { return entry.first <= done; });
    std::erase_if(m_retiredFeeds, [done](const auto& entry) { return entry.first <= done; });
}

void FMod::FSOUND_Close()
{
    if (!m_mixer)
        return;
    adoptReplacement(true);
    m_closing.store(true, std::memory_order_release);
    // The stopped devices first, newest first (each one's closer waits for the one before):
    // the sound library is never asked to open or close two devices at once.
    while (!m_retiredDevices.empty())
        m_retiredDevices.pop_back();
    m_device->close(); // no render call runs once this returns
    m_streams.clear();
    m_retired.clear();
    m_retiredFeeds.clear();
    m_linked = nullptr;
    m_mixer.reset();
    m_commands.reset();
    m_closing.store(false, std::memory_order_relaxed);
}

StreamHandle FMod::addStream(std::shared_ptr<DecodedSound> sound,
                             std::shared_ptr<const WaveformPeaks> peaks, std::jthread decoder)
{
    if (m_nextHandle == std::numeric_limits<StreamHandle>::max())
        m_nextHandle = 1;
    while (m_streams.count(m_nextHandle))
        ++m_nextHandle;
    auto record = std::make_unique<StreamRecord>();
    record->engine = std::make_unique<EngineStream>(sound);
    Command add{Command::Kind::Add, 0, record->engine.get()};
    if (!send(add))
        return 0; // the decoder, if any, stops and the stream is freed here
    record->sound = std::move(sound);
    record->peaks = std::move(peaks);
    record->decoder = std::move(decoder);
    const StreamHandle h = m_nextHandle++;
    m_streams.emplace(h, std::move(record));
    return h;
}

StreamHandle FMod::FSOUND_Stream_Open(const char* nameOrData, unsigned mode, int offset, int length)
{
    if (!m_mixer) {
        fail(QStringLiteral("The sound engine is not initialised"));
        return 0;
    }
    reclaim();
    if (!nameOrData) {
        fail(QStringLiteral("No file name or sound data"));
        return 0;
    }
    offset = std::max(offset, 0);
    QString error;
    std::unique_ptr<Decoder> decoder;
    bool background = true;
    if (mode & FSOUND_LOADMEMORY) {
        if (length <= 0) {
            fail(QStringLiteral("A sound in memory needs its length in bytes"));
            return 0;
        }
        decoder = Decoder::openMemory(nameOrData + offset, length, m_rate, &error);
        background = length > SynchronousDecodeBytes;
    } else if (offset > 0 || length > 0) {
        // A stretch of a larger file: read just those bytes.
        QFile file(QString::fromUtf8(nameOrData));
        if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) {
            fail(QStringLiteral("Cannot open \"%1\": %2")
                     .arg(QString::fromUtf8(nameOrData), file.errorString()));
            return 0;
        }
        const QByteArray bytes = length > 0 ? file.read(length) : file.readAll();
        decoder = Decoder::openMemory(bytes.constData(), bytes.size(), m_rate, &error);
    } else {
        decoder = Decoder::openFile(nameOrData, m_rate, &error);
    }
    if (!decoder) {
        fail(error);
        return 0;
    }
    std::shared_ptr<DecodedSound> sound = decoder->sound();
    std::shared_ptr<const WaveformPeaks> peaks = decoder->peaks();
    std::jthread thread;
    if (background) {
        thread = std::jthread(
            [d = std::move(decoder)](std::stop_token stop) { d->decodeAll(std::move(stop)); });
    } else {
        decoder->decodeAll();
    }
    return addStream(std::move(sound), std::move(peaks), std::move(thread));
}

int32_t FMod::FSOUND_Stream_GetLengthMs(StreamHandle h)
{
    const StreamRecord* r = find(h);
    if (!r)
        return 0;
    const DecodedSound& sound = *r->sound;
    int64_t frames = sound.lengthFrames();
    if (frames < 0)
        frames = std::max(sound.estimatedFrames(), sound.availableFrames());
    return wholeMsFromFrames(static_cast<double>(frames), m_rate);
}

FMod::Intent FMod::knownState(StreamRecord& r)
{
    // Where the stream stands as far as this thread can tell: what it asked last, or what
    // the mixer published once it has carried that out.
    const EngineStream::Published& p = r.engine->out.read();
    const Intent& intent = r.intent;
    if (intent.kind == Intent::Kind::None || p.appliedSeq >= intent.seq ||
        intent.kind == Intent::Kind::Carry) {
        Intent now;
        now.pos = p.timeline.pos;
        now.active = p.timeline.channel >= 0 || intent.kind == Intent::Kind::Carry;
        return now;
    }
    return intent;
}

bool FMod::FSOUND_Stream_Play(int channel, StreamHandle h)
{
    return play(channel, h, false);
}

bool FMod::FSOUND_Stream_Resume(int channel, StreamHandle h)
{
    return play(channel, h, true);
}

bool FMod::play(int channel, StreamHandle h, bool goOn)
{
    StreamRecord* r = find(h);
    if (!r)
        return false;
    reclaim();
    if (channel >= m_channels)
        return fail(QStringLiteral("No channel %1").arg(channel));
    const Intent known = knownState(*r);
    Intent next;
    next.active = true;
    next.restBefore = !known.active;
    next.posBefore = known.pos;
    if (known.active) {
        next.kind = Intent::Kind::Carry; // plays on, on this channel or moved to it
    } else {
        next.kind = Intent::Kind::Start;
        const int64_t length = r->sound->lengthFrames();
        next.pos = length >= 0 && known.pos >= length ? 0 : known.pos;
    }
    Command c{goOn ? Command::Kind::Resume : Command::Kind::Play, channel, r->engine.get()};
    if (!send(c))
        return false;
    next.seq = c.seq;
    next.stamp = c.stamp;
    r->intent = next;
    return true;
}

double FMod::heardPosition(StreamRecord& r, double heardFrame)
{
    const EngineStream::Published& p = r.engine->out.read();
    const Intent& intent = r.intent;
    if (p.appliedSeq >= intent.seq || intent.kind == Intent::Kind::None ||
        intent.kind == Intent::Kind::Carry)
        return p.timeline.heardPosition(heardFrame);
    // Asked for and not yet carried out: the new position holds from the moment it was
    // asked for, and a stream at rest stands there whatever moment is asked about.
    if (!intent.active || heardFrame >= intent.stamp)
        return static_cast<double>(intent.pos);
    if (intent.restBefore)
        return static_cast<double>(intent.posBefore);
    return p.timeline.heardPosition(heardFrame);
}

bool FMod::audible(StreamRecord& r, double heardFrame)
{
    const EngineStream::Published& p = r.engine->out.read();
    if (p.appliedSeq >= r.intent.seq || r.intent.kind == Intent::Kind::None)
        return p.timeline.isAudible(heardFrame);
    return r.intent.active;
}

bool FMod::usesCalibration() const
{
    // A file and the silent timer have no latency to calibrate, and a latency set from the
    // environment is taken as it stands.
    const AudioDevice::Info& info = m_device->info();
    return isInitialised() && info.kind == AudioDevice::Kind::Sdl && info.driver != "disk" &&
           !info.latencyFromEnvironment;
}

double FMod::latencyFrames() const
{
    double frames = m_device->info().latencyFrames;
    if (usesCalibration())
        frames += m_calibratedMs * m_rate / 1000.0;
    return frames;
}

double FMod::heardFrameAt(Clock::time_point when)
{
    DeviceClock clock = m_clockOut.read();
    clock.setLatencyFrames(latencyFrames());
    return clock.heardFrameAt(when);
}

double FMod::heardFrameNow()
{
    if (!m_mixer)
        return 0;
    const auto now = Clock::now();
    watchDevice(now);
    m_lastHeard = std::max(m_lastHeard, heardFrameAt(now));
    return m_lastHeard;
}

void FMod::watchDevice(Clock::time_point now)
{
    adoptReplacement(false);
    if (m_keeper.joinable())
        return;
    const AudioDevice::Info& info = m_device->info();
    if (info.kind == AudioDevice::Kind::Manual)
        return;
    const bool waiting = m_nextSeq > m_appliedSeq.load(std::memory_order_acquire) ||
                         m_mixerBusy.load(std::memory_order_acquire);
    const Clock::time_point last{Clock::duration(m_lastRequest.load(std::memory_order_acquire))};
    const double silent = std::chrono::duration<double>(now - last).count();
    if (!waiting || silent < StallSeconds)
        return;
    // One opened again that stops soon after is no use: play on silently, on the clock.
    const bool again = m_restarts > 0 && now - m_lastRestart < std::chrono::seconds(10);
    // Nor while a stopped device is still being closed: the sound library must not open
    // one and close another at once.
    const bool closing = m_closersRunning.load(std::memory_order_acquire) > 0;
    const AudioDevice::Kind next = again || closing || info.kind == AudioDevice::Kind::Timer
                                       ? AudioDevice::Kind::Timer
                                       : m_options.output;
    ++m_restarts;
    m_lastRestart = now;
    m_lastError = QStringLiteral("The audio device (%1) stopped asking for sound for %2 s; %3")
                      .arg(info.driver)
                      .arg(silent, 0, 'f', 1)
                      .arg(next == AudioDevice::Kind::Timer && info.kind != next
                               ? QStringLiteral("playing on silently")
                               : QStringLiteral("opening it again"));
    qWarning("tavix: %s", qPrintable(m_lastError));
    m_replaced.store(false, std::memory_order_relaxed);
    m_keeper = std::jthread(
        [this, generation = ++m_generation, next] { replaceDevice(generation, next); });
}

void FMod::replaceDevice(uint32_t generation, AudioDevice::Kind kind)
{
    // The keeper's thread: opens the new device and hands the mixer to it; the caller's
    // thread takes it over at its next call.
    auto device = std::make_unique<AudioDevice>();
    QString note;
    device->open(kind, m_rate, m_bufferFrames, renderFor(generation), &note);
    if (device->info().rate != m_rate) {
        // The mix keeps its rate: at another one, it plays on silently instead.
        note = QStringLiteral("it came back at %1 Hz, not %2 Hz; playing on silently")
                   .arg(device->info().rate)
                   .arg(m_rate);
        device->open(AudioDevice::Kind::Timer, m_rate, m_bufferFrames, renderFor(generation),
                     nullptr);
    }
    m_handover.store(true, std::memory_order_release);
    m_gate.handTo(generation);
    m_handover.store(false, std::memory_order_release);
    // No device mixes until the new one starts: the audio thread's part is this thread's.
    const AudioDevice::Info& info = device->info();
    if (info.frameCounter != m_clock.frameCounter())
        m_clock.reset(m_rate, 0, info.frameCounter);
    m_throttleIdle = info.kind == AudioDevice::Kind::Sdl && info.frameCounter;
    m_lastRequest.store(Clock::now().time_since_epoch().count(), std::memory_order_release);
    device->start();
    m_replacement = std::move(device);
    m_replacementNote = note;
    m_replaced.store(true, std::memory_order_release);
}

void FMod::adoptReplacement(bool wait)
{
    if (!m_keeper.joinable() || (!wait && !m_replaced.load(std::memory_order_acquire)))
        return;
    m_keeper.join();
    m_replaced.store(false, std::memory_order_relaxed);
    // The stopped device is closed on a thread of its own, as long as its driver takes to
    // let go; until then its requests, if any come, get silence.
    std::jthread before =
        m_retiredDevices.empty() ? std::jthread() : std::move(m_retiredDevices.back().closer);
    RetiredDevice& old = m_retiredDevices.emplace_back();
    old.device = std::move(m_device);
    m_closersRunning.fetch_add(1, std::memory_order_acq_rel);
    old.closer =
        std::jthread([this, device = old.device.get(), before = std::move(before)]() mutable {
            if (before.joinable())
                before.join();
            device->close();
            m_closersRunning.fetch_sub(1, std::memory_order_acq_rel);
        });
    m_device = std::move(m_replacement);
    if (!m_replacementNote.isEmpty())
        m_lastError += QStringLiteral(" (%1)").arg(m_replacementNote);
    m_replacementNote.clear();
    reclaim();
}

double FMod::streamTimeExact(StreamHandle h)
{
    StreamRecord* r = find(h);
    if (!r)
        return 0;
    return msFromFrames(heardPosition(*r, heardFrameNow()), m_rate);
}

double FMod::streamTimeAt(StreamHandle h, Clock::time_point when)
{
    StreamRecord* r = find(h);
    if (!r)
        return 0;
    return msFromFrames(heardPosition(*r, heardFrameAt(when)), m_rate);
}

int32_t FMod::FSOUND_Stream_GetTime(StreamHandle h)
{
    if (!find(h))
        return 0;
    return static_cast<int32_t>(std::llround(streamTimeExact(h)));
}

bool FMod::FSOUND_Stream_SetTime(StreamHandle h, int32_t ms)
{
    StreamRecord* r = find(h);
    if (!r)
        return false;
    reclaim();
    int64_t frame = std::max<int64_t>(framesFromMs(ms, m_rate), 0);
    const int64_t length = r->sound->lengthFrames();
    if (length >= 0)
        frame = std::min(frame, length);
    const Intent known = knownState(*r);
    Command c{Command::Kind::Seek, 0, r->engine.get()};
    c.frame = frame;
    if (!send(c))
        return false;
    Intent next;
    next.kind = Intent::Kind::Seek;
    next.seq = c.seq;
    next.pos = frame;
    next.active = known.active;
    next.restBefore = !known.active;
    next.posBefore = known.pos;
    next.stamp = c.stamp;
    r->intent = next;
    return true;
}

bool FMod::FSOUND_Stream_Stop(StreamHandle h)
{
    StreamRecord* r = find(h);
    if (!r)
        return false;
    reclaim();
    Command c{Command::Kind::Stop, 0, r->engine.get()};
    if (!send(c))
        return false;
    Intent next;
    next.kind = Intent::Kind::Stop;
    next.seq = c.seq;
    r->intent = next;
    return true;
}

bool FMod::FSOUND_Stream_Close(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    if (it == m_streams.end())
        return false;
    reclaim();
    StreamRecord& r = *it->second;
    Command c{Command::Kind::Remove, 0, r.engine.get()};
    if (!send(c))
        return false;
    // The decoder stops and is joined now; the samples and the mixer's part wait until
    // the audio thread has let go of them.
    r.decoder = std::jthread();
    m_retired.emplace_back(c.seq, std::move(r.engine));
    if (r.stretch)
        m_retiredFeeds.emplace_back(c.seq, std::move(r.stretch));
    m_streams.erase(it);
    reclaim();
    return true;
}

bool FMod::FSOUND_Stream_PlayAt(int channel, StreamHandle effect, StreamHandle music,
                                double musicMs)
{
    StreamRecord* e = find(effect);
    StreamRecord* m = find(music);
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
    if (m_startsSent - m_startsRetired.load(std::memory_order_acquire) >= Mixer::MaxPending)
        return refuse(QStringLiteral("%1 starts wait already").arg(Mixer::MaxPending));
    Command c{Command::Kind::PlayAt, channel, e->engine.get(), m->engine.get()};
    c.frame = framesFromMs(musicMs, m_rate);
    if (!send(c))
        return false;
    ++m_startsSent;
    return true;
}

void FMod::FSOUND_Stream_CancelScheduled(StreamHandle music)
{
    if (StreamRecord* r = find(music)) {
        Command c{Command::Kind::Cancel, 0, r->engine.get()};
        send(c);
    }
}

bool FMod::setPlaybackRate(StreamHandle h, int percent)
{
    StreamRecord* r = find(h);
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
    Command c{Command::Kind::Stretch, 0, r->engine.get()};
    c.feed = feed.get();
    if (!send(c))
        return false;
    if (r->stretch)
        m_retiredFeeds.emplace_back(c.seq, std::move(r->stretch));
    r->stretch = std::move(feed);
    return true;
}

int FMod::playbackRate(StreamHandle h)
{
    const StreamRecord* r = find(h);
    return r && r->stretch ? r->stretch->ratePercent() : 100;
}

bool FMod::isPlaying(StreamHandle h)
{
    StreamRecord* r = find(h);
    return r && audible(*r, heardFrameNow());
}

double FMod::decodeProgress(StreamHandle h)
{
    reclaim();
    const StreamRecord* r = find(h);
    return r ? r->sound->progress() : 0.0;
}

void FMod::setCalibratedLatencyMs(double ms)
{
    m_calibratedMs = std::isfinite(ms) ? std::clamp(ms, 0.0, MaxCalibratedMs) : 0.0;
}

bool FMod::calibratedLatencyApplies()
{
    return usesCalibration();
}

double FMod::outputLatencyMs()
{
    return isInitialised() ? msFromFrames(latencyFrames(), m_rate) : 0.0;
}

std::shared_ptr<const WaveformPeaks> FMod::waveformPeaks(StreamHandle h)
{
    const StreamRecord* r = find(h);
    return r ? r->peaks : nullptr;
}

AudioDevice::Info FMod::deviceInfo() const
{
    return m_device->info();
}

double FMod::listenerFrameAt(Clock::time_point when)
{
    return m_mixer ? heardFrameAt(when) : 0.0;
}

int64_t FMod::memoryBytes(StreamHandle h) const
{
    const StreamRecord* r = find(h);
    return r ? r->sound->memoryBytes() : 0;
}

int64_t FMod::lengthFrames(StreamHandle h) const
{
    const StreamRecord* r = find(h);
    return r ? r->sound->lengthFrames() : -1;
}

bool FMod::waitDecoded(StreamHandle h)
{
    StreamRecord* r = find(h);
    if (!r)
        return false;
    if (r->decoder.joinable())
        r->decoder.join();
    return true;
}

void FMod::advance(int frames, std::vector<int16_t>* capture)
{
    if (m_mixer)
        m_device->pump(frames, capture);
}

} // namespace tavix
