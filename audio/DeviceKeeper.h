#pragma once

#include "AudioDevice.h"
#include "CommandTransport.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace tavix {

// The engine's output device and what keeps it going. A device that stops asking for
// frames (none for StallSeconds while something plays or a command waits) is noticed by
// watch(), which the caller's thread runs at its calls: a thread of its own (the keeper)
// then opens the device again and hands the mixer to it, and the caller's next call takes
// it over and closes the old one on yet another thread, however long its driver takes to
// let go. One that stops again soon after is replaced by the silent timer, so the window
// keeps its positions and its calls. The sound library is never asked to open or close
// two devices at once.
class DeviceKeeper
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr double StallSeconds = 1.0;

    // What happened is said in `lastError` (the engine's), which must outlive this.
    DeviceKeeper(CommandTransport& transport, QString& lastError);
    DeviceKeeper(const DeviceKeeper&) = delete;
    DeviceKeeper& operator=(const DeviceKeeper&) = delete;

    // Opens the first device, `kind` as asked (a different one, and why, in `note`); the
    // caller sets up the transport from its info before start().
    void open(AudioDevice::Kind kind, int rate, int bufferFrames, QString* note);
    void start() { m_device->start(); }
    // Closes every device, waiting for a replacement under way; no render call runs after.
    void closeAll();

    const AudioDevice::Info& info() const { return m_device->info(); }
    AudioDevice& device() { return *m_device; }
    int restarts() const { return m_restarts; }

    // The caller's thread, at its calls: takes over a replacement that is ready, and sends
    // the keeper off if the device has stopped. True when a device was taken over (what
    // waited for the old one's requests may be freed then).
    bool watch(Clock::time_point now);

private:
    void replace(uint32_t generation, AudioDevice::Kind kind);
    bool adopt(bool wait);

    CommandTransport& m_transport;
    QString& m_lastError;
    AudioDevice::Kind m_kind = AudioDevice::Kind::Sdl;
    int m_rate = 44100;
    int m_bufferFrames = 0;
    std::unique_ptr<AudioDevice> m_device = std::make_unique<AudioDevice>();
    uint32_t m_generation = 0;
    int m_restarts = 0;
    Clock::time_point m_lastRestart{};
    std::jthread m_keeper;
    std::atomic<bool> m_replaced{false};
    std::unique_ptr<AudioDevice> m_replacement; // the keeper's until m_replaced
    QString m_replacementNote;
    struct RetiredDevice
    {
        std::unique_ptr<AudioDevice> device;
        std::jthread closer; // joined before the device goes; the next one's waits for it
    };
    std::vector<RetiredDevice> m_retiredDevices; // let go of from the back
    std::atomic<int> m_closersRunning{0};
};

} // namespace tavix
