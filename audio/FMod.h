#pragma once

#include "AudioDevice.h"
#include "CommandTransport.h"
#include "DeviceKeeper.h"
#include "OwnerThread.h"
#include "PositionModel.h"
#include "SoundEngine.h"
#include "StreamTable.h"

#include <memory>
#include <vector>

namespace tavix {

// The sound engine: FMOD-style stream calls over our own mixer and an SDL2 device.
//
// Threads: every call comes from one caller thread (the window's), the one that made the
// engine, which debug builds check; the device mixes on its own thread (the audio thread),
// and songs decode on threads of their own. The two never wait for each other and share no
// lock (CommandTransport):
// - the caller passes its commands (play, stop, seek, play-at, cancel, and the streams
//   themselves, made ready on its own thread, for open and close) through a fixed-size
//   single-producer single-consumer queue, which the audio thread empties at the start of
//   every device request; a call that finds the queue full fails at once and says so in
//   lastError();
// - after mixing, the audio thread publishes what the caller reads (each stream's
//   position and recent stretches of playback, the device clock, the frames mixed)
//   through lock-free triple buffers and atomics;
// - the audio thread never allocates or frees: a closed stream is freed by the caller's
//   thread, in a later call, once the audio thread has confirmed it let go of it.
// Until the audio thread has carried a command out, the caller reads what the command
// will do (a start or seek reads its new position, a stopped stream reads 0; PositionModel).
//
// This class is the facade over those parts: it checks a call, turns it into a command for
// the transport, and notes what it asked of the stream. Streams open through StreamLoader
// and live in a StreamTable; the device is kept going by a DeviceKeeper.
//
// Times. The mix runs at the output's own rate (mixRate(); SDL's preferred rate for the
// default device where it reports one, else the rate FSOUND_Init asks for). Songs and clips
// at another rate are resampled once, on their decoding thread. A time in milliseconds of
// the song becomes the frame llround(ms * mixRate / 1000) (double arithmetic, halves away
// from zero), and a frame reads back as the nearest whole millisecond, so SetTime(ms) then
// GetTime gives ms, and a stream that has played to its end reads exactly GetLengthMs.
//
// - FSOUND_Stream_PlayAt(channel, effect, music, musicMs): the effect's first sample is
//   mixed with the music's frame llround(musicMs * mixRate / 1000). With the disk driver
//   that is exactly the output frame (music start frame + that frame - music start
//   position). A start already passed when the music gets there sounds at once. At most
//   Mixer::MaxPending starts wait at once; beyond that PlayAt fails.
// - Positions (GetTime, streamTimeExact) are what the listener hears: the frames mixed,
//   less the output latency (the device's, plus the calibrated one where it applies),
//   interpolated between device requests; they never go back while a stream plays. After
//   a start or a seek they read the new position at once and advance from when its first
//   frame is heard. With the disk driver and SDL_DISKAUDIODELAY=0 (faster than real time)
//   they follow the frames mixed exactly; that driver then also waits for the decoder
//   instead of writing gaps, and writes silence only at the pace of real time while
//   nothing plays.
// - Streams opened from a path decode on a thread of their own: the open returns after
//   reading the header, the stream plays as far as decoded (waiting, silent and with its
//   position held, if it gets ahead of the decoder), decodeProgress says how far it is.
//   The length is the header's except for MP3, whose length is an estimate, and a file
//   whose header tells none (a cut-off Ogg), whose length grows as it decodes; once
//   decoding is complete it is that of the audio that decoded, also for a file cut off
//   before the length its header gives. Memory streams are decoded at open.
// - setPlaybackRate plays a stream slowed down with its pitch kept (see StretchFeed and
//   Mixer): every position above stays in the song's own time, a PlayAt sounds at the
//   output frame that plays its music frame, and the frames heard map back to song time
//   through the rate of the stretch they belong to. At 100% the path is the plain one.
// - FSOUND_Stream_Play of a stream that plays on that channel already lets it play on;
//   on another channel it moves there without a break. Stop, a seek while playing, and a
//   scheduled restart of a sounding effect fade the old sound out over a few ms.
// - isPlaying is true from the start until the listener has heard the last frame.
// - A device that stops asking for frames (none for StallSeconds while something plays or
//   a command waits) is noticed by the next call: the engine says so in lastError() and
//   on the log, and a thread of its own opens the device again, hands the mixer to it,
//   and closes the old one, however long that takes; the commands then drain and closed
//   streams are freed. One that stops again soon after is replaced by the silent timer,
//   so the window keeps its positions and its calls.
class FMod final : public SoundEngine
{
public:
    using Observer = CommandTransport::Observer;
    static constexpr size_t DefaultCommandCapacity = 4096;
    static constexpr double StallSeconds = DeviceKeeper::StallSeconds;

