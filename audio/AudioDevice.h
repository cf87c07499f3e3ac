#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

namespace tavix {

// Where the mixed frames go, and what asks for them.
//
// - Sdl: an SDL2 audio device (the driver SDL_AUDIODRIVER names, else SDL's choice),
//   opened at the rate SDL reports as the default device's own where it reports one (so
//   the sound server does not resample again), else at the rate asked for or the nearest
//   the device takes. When none can be opened, or SDL's "dummy" driver is asked for,
//   Timer: the engine then plays silently, in step with the clock.
// - Timer: a thread of our own asking for blocks at the nominal rate, output discarded.
// - FreeRun: a thread of our own asking for blocks back to back as fast as they are made,
//   output discarded (stress tests and benchmarks); positions follow the frames mixed.
// - Manual: nothing asks; pump() mixes on the thread that calls it (tests), which is then
//   the audio thread.
//
// The render function is called with interleaved 16-bit stereo frames to fill and the
// moment of the request; it runs on the audio thread.
class AudioDevice
{
public:
    using Clock = std::chrono::steady_clock;
    using Render = std::function<void(int16_t* out, int frames, Clock::time_point when)>;
    enum class Kind { Sdl, Timer, FreeRun, Manual };

    struct Info
    {
        Kind kind = Kind::Manual;
        QString driver; // SDL's name ("alsa", "pulseaudio", "disk", ...), "timer" or "manual"
        int rate = 0;   // the rate the device runs at, and so the mix
        bool preferredRate = false;          // SDL reported it as the device's own
        int bufferFrames = 0;                // frames per request
        double latencyFrames = 0;            // from a request to its first frame being heard
        bool latencyFromEnvironment = false; // TAVIX_AUDIO_LATENCY set it
        // Positions follow the frames mixed, not the clock: the disk driver with
        // SDL_DISKAUDIODELAY=0, and manual output.
        bool frameCounter = false;
    };

    AudioDevice() = default;
    ~AudioDevice() { close(); }
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Always ends with a usable output (falling back as above), not yet running; `note`
    // says why a fallback was needed, empty otherwise. `rate` is the rate asked for; the
    // output's own is in info().
    void open(Kind kind, int rate, int bufferFrames, Render render, QString* note);
    // From here on the render function is called.
    void start();
    // Blocks until no render call runs any more.
    void close();
    bool isOpen() const { return m_open; }
    const Info& info() const { return m_info; }

    // Manual output: mixes `frames` now, in requests of bufferFrames, appending them to
    // `capture` if given.
    void pump(int frames, std::vector<int16_t>* capture = nullptr);
    // Latency and block size follow TAVIX_AUDIO_LATENCY and TAVIX_AUDIO_BUFFER (frames of
    // the output's rate).

    // The buffer asked for by default, in frames, unless TAVIX_AUDIO_BUFFER says otherwise.
    static constexpr int DefaultBufferFrames = 256;
    static int requestedBufferFrames();

private:
    bool openSdl(int rate, int bufferFrames, QString* reason);
    void closeSdl();
    void useThread(Kind kind, int rate, int bufferFrames);
    static void sdlCallback(void* user, uint8_t* stream, int bytes);

    Render m_render;
    Info m_info;
    bool m_open = false;
    uint32_t m_sdlDevice = 0;
    bool m_sdlInit = false;
    std::vector<int16_t> m_scratch;
    std::jthread m_timer;
};

} // namespace tavix
