#include "FMod.h"

#include "AudioTime.h"
#include "Decoder.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace tavix {

namespace {

// Memory blocks up to this size (the editor's clips) are decoded during the open; larger
// ones decode in the background like files.
constexpr int64_t SynchronousDecodeBytes = 4 * 1024 * 1024;

} // namespace

FMod::FMod() : FMod(Options{}) {}

FMod::FMod(Options options) : m_options(options) {}

FMod::~FMod()
{
    FSOUND_Close();
}

bool FMod::fail(const QString& why)
{
    m_lastError = why;
    return false;
}

bool FMod::known(StreamHandle h) const
{
    return h != 0 && m_streams.count(h) != 0;
}

std::unique_lock<std::mutex> FMod::lockForCommand()
{
    std::unique_lock lock(m_mutex);
    if (m_mixer)
        m_mixer->setListenerFrame(m_clock.heardFrameNow(Clock::now()));
    return lock;
}

bool FMod::FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned /*flags*/)
{
    if (m_mixer)
        return true;
    if (mixRate < 8000 || mixRate > 192000)
        return fail(QStringLiteral("Unsupported mix rate %1 Hz").arg(mixRate));
    if (maxSoftwareChannels < 1 || maxSoftwareChannels > 256)
        return fail(QStringLiteral("Unsupported channel count %1").arg(maxSoftwareChannels));
    m_rate = mixRate;
    {
        std::lock_guard lock(m_mutex);
        m_mixer = std::make_unique<Mixer>(maxSoftwareChannels);
        m_closing = false;
    }
    const int buffer =
        m_options.bufferFrames > 0 ? m_options.bufferFrames : AudioDevice::requestedBufferFrames();
    QString note;
    m_device.open(
        m_options.output, mixRate, buffer,
        [this](int16_t* out, int frames, Clock::time_point when) { render(out, frames, when); },
        &note);
    {
        std::lock_guard lock(m_mutex);
        const AudioDevice::Info& info = m_device.info();
        m_clock.reset(mixRate, info.latencyFrames, info.frameCounter);
        // A file driver with no delay would write silence as fast as the disk takes it:
        // while nothing plays it goes at the speed of real time instead (see render()).
        m_throttleIdle = info.kind == AudioDevice::Kind::Sdl && info.frameCounter;
    }
    m_device.start();
    m_lastError = note;
    return true;
}

void FMod::render(int16_t* out, int frames, Clock::time_point when)
{
    std::unique_lock lock(m_mutex);
    if (!m_mixer || m_closing) {
        std::fill_n(out, 2 * frames, int16_t{0});
        return;
    }
    if (m_throttleIdle && !m_mixer->busy()) {
        const auto block = std::chrono::duration<double>(static_cast<double>(frames) / m_rate);
        m_wake.wait_for(lock, block, [this] { return m_closing || m_mixer->busy(); });
        if (m_closing) {
            std::fill_n(out, 2 * frames, int16_t{0});
            return;
        }
        when = Clock::now();
    }
    // Time means nothing to a file driver, so rather than write silence where a song is
    // still being decoded, wait for the decoder: the capture then has no gaps.
    for (int waited = 0; m_throttleIdle && m_mixer->waitingForData() && waited < 5000; ++waited) {
        m_wake.wait_for(lock, std::chrono::milliseconds(1));
        if (m_closing) {
            std::fill_n(out, 2 * frames, int16_t{0});
            return;
        }
    }
    const int64_t before = m_mixer->mixFrame();
    m_clock.onCallback(when, before, frames);
    if (m_observer)
        m_observer(when, before, frames);
    m_mixer->render(out, frames);
}

void FMod::FSOUND_Close()
{
    if (!m_mixer)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_all();
    m_device.close();
    {
        std::lock_guard lock(m_mutex);
        m_mixer.reset();
    }
    m_streams.clear();
    m_closing = false;
}

StreamHandle FMod::addStream(std::shared_ptr<DecodedSound> sound,
                             std::shared_ptr<const WaveformPeaks> peaks, std::jthread decoder)
{
    if (m_nextHandle == std::numeric_limits<StreamHandle>::max())
        m_nextHandle = 1;
    while (m_streams.count(m_nextHandle))
        ++m_nextHandle;
    const StreamHandle h = m_nextHandle++;
    {
        std::lock_guard lock(m_mutex);
        m_mixer->addStream(h, sound);
    }
    m_streams.emplace(h, StreamRecord{std::move(sound), std::move(peaks), std::move(decoder)});
    return h;
}

