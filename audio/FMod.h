#pragma once

#include "AudioDevice.h"
#include "DecodedSound.h"
#include "DeviceClock.h"
#include "Mixer.h"
#include "SoundEngine.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace tavix {

// The sound engine: FMOD-style stream calls over our own mixer and an SDL2 device.
//
// Threads: every call comes from one caller thread (the window's); the device mixes on its
// own thread, and songs decode on threads of their own. One mutex, held briefly by each
// call and by each device request, guards the mixer and the clock; nothing is allocated
// while it is held on the device side.
//
// Times. The mix rate is `mixRate` (44100). A time in milliseconds becomes the frame
// llround(ms * mixRate / 1000) (double arithmetic, halves away from zero), and a frame
// reads back as the nearest whole millisecond, so SetTime(ms) then GetTime gives ms, and a
// stream that has played to its end reads exactly GetLengthMs.
//
// - FSOUND_Stream_PlayAt(channel, effect, music, musicMs): the effect's first sample is
//   mixed with the music's frame llround(musicMs * mixRate / 1000). With the disk driver
//   that is exactly the output frame (music start frame + that frame - music start
//   position). A start already passed when the music gets there sounds at once.
// - Positions (GetTime, streamTimeExact) are what the listener hears: the frames mixed,
//   less the device latency, interpolated between device requests; they never go back
//   while a stream plays. After a start or a seek they read the new position at once and
//   advance from when its first frame is heard. With the disk driver and
//   SDL_DISKAUDIODELAY=0 (faster than real time) they follow the frames mixed exactly;
//   that driver then also waits for the decoder instead of writing gaps, and writes silence
//   only at the pace of real time while nothing plays.
// - Streams opened from a path decode on a thread of their own: the open returns after
//   reading the header, the stream plays as far as decoded (waiting, silent and with its
//   position held, if it gets ahead of the decoder), decodeProgress says how far it is.
//   The length is the header's (exact) except for MP3, whose length is an estimate until
//   decoding is complete. Memory streams are decoded at open.
// - FSOUND_Stream_Play of a stream that plays on that channel already lets it play on;
//   on another channel it moves there without a break. Stop, a seek while playing, and a
//   scheduled restart of a sounding effect fade the old sound out over a few ms.
// - isPlaying is true from the start until the listener has heard the last frame.
class FMod final : public SoundEngine
{
public:
    struct Options
    {
        AudioDevice::Kind output = AudioDevice::Kind::Sdl;
        int bufferFrames = 0; // 0: TAVIX_AUDIO_BUFFER, else AudioDevice::DefaultBufferFrames
    };
    using Observer = std::function<void(Clock::time_point when, int64_t framesBefore, int frames)>;

    FMod();
    explicit FMod(Options options);
    ~FMod() override;
    FMod(const FMod&) = delete;
    FMod& operator=(const FMod&) = delete;

    bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags) override;
    StreamHandle FSOUND_Stream_Open(const char* nameOrData, unsigned mode, int offset,
                                    int length) override;
    int32_t FSOUND_Stream_GetLengthMs(StreamHandle h) override;
    bool FSOUND_Stream_Play(int channel, StreamHandle h) override;
    int32_t FSOUND_Stream_GetTime(StreamHandle h) override;
    bool FSOUND_Stream_SetTime(StreamHandle h, int32_t ms) override;
    bool FSOUND_Stream_Stop(StreamHandle h) override;
    bool FSOUND_Stream_Close(StreamHandle h) override;
    void FSOUND_Close() override;
    bool FSOUND_Stream_PlayAt(int channel, StreamHandle effect, StreamHandle music,
                              double musicMs) override;
    void FSOUND_Stream_CancelScheduled(StreamHandle music) override;
    double streamTimeExact(StreamHandle h) override;
    double streamTimeAt(StreamHandle h, Clock::time_point when) override;
    bool isPlaying(StreamHandle h) override;
    double decodeProgress(StreamHandle h) override;
    std::shared_ptr<const WaveformPeaks> waveformPeaks(StreamHandle h) override;
    QString lastError() const override { return m_lastError; }

    // Beyond the interface, for the command-line player, tests and benchmarks.
    bool isInitialised() const { return m_mixer != nullptr; }
    int mixRate() const { return m_rate; }
    AudioDevice::Info deviceInfo() const;
    // The mix frame the listener hears at `when`.
    double listenerFrameAt(Clock::time_point when);
    int64_t framesMixed() const;
    // Bytes of decoded samples a stream holds.
    int64_t memoryBytes(StreamHandle h) const;
    // Blocks until a stream is decoded completely (or closed); false for an unknown handle.
    bool waitDecoded(StreamHandle h);
    // Manual output only: mixes `frames` on this thread, appending them to `capture`.
    void advance(int frames, std::vector<int16_t>* capture = nullptr);
    // Called on the device thread at every request, with the lock held.
    void setObserver(Observer observer);

private:
    struct StreamRecord
    {
        std::shared_ptr<DecodedSound> sound;
        std::shared_ptr<const WaveformPeaks> peaks;
        std::jthread decoder; // destroyed first: stops and joins before the sound goes
    };

    void render(int16_t* out, int frames, Clock::time_point when);
    StreamHandle addStream(std::shared_ptr<DecodedSound> sound,
                           std::shared_ptr<const WaveformPeaks> peaks, std::jthread decoder);
    bool fail(const QString& why);
    bool known(StreamHandle h) const;
    // Locks, and tells the mixer what the listener hears now (for the time lookups).
    std::unique_lock<std::mutex> lockForCommand();

    Options m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<Mixer> m_mixer;
    DeviceClock m_clock;
    AudioDevice m_device;
    Observer m_observer;
    bool m_closing = false;
    bool m_throttleIdle = false;
    int m_rate = 44100;
    std::unordered_map<StreamHandle, StreamRecord> m_streams;
    StreamHandle m_nextHandle = 1;
    QString m_lastError;
};

} // namespace tavix
