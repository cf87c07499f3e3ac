#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavix {

class WaveformPeaks;

// A stream handle; 0 is no stream, and every call on it does nothing.
using StreamHandle = int32_t;

// Channels as the editor uses them.
inline constexpr int KeySoundChannels = 15; // 0..14
inline constexpr int MarkerChannel = 15;
inline constexpr int MusicChannel = 16;
inline constexpr int MetronomeChannel = 17;

// Stream modes.
inline constexpr unsigned FSOUND_NORMAL = 0x130;        // from a file path
inline constexpr unsigned FSOUND_LOADMEMORY = 0x8000;   // first argument is data, fourth its length
inline constexpr unsigned FSOUND_MEMORY_MODE = 0x2A130; // as the editor opens its clips

// The sound engine as the editor calls it. The real one mixes into an SDL2 device; tests
// use a fake. Positions are milliseconds of the stream, from its start. Every call comes
// from one thread (the window's) and returns without waiting for the audio thread; a call
// that cannot be passed on at once fails, and lastError() says why.
class SoundEngine
{
public:
    using Clock = std::chrono::steady_clock;

    virtual ~SoundEngine() = default;

    virtual bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags) = 0;
    // Mode 0x130: `nameOrData` is a path (UTF-8). With FSOUND_LOADMEMORY it points at
    // `length` bytes of an encoded file in memory. 0 on failure, see lastError().
    virtual StreamHandle FSOUND_Stream_Open(const char* nameOrData, unsigned mode, int offset,
                                            int length) = 0;
    virtual int32_t FSOUND_Stream_GetLengthMs(StreamHandle h) = 0;
    // Starts h on the channel from its current position (from the start when it has
    // played to its end). A stream already playing restarts without a click.
    virtual bool FSOUND_Stream_Play(int channel, StreamHandle h) = 0;
    virtual int32_t FSOUND_Stream_GetTime(StreamHandle h) = 0;
    // Playing or not; the next play starts there. A negative time clamps to 0.
    virtual bool FSOUND_Stream_SetTime(StreamHandle h, int32_t ms) = 0;
    // Silences h and rewinds it.
    virtual bool FSOUND_Stream_Stop(StreamHandle h) = 0;
    virtual bool FSOUND_Stream_Close(StreamHandle h) = 0;
    virtual void FSOUND_Close() = 0;

    // Beyond the original: starts the effect stream `effect` from its beginning on
    // `channel` at the instant the music stream `music` reaches `musicMs` (fractional
    // milliseconds of the song), placed at that exact sample of the mix. Several starts
    // may be pending on one channel. Pending starts of a music stream are dropped when
    // the music is stopped, seeked or closed, or by FSOUND_Stream_CancelScheduled.
    virtual bool FSOUND_Stream_PlayAt(int channel, StreamHandle effect, StreamHandle music,
                                      double musicMs) = 0;
    // Scheduled starts placed after a cancel at instants that a start of this pass of the
    // music has already reached are dropped too: they were mixed and will be heard.
    virtual void FSOUND_Stream_CancelScheduled(StreamHandle music) = 0;
    // Beyond the original: starts h as FSOUND_Stream_Play does, going on with the pass of
    // it that the last stop (a pause) interrupted. The listener had not heard all that
    // was mixed when it stopped, so the resume plays some of it again; the starts
    // scheduled over it that sounded then are dropped rather than heard twice. A pass
    // begins with FSOUND_Stream_Play from rest and with a seek while it plays. An engine
    // that mixes nothing ahead of the listener plays it as FSOUND_Stream_Play.
    virtual bool FSOUND_Stream_Resume(int channel, StreamHandle h)
    {
        return FSOUND_Stream_Play(channel, h);
    }

    // The exact position, in fractional ms, that the listener hears now, and the one
    // heard at an earlier (or later) moment of the steady clock while h plays.
    virtual double streamTimeExact(StreamHandle h) = 0;
    virtual double streamTimeAt(StreamHandle h, Clock::time_point when) = 0;
    virtual bool isPlaying(StreamHandle h) = 0;

    // How far a stream's background decoding has come, 0..1 (1 when complete).
    virtual double decodeProgress(StreamHandle h) = 0;
    // The waveform peaks of a stream, filling in while it decodes; null for no stream.
    virtual std::shared_ptr<const WaveformPeaks> waveformPeaks(StreamHandle h) = 0;

    // Beyond the original: the output latency the user has measured on top of what the
    // device reports (the latency calibration). Positions and the moments of key presses
    // are mapped through it from the next call on. Outputs without a latency of their own
    // (a file, silence on a timer) keep it but do not use it, and neither does an output
    // whose latency TAVIX_AUDIO_LATENCY sets.
    virtual void setCalibratedLatencyMs(double ms) = 0;
    // Whether the calibrated latency is used by this output (see above).
    virtual bool calibratedLatencyApplies() = 0;
    // The whole output latency in force, in ms.
    virtual double outputLatencyMs() = 0;
    // How far ahead of what the listener hears the mixer may already have mixed, in ms:
    // the output latency and one device buffer. A start placed less than this ahead may
    // find its frame mixed already and sound late.
    virtual double mixAheadMs() { return outputLatencyMs(); }

    // Beyond the original: plays the stream at `percent` of its speed (1..100) with its
    // pitch kept, from its next start or seek on (at once if it plays). Positions, PlayAt
    // instants and streamTimeAt stay in the stream's own time.
    virtual bool setPlaybackRate(StreamHandle h, int percent) = 0;
    virtual int playbackRate(StreamHandle h) = 0;

    // Beyond the original: from its next start or seek on, the music h plays [fromMs, toMs)
    // of the song over and over once it reaches toMs, the jump back seamless, at any
    // playback rate. Its positions (GetTime, streamTimeExact, streamTimeAt) and the
    // instants of PlayAt over it count on through the jumps: loop time, the song's time
    // plus the loop's length for each jump, so they never go back while it loops, and an
    // instant t of the song sounds in pass k at t + k * length. Returns that length in ms
    // (whole frames of the mix, so it may differ from toMs - fromMs by a fraction of a
    // frame); nothing when refused. toMs <= fromMs ends the loop (also from the next start
    // or seek on).
    virtual std::optional<double> setLoop(StreamHandle /*h*/, double /*fromMs*/, double /*toMs*/)
    {
        return std::nullopt;
    }

    // Beyond the original: the music h is silent until its loop time reaches `ms` (0: not
    // at all), its position and the starts over it going on as ever: a count-in of clicks
    // over the measure before the music is heard. False when refused.
    virtual bool setMutedBefore(StreamHandle /*h*/, double /*ms*/) { return false; }

    // Why the last failing call failed, for the window to show.
    virtual QString lastError() const = 0;
};

} // namespace tavix
