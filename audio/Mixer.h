#pragma once

#include "DecodedSound.h"
#include "FadeTail.h"
#include "MixSamples.h"
#include "PeakLimiter.h"
#include "StreamTimeline.h"
#include "StretchFeed.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavix {

// The mixer of the engine, with no device behind it: render() fills a buffer of
// interleaved 16-bit stereo frames and advances a 64-bit frame counter, and every command
// takes effect at the next frame it mixes. The engine runs it on the audio thread alone,
// feeding it commands from a queue; tests call it directly. Nothing it does after
// construction allocates or frees memory, and it takes no lock.
//
// Streams are objects the caller makes and owns (Mixer::Stream over a decoded sound) and
// hands to the mixer with addStream; after removeStream the mixer holds no reference to
// one, so the caller may free it. Each of the channels holds at most one stream; a
// stream has one position and plays on at most one channel.
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
//   end (a start at the music's length or later never sounds). At most MaxPending wait
//   at once; more are refused.
// - No start sounds twice in one pass of the music: once a start over it has sounded,
//   starts at that instant or before are dropped if they are scheduled after a cancel,
//   or over music taken up again with play(..., goOn) where a stop (a pause) left it,
//   which replays what the device still held. A pass begins when the music is started
//   from rest without goOn, or seeked while it plays.
// - A playing stream whose decoding (or stretching) is behind stalls, silent with its
//   position held, and takes up again from the first span that finds its frames there.
//   Starts over it still land on their frames, and what the listener heard stays exact
//   for moments up to ExactHistoryMs back however often it stalls: a stream that would
//   need more stretches of history than it keeps waits until it can let the oldest go.
// - Voices are summed in floating point at their own level and pass a PeakLimiter, which
//   leaves the sum untouched unless it would exceed full scale: a stream playing alone
//   comes out sample for sample, and any number of full-scale voices never wraps. After
//   each block the mixer foresees the limiter's look-ahead from what plays on and the
//   starts due (as if no command came in between), so the gain glides down before a
//   pile-up of scheduled hits, even one due early in the next callback.
// - A stream may play slowed down with its pitch kept (setStretch): its frames then come
//   from a StretchFeed, whose feeder thread stretches ahead of the mix, and its position
//   stays in frames of the song: output frame k of a stretch begun at song frame S plays
//   S + floor(k * rate). A scheduled start over it sounds at the first output frame that
//   plays its song frame, so effects are never stretched but land where their instant
//   falls in the stretched music. At 100% nothing of this is in the path.
class Mixer
{
public:
    static constexpr int FadeFrames = FadeTail::Frames;
    static constexpr int BlockFrames = 512; // render() works in pieces of at most this
    static constexpr int MaxTails = 64;     // fading instances at once
    static constexpr int SegmentHistory = StreamTimeline::History;
    // Lookups of what was heard this long before the newest mixed frame stay exact: a
    // stalled stream resumes only once that leaves it a stretch of history to let go of.
    static constexpr int ExactHistoryMs = 2000;
    static constexpr int StallProbeFrames = 64; // how often stalled music with starts looks again
    static constexpr int MaxPending = 4096;     // scheduled starts waiting at once

    // A stream's stretches of playback and where it stands (see StreamTimeline).
    using Segment = StreamTimeline::Segment;
    using Timeline = StreamTimeline;

    // A stream over a decoded sound. The caller makes and frees it; from addStream until
    // removeStream has returned only the mixer's thread may touch it.
    class Stream
    {
    public:
        explicit Stream(std::shared_ptr<const DecodedSound> sound) : m_sound(std::move(sound)) {}
        Stream(const Stream&) = delete;
        Stream& operator=(const Stream&) = delete;

        const DecodedSound& sound() const { return *m_sound; }
        const Timeline& timeline() const { return m_t; }

    private:
        friend class Mixer;
        std::shared_ptr<const DecodedSound> m_sound;
        Timeline m_t;
        bool m_stalled = false;
        bool m_added = false;
        StretchFeed* m_stretch = nullptr;
        int64_t m_stretchStart = 0; // the song frame the feed's run began at
        int64_t m_stretchOut = 0;   // frames of that run mixed
        // While starts wait over it: the frames it may take in the span that begins at
        // m_seenAt (up to song frame m_seenFrames, or that many stretched frames), as
        // they were when the span was planned. Frames that arrive later wait for the
        // next span, so a start is never passed over.
        int64_t m_seenAt = -1;
        int64_t m_seenFrames = 0;
        // As music: the frame after the latest start over it that has sounded in this
        // pass, and the frame before which starts are dropped as sounded already.
        int64_t m_soundedEnd = 0;
        int64_t m_skipBelow = 0;
        int64_t m_mutedBelow = 0;
        int64_t m_loopFrom = 0; // a loop when m_loopTo > m_loopFrom
        int64_t m_loopTo = 0;
    };

