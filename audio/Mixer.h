#pragma once

#include "DecodedSound.h"

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tavix {

// The mixer of the engine, with no device behind it: render() fills a buffer of
// interleaved 16-bit stereo frames and advances a 64-bit frame counter, and every command
// takes effect at the next frame it mixes. The engine calls it from the device callback
// and from the caller's thread under one lock; tests call it directly.
//
// Streams are registered by id over decoded sounds. Each of the channels holds at most one
// stream; a stream has one position and plays on at most one channel.
//
// - A start begins at the first frame mixed after the call, at full level, so onsets are
//   exact. Anything it replaces (the channel's previous stream, an earlier instance of a
//   restarted effect, the old position of a seek while playing) fades out over
//   FadeFrames instead of being cut, so nothing clicks.
// - Scheduled starts: playAt(channel, effect, music, f) starts the effect from its first
//   frame at the mixed frame where the music stream's position is f, that is, the effect's
//   first sample is mixed together with music frame f. A start whose frame has already
//   passed when the music is mixed begins at once. Starts wait while their music is not
//   playing; they are dropped when the music is stopped, seeked, removed or plays to its
//   end (a start at the music's length or later never sounds).
// - The sum passes through unchanged up to ClipKnee and is bent smoothly above it, so any
//   number of full-scale voices stays within 16 bits and never wraps.
class Mixer
{
public:
    using StreamId = int32_t;
    static constexpr int FadeFrames = 128;   // 2.9 ms at 44.1 kHz
    static constexpr int BlockFrames = 512;  // render() works in pieces of at most this
    static constexpr int MaxTails = 64;      // fading instances at once
    static constexpr int SegmentHistory = 4; // stretches of a stream kept for time lookups
    static constexpr int32_t ClipKnee = 24576;

    explicit Mixer(int channels = 32);

    int channels() const { return static_cast<int>(m_voices.size()); }

    bool addStream(StreamId id, std::shared_ptr<const DecodedSound> sound);
    bool removeStream(StreamId id);
    bool hasStream(StreamId id) const { return m_streams.count(id) != 0; }

    // Starts the stream on the channel (a negative channel picks the first free one) from
    // its position, or from its start when it has played to its end. A stream already
    // playing on that channel carries on; one playing on another channel moves over
    // without a break.
    bool play(int channel, StreamId id);
    // Silences the stream (with a short fade) and rewinds it.
    bool stop(StreamId id);
    // Moves the position, playing or not; clamped to 0 and to a known length.
    bool seek(StreamId id, int64_t frame);
    bool playAt(int channel, StreamId effect, StreamId music, int64_t musicFrame);
    void cancelScheduled(StreamId music);

    // The frame of the mix the listener hears while the next commands are given; it marks
    // from when a time lookup sees their effect (see heardPosition).
    void setListenerFrame(double frame) { m_listener = frame; }

    // The position the mixer has reached (the next frame it will mix); 0 for an unknown id.
    int64_t position(StreamId id) const;
    // -1 while unknown or for an unknown id.
    int64_t lengthFrames(StreamId id) const;
    bool isActive(StreamId id) const { return channelOf(id) >= 0; }
    int channelOf(StreamId id) const;
    int pendingStarts() const { return static_cast<int>(m_pending.size()); }
    // Anything to mix (a voice, a fade or a scheduled start whose music plays).
    bool busy() const;
    // A playing stream is held up because decoding has not reached its position.
    bool waitingForData() const;
    int64_t mixFrame() const { return m_mixFrame; }

    // The stream position heard when the listener hears mix frame `heardFrame`: the
    // stretch of playback in force then, from the latest start or seek given while the
    // listener heard no later than that frame. A start or seek reads at its new position
    // at once and advances only when the listener reaches its first frame. A stream that
    // does not play (stopped, never started) reads its own position; one that played to
    // its end reads on up to its length as its last frames are heard.
    double heardPosition(StreamId id, double heardFrame) const;
    // Playing, or played to its end but still being heard.
    bool isAudible(StreamId id, double heardFrame) const;

    void render(int16_t* out, int frames);

private:
    struct Segment
    {
        int64_t mixStart = 0;
        int64_t songStart = 0;
        int64_t mixEnd = -1; // -1 while open
        double stamp = 0;
    };
    struct Stream
    {
        std::shared_ptr<const DecodedSound> sound;
        int64_t pos = 0;
        int channel = -1;
        bool endedNaturally = false;
        bool stalled = false;
        std::array<Segment, SegmentHistory> segments{};
        int segmentCount = 0;
        int newest = -1;
    };
    struct Tail
    {
        const DecodedSound* sound = nullptr;
        int64_t pos = 0;
        int left = 0;
    };
    struct Pending
    {
        Stream* effect = nullptr;
        Stream* music = nullptr;
        int channel = 0;
        int64_t musicFrame = 0;
    };

    Stream* find(StreamId id);
    const Stream* find(StreamId id) const;
    static bool fresh(const Stream& s, int64_t now);
    void pushSegment(Stream& s, int64_t mixStart, int64_t songStart, double stamp);
    static void closeSegment(Stream& s, int64_t mixEnd);
    void fadeOut(Stream& s);
    void release(Stream& s); // off its channel, fading what was heard
    void evict(int channel);
    void start(Stream& s, int channel, double stamp);
    void dropPendingOf(const Stream* music);
    void fire(const Pending& p);
    int fireDue(int maxSpan);
    void renderBlock(int16_t* out, int frames);
    void mixVoice(Stream& s, int32_t* dst, int frames, int64_t mixAt);
    static void mixTail(Tail& t, int32_t* dst, int frames);
    void endVoice(Stream& s, int64_t mixAt);

    std::unordered_map<StreamId, Stream> m_streams;
    std::vector<Stream*> m_voices;
    std::array<Tail, MaxTails> m_tails{};
    std::vector<Pending> m_pending;
    std::array<int32_t, 2 * BlockFrames> m_sum{};
    int64_t m_mixFrame = 0;
    int64_t m_now = 0; // the frame being mixed, or the next one between renders
    double m_listener = 0;
};

// 16-bit output of a mixed sum: unchanged within +-Mixer::ClipKnee, smoothly bent above it
// towards full scale, never beyond.
int16_t softClip(int32_t sum);

} // namespace tavix
