#include "AudioDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace tavix {

namespace {

int envInt(const char* name, int fallback, int minimum = 1)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end && *end == '\0' && value >= minimum && value < (1 << 20)) ? static_cast<int>(value)
                                                                          : fallback;
}

} // namespace

int AudioDevice::requestedBufferFrames()
{
    return std::clamp(envInt("TAVIX_AUDIO_BUFFER", DefaultBufferFrames), 32, 16384);
}

void AudioDevice::sdlCallback(void* user, uint8_t* stream, int bytes)
{
    auto* self = static_cast<AudioDevice*>(user);
    self->m_render(reinterpret_cast<int16_t*>(stream), bytes / 4, Clock::now());
}

bool AudioDevice::openSdl(int rate, int bufferFrames, QString* reason)
{
    // The default device's own rate, where SDL knows it (the sound servers' drivers do):
    // mixing at that rate spares the server a second resampling.
    SDL_AudioSpec preferred{};
    const bool reported = SDL_GetDefaultAudioInfo(nullptr, &preferred, 0) == 0 &&
                          preferred.freq >= 8000 && preferred.freq <= 384000;
    SDL_AudioSpec wanted{};
    wanted.freq = reported ? preferred.freq : rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(bufferFrames);
    wanted.callback = &AudioDevice::sdlCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // The rate and the block size are the device's own, so nothing converts in between
    // and the latency below is real; format and channels are converted by SDL if needed.
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device == 0) {
        *reason = QString::fromUtf8(SDL_GetError());
        return false;
    }
    m_sdlDevice = device;
    const char* driver = SDL_GetCurrentAudioDriver();
    m_info = Info{};
    m_info.kind = Kind::Sdl;
    m_info.driver = QString::fromUtf8(driver ? driver : "");
    m_info.rate = obtained.freq;
    m_info.preferredRate = reported && obtained.freq == preferred.freq;
    m_info.bufferFrames = obtained.samples;
    // The file driver takes each block the moment it is made; a real device still has
    // about one block queued in front of it.
    const bool immediate = m_info.driver == "disk";
    const int fromDevice = immediate ? 0 : obtained.samples;
    m_info.latencyFrames = envInt("TAVIX_AUDIO_LATENCY", fromDevice, 0);
    m_info.latencyFromEnvironment = envInt("TAVIX_AUDIO_LATENCY", -1, 0) >= 0;
    // Writing to a file with no delay runs as fast as the disk goes: no moment of the clock
    // means anything, so positions follow the frames written.
    const char* delay = std::getenv("SDL_DISKAUDIODELAY");
    m_info.frameCounter =
        m_info.driver == "disk" && delay && envInt("SDL_DISKAUDIODELAY", 1, 0) == 0;
    return true;
}

void AudioDevice::useThread(Kind kind, int rate, int bufferFrames)
{
    m_info = Info{};
    m_info.kind = kind;
    m_info.driver = kind == Kind::Timer ? QStringLiteral("timer") : QStringLiteral("free-run");
    m_info.rate = rate;
    m_info.bufferFrames = bufferFrames;
    m_info.frameCounter = kind == Kind::FreeRun;
    m_scratch.assign(static_cast<size_t>(bufferFrames) * 2, 0);
}

void AudioDevice::start()
{
    if (!m_open)
        return;
    if (m_sdlDevice != 0) {
        SDL_PauseAudioDevice(m_sdlDevice, 0);
        return;
    }
    if ((m_info.kind != Kind::Timer && m_info.kind != Kind::FreeRun) || m_timer.joinable())
        return;
    const int rate = m_info.rate;
    const int bufferFrames = m_info.bufferFrames;
    if (m_info.kind == Kind::FreeRun) {
        m_timer = std::jthread([this, bufferFrames](const std::stop_token& stop) {
            while (!stop.stop_requested())
                m_render(m_scratch.data(), bufferFrames, Clock::now());
        });
        return;
    }
    m_timer = std::jthread([this, rate, bufferFrames](const std::stop_token& stop) {
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(bufferFrames) / rate));
        auto next = Clock::now();
        while (!stop.stop_requested()) {
            m_render(m_scratch.data(), bufferFrames, Clock::now());
            next += period;
            const auto now = Clock::now();
            if (now > next + 8 * period)
                next = now; // fell far behind (suspended): do not rush to catch up
            std::this_thread::sleep_until(next);
        }
    });
}

void AudioDevice::open(Kind kind, int rate, int bufferFrames, Render render, QString* note)
{
    close();
    m_render = std::move(render);
    m_open = true;
    if (note)
        note->clear();
    if (kind == Kind::Manual) {
        m_info = Info{};
        m_info.kind = Kind::Manual;
        m_info.driver = QStringLiteral("manual");
        m_info.rate = rate;
        m_info.bufferFrames = bufferFrames;
        m_info.frameCounter = true;
        m_scratch.assign(static_cast<size_t>(bufferFrames) * 2, 0);
        return;
    }
    if (kind == Kind::Timer || kind == Kind::FreeRun) {
        useThread(kind, rate, bufferFrames);
        return;
    }
    QString reason;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        m_sdlInit = true;
        if (openSdl(rate, bufferFrames, &reason)) {
            if (m_info.driver != "dummy")
                return;
            // SDL's dummy driver sleeps whole milliseconds per block and so runs off the
            // rate; our own timer keeps silent playback in step with the clock.
            closeSdl();
            useThread(Kind::Timer, rate, bufferFrames);
            return;
        }
        closeSdl();
    } else {
        reason = QString::fromUtf8(SDL_GetError());
    }
    useThread(Kind::Timer, rate, bufferFrames);
    if (note)
        *note = QStringLiteral("No audio device (%1); playing silently").arg(reason);
}

void AudioDevice::closeSdl()
{
    if (m_sdlDevice != 0) {
        SDL_CloseAudioDevice(m_sdlDevice);
        m_sdlDevice = 0;
    }
    if (m_sdlInit)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_sdlInit = false;
}

void AudioDevice::close()
{
    if (!m_open)
        return;
    closeSdl();
    if (m_timer.joinable()) {
        m_timer.request_stop();
        m_timer.join();
    }
    m_open = false;
    m_render = nullptr;
}

void AudioDevice::pump(int frames, std::vector<int16_t>* capture)
{
    if (!m_open || m_info.kind != Kind::Manual)
        return;
    while (frames > 0) {
        const int n = std::min(frames, m_info.bufferFrames);
        m_render(m_scratch.data(), n, Clock::now());
        if (capture)
            capture->insert(capture->end(), m_scratch.begin(), m_scratch.begin() + 2 * n);
        frames -= n;
    }
}

} // namespace tavix