    struct Options
    {
        Options(AudioDevice::Kind output_ = AudioDevice::Kind::Sdl, int bufferFrames_ = 0)
            : output(output_), bufferFrames(bufferFrames_)
        {
        }

        AudioDevice::Kind output = AudioDevice::Kind::Sdl;
        int bufferFrames = 0; // 0: TAVIX_AUDIO_BUFFER, else AudioDevice::DefaultBufferFrames
        // Called on the audio thread at every device request, before its frames are mixed
        // (tests and benchmarks). Given here, as nothing may change it while the device runs.
        Observer observer;
        size_t commandCapacity = DefaultCommandCapacity;
    };

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
    bool FSOUND_Stream_Resume(int channel, StreamHandle h) override;
    double streamTimeExact(StreamHandle h) override;
    double streamTimeAt(StreamHandle h, Clock::time_point when) override;
    bool isPlaying(StreamHandle h) override;
    double decodeProgress(StreamHandle h) override;
    void setCalibratedLatencyMs(double ms) override;
    bool calibratedLatencyApplies() override;
    double outputLatencyMs() override;
    double mixAheadMs() override;
    std::optional<double> setLoop(StreamHandle h, double fromMs, double toMs) override;
    bool setMutedBefore(StreamHandle h, double ms) override;
    bool setPlaybackRate(StreamHandle h, int percent) override;
    int playbackRate(StreamHandle h) override;
    std::shared_ptr<const WaveformPeaks> waveformPeaks(StreamHandle h) override;
    QString lastError() const override;

    // Beyond the interface, for the command-line player, tests and benchmarks.
    bool isInitialised() const { return m_transport.running(); }
    int mixRate() const { return m_rate; }
    AudioDevice::Info deviceInfo() const;
    // The mix frame the listener hears at `when`.
    double listenerFrameAt(Clock::time_point when);
    // Any thread.
    int64_t framesMixed() const { return m_transport.framesMixed(); }
    // Bytes of decoded samples a stream holds.
    int64_t memoryBytes(StreamHandle h) const;
    // Frames of a stream at the mix rate (its length once decoding has told it), -1 while
    // unknown or for an unknown handle.
    int64_t lengthFrames(StreamHandle h) const;
    // Blocks until a stream is decoded completely (or closed); false for an unknown handle.
    bool waitDecoded(StreamHandle h);
    // Manual output only: mixes `frames` on this thread, appending them to `capture`. This
    // thread is the audio thread for the purpose, so it may be another than the caller's.
    void advance(int frames, std::vector<int16_t>* capture = nullptr);
    // Closed streams whose memory waits for the audio thread to let go of them.
    size_t streamsAwaitingRelease() const;
    // Devices opened again since FSOUND_Init because the one before stopped.
    int deviceRestarts() const;

private:
    bool play(int channel, StreamHandle h, bool goOn);
    bool fail(const QString& why);
    bool send(EngineCommand& command);
    void reclaim();
    double heardFrameNow();

    OwnerThread m_owner;
    Options m_options;
    int m_rate = 44100;
    int m_channels = 0;
    QString m_lastError;
    // Declared in the order they depend on each other, and go in the reverse one.
    CommandTransport m_transport;
    DeviceKeeper m_device;
    PositionModel m_position;
    StreamTable m_streams;
};

} // namespace tavix