StreamHandle FMod::FSOUND_Stream_Open(const char* nameOrData, unsigned mode, int offset, int length)
{
    if (!m_mixer) {
        fail(QStringLiteral("The sound engine is not initialised"));
        return 0;
    }
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
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    if (it == m_streams.end())
        return 0;
    const DecodedSound& sound = *it->second.sound;
    int64_t frames = sound.lengthFrames();
    if (frames < 0)
        frames = std::max(sound.estimatedFrames(), sound.availableFrames());
    return wholeMsFromFrames(static_cast<double>(frames), m_rate);
}

bool FMod::FSOUND_Stream_Play(int channel, StreamHandle h)
{
    if (!known(h))
        return false;
    bool ok = false;
    {
        auto lock = lockForCommand();
        ok = m_mixer->play(channel, h);
    }
    m_wake.notify_all();
    return ok || fail(QStringLiteral("No channel %1").arg(channel));
}

double FMod::streamTimeExact(StreamHandle h)
{
    if (!known(h))
        return 0;
    std::lock_guard lock(m_mutex);
    const double heard = m_clock.heardFrameNow(Clock::now());
    return msFromFrames(m_mixer->heardPosition(h, heard), m_rate);
}

double FMod::streamTimeAt(StreamHandle h, Clock::time_point when)
{
    if (!known(h))
        return 0;
    std::lock_guard lock(m_mutex);
    const double heard = m_clock.heardFrameAt(when);
    return msFromFrames(m_mixer->heardPosition(h, heard), m_rate);
}

int32_t FMod::FSOUND_Stream_GetTime(StreamHandle h)
{
    if (!known(h))
        return 0;
    return static_cast<int32_t>(std::llround(streamTimeExact(h)));
}

bool FMod::FSOUND_Stream_SetTime(StreamHandle h, int32_t ms)
{
    if (!known(h))
        return false;
    auto lock = lockForCommand();
    return m_mixer->seek(h, framesFromMs(ms, m_rate));
}

bool FMod::FSOUND_Stream_Stop(StreamHandle h)
{
    if (!known(h))
        return false;
    auto lock = lockForCommand();
    return m_mixer->stop(h);
}

bool FMod::FSOUND_Stream_Close(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    if (it == m_streams.end())
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_mixer->removeStream(h);
    }
    m_streams.erase(it);
    return true;
}

bool FMod::FSOUND_Stream_PlayAt(int channel, StreamHandle effect, StreamHandle music,
                                double musicMs)
{
    if (!known(effect) || !known(music))
        return false;
    bool ok = false;
    {
        auto lock = lockForCommand();
        ok = m_mixer->playAt(channel, effect, music, framesFromMs(musicMs, m_rate));
    }
    m_wake.notify_all();
    return ok || fail(QStringLiteral("Cannot schedule stream %1 on channel %2 over stream %3")
                          .arg(effect)
                          .arg(channel)
                          .arg(music));
}

void FMod::FSOUND_Stream_CancelScheduled(StreamHandle music)
{
    if (!known(music))
        return;
    std::lock_guard lock(m_mutex);
    m_mixer->cancelScheduled(music);
}

bool FMod::isPlaying(StreamHandle h)
{
    if (!known(h))
        return false;
    std::lock_guard lock(m_mutex);
    return m_mixer->isAudible(h, m_clock.heardFrameNow(Clock::now()));
}

double FMod::decodeProgress(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? 0.0 : it->second.sound->progress();
}

std::shared_ptr<const WaveformPeaks> FMod::waveformPeaks(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? nullptr : it->second.peaks;
}

AudioDevice::Info FMod::deviceInfo() const
{
    return m_device.info();
}

double FMod::listenerFrameAt(Clock::time_point when)
{
    std::lock_guard lock(m_mutex);
    return m_clock.heardFrameAt(when);
}

int64_t FMod::framesMixed() const
{
    std::lock_guard lock(m_mutex);
    return m_mixer ? m_mixer->mixFrame() : 0;
}

int64_t FMod::memoryBytes(StreamHandle h) const
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? 0 : it->second.sound->memoryBytes();
}

bool FMod::waitDecoded(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    if (it == m_streams.end())
        return false;
    if (it->second.decoder.joinable())
        it->second.decoder.join();
    return true;
}

void FMod::advance(int frames, std::vector<int16_t>* capture)
{
    if (m_mixer)
        m_device.pump(frames, capture);
}

void FMod::setObserver(Observer observer)
{
    std::lock_guard lock(m_mutex);
    m_observer = std::move(observer);
}

} // namespace tavix
