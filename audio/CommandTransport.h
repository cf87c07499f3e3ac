#pragma once

#include "AudioDevice.h"
#include "DeviceClock.h"
#include "EngineCommand.h"
#include "EngineStream.h"
#include "Mixer.h"
#include "RenderGate.h"
#include "SpscQueue.h"
#include "TripleBuffer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace tavix {

// The way between the caller's thread and the audio thread, and the audio thread's half of
// the engine. The caller's calls arrive as EngineCommands through a fixed-size
// single-producer single-consumer queue, emptied at the start of every device request;
// after mixing, the audio thread publishes what the caller reads (each stream's timeline,
// the device clock, the frames mixed, how far the commands have been carried out) through
// triple buffers and atomics. Neither side waits for the other and they share no lock;
// render() never allocates or frees.
//
// The caller's side is run()'s set-up, send() and the readers; render() is the audio
// thread's; handOver() belongs to the thread that replaces a stopped device, while no
// device mixes.
class CommandTransport
{
public:
    using Clock = std::chrono::steady_clock;
    using Observer = std::function<void(Clock::time_point when, int64_t framesBefore, int frames)>;

    // Called on the audio thread at every device request, before its frames are mixed.
    explicit CommandTransport(Observer observer) : m_observer(std::move(observer)) {}

    // Sets up the queue, the mixer and the clock for a device about to start; nothing
    // runs on the audio thread until it does.
    void run(int channels, int rate, size_t commandCapacity, const AudioDevice::Info& info);
    bool running() const { return m_mixer != nullptr; }
    // From the caller's thread once the device has closed: no render call runs any more.
    void beginClose() { m_closing.store(true, std::memory_order_release); }
    void finishClose();

    // The device of `generation` alone may mix from now on (see RenderGate).
    void handTo(uint32_t generation) { m_gate.handTo(generation); }
    AudioDevice::Render renderFor(uint32_t generation);
    // A replacement device takes over the audio thread's part (see handTo); called before
    // it starts.
    void handOver(uint32_t generation, const AudioDevice::Info& info);

    // Numbers the command, stamps it with the frame the listener hears (heardNow(), asked
    // once the command counts as waiting, so that a stalled device is noticed by the call
    // that finds it), and queues it; false when the queue is full (nothing is sent then).
    template <class HeardNow> bool send(EngineCommand& command, HeardNow heardNow)
    {
        command.seq = ++m_nextSeq;
        command.stamp = heardNow();
        if (m_commands->push(command))
            return true;
        --m_nextSeq;
        return false;
    }
    size_t capacity() const { return m_commands->capacity(); }
    // The last command the audio thread has carried out: what it let go of before may go.
    uint64_t appliedSeq() const { return m_appliedSeq.load(std::memory_order_acquire); }
    // Commands wait, or something plays: a device should be asking for frames.
    bool expectsRequests() const;
    Clock::time_point lastRequest() const;
    DeviceClock clock() { return m_clockOut.read(); }
    int64_t framesMixed() const { return m_framesMixed.load(std::memory_order_acquire); }
    // Scheduled starts sent whose fate (sounded, dropped, refused) the mixer has not told.
    uint64_t startsWaiting() const;
    void countStart() { ++m_startsSent; }

private:
    void render(uint32_t generation, int16_t* out, int frames, Clock::time_point when);
    void mix(int16_t* out, int frames, Clock::time_point when);
    bool abandoning() const;
    void applyCommands();
    void publish();
    void link(EngineStream* s);
    void unlink(EngineStream* s);
    void noteRequest(Clock::time_point when);

    Observer m_observer;
    int m_rate = 44100;

    // Shared between the threads.
    std::unique_ptr<SpscQueue<EngineCommand>> m_commands;
    std::unique_ptr<Mixer> m_mixer; // used by the audio thread alone while the device runs
    TripleBuffer<DeviceClock> m_clockOut;
    std::atomic<uint64_t> m_appliedSeq{0};
    std::atomic<uint64_t> m_startsRetired{0};
    std::atomic<int64_t> m_framesMixed{0};
    std::atomic<bool> m_closing{false};
    RenderGate m_gate;
    std::atomic<bool> m_handover{false};   // a device is being replaced
    std::atomic<int64_t> m_lastRequest{0}; // steady clock ticks of the last request
    std::atomic<bool> m_mixerBusy{false};  // as of the last request

    // The audio thread's own.
    DeviceClock m_clock;
    EngineStream* m_linked = nullptr;
    uint64_t m_lastApplied = 0;
    bool m_throttleIdle = false;

    // The caller's own.
    uint64_t m_nextSeq = 0;
    uint64_t m_startsSent = 0;
};

} // namespace tavix