    explicit Mixer(int channels = 32, int rate = 44100);

    int channels() const { return static_cast<int>(m_voices.size()); }

    bool addStream(Stream& s);
    bool removeStream(Stream& s);

    // Starts the stream on the channel (a negative channel picks the first free one) from
    // its position, or from its start when it has played to its end. A stream already
    // playing on that channel carries on; one playing on another channel moves over
    // without a break. A start from rest begins a pass of the music, or with goOn goes on
    // with the one a stop interrupted (see above).
    bool play(int channel, Stream& s, bool goOn = false);
    // Silences the stream (with a short fade) and rewinds it.
    bool stop(Stream& s);
    // Moves the position, playing or not; clamped to 0 and to a known length.
    bool seek(Stream& s, int64_t frame);
    bool playAt(int channel, Stream& effect, Stream& music, int64_t musicFrame);
    void cancelScheduled(Stream& music);
    // From its next start or seek on, the stream plays frames [from, to) over and over once
    // it reaches `to`: the frame after to - 1 is `from`, in the same render, so the jump is
    // seamless. Its position counts on through the jumps (Timeline::loopBase), and so do
    // the music frames of starts scheduled over it: a start at from + k * (to - from) + f
    // sounds in pass k. to <= from ends the loop. Refused for a range beyond a known length.
    bool setLoop(Stream& s, int64_t from, int64_t to);
    // The stream's frames below `frame` (in loop time) are mixed as silence, its position
    // moving on as ever: a count-in's clicks over the bar before the music is heard.
    // Starts scheduled over it still sound. 0: nothing muted.
    void setMutedBelow(Stream& s, int64_t frame) { s.m_mutedBelow = frame; }
    // Plays the stream through `feed` from now on (nullptr: at its own speed). The caller
    // keeps the feed alive until the stream is removed or given another.
    bool setStretch(Stream& s, StretchFeed* feed);

    // The frame of the mix the listener hears while the next commands are given; it marks
    // from when a time lookup sees their effect (see Timeline::heardPosition).
    void setListenerFrame(double frame) { m_listener = frame; }

    int pendingStarts() const { return static_cast<int>(m_pending.size()); }
    // Scheduled starts that have sounded, been dropped or been refused, since construction:
    // with the number asked for, it tells how many can still wait.
    uint64_t startsRetired() const { return m_startsRetired; }
    // Anything to mix (a voice, a fade or a scheduled start whose music plays).
    bool busy() const;
    // A playing stream is held up because decoding has not reached its position, or a
    // slowed one has fewer than `frames` stretched ahead.
    bool waitingForData(int frames = 1);
    int64_t mixFrame() const { return m_mixFrame; }
    float limiterGain() const { return m_limiter.gain(); }

    void render(int16_t* out, int frames);

private:
    struct Pending
    {
        Stream* effect = nullptr;
        Stream* music = nullptr;
        int channel = 0;
        int64_t musicFrame = 0;
    };

    static bool fresh(const Stream& s, int64_t now);
    // The position counted on through the loop's jumps.
    static int64_t unrolled(const Stream& s) { return s.m_t.pos + s.m_t.loopBase; }
    bool historyRoom(const Stream& s, int64_t at) const;
    static void pushSegment(Stream& s, int64_t mixStart, int64_t songStart, double stamp);
    static void closeSegment(Stream& s, int64_t mixEnd);
    void fadeOut(Stream& s);
    void release(Stream& s); // off its channel, fading what was heard
    void evict(int channel);
    void start(Stream& s, int channel, double stamp);
    void dropPendingOf(const Stream* music);
    void fire(const Pending& p);
    int fireDue(int maxSpan);
    void renderBlock(int16_t* out, int frames);
    void mixVoice(Stream& s, float* dst, int frames, int64_t mixAt);
    static int64_t addFrames(const DecodedSound& sound, int64_t pos, float* dst, int64_t frames);
    int forecast(float* dst, int frames);
    void endVoice(Stream& s, int64_t mixAt);
    void mixStretched(Stream& s, float* dst, int frames, int64_t mixAt);
    static void beginStretchRun(Stream& s);
    static int64_t stretchedAhead(const Stream& music, int64_t musicFrame);

    std::vector<Stream*> m_voices;
    std::array<FadeTail, MaxTails> m_tails{};
    std::vector<Pending> m_pending; // capacity MaxPending, reserved once
    uint64_t m_startsRetired = 0;
    std::array<float, size_t{2} * BlockFrames> m_sum{};
    std::array<float, size_t{2} * BlockFrames> m_muted{}; // where muted frames are mixed away
    PeakLimiter m_limiter;
    std::vector<float> m_ahead; // the frames after a block, as foreseen for the limiter
    int64_t m_mixFrame = 0;
    int64_t m_now = 0; // the frame being mixed, or the next one between renders
    double m_listener = 0;
    int64_t m_historyFrames;
};

} // namespace tavix
