#include "Mixer.h"

#include <algorithm>
#include <cstdint>

// The mixer's commands, given between renders: each changes what the next frame mixed
// holds. The render pass itself is in MixerRender.cpp.

namespace tavix {

Mixer::Mixer(int channels, int rate)
    : m_voices(static_cast<size_t>(std::max(channels, 1)), nullptr), m_limiter(rate, BlockFrames),
      m_ahead(static_cast<size_t>(2 * m_limiter.lookaheadFrames())),
      m_historyFrames(int64_t{ExactHistoryMs} * std::max(rate, 1) / 1000)
{
    m_pending.reserve(MaxPending);
}

bool Mixer::addStream(Stream& s)
{
    if (!s.m_sound || s.m_added)
        return false;
    s.m_added = true;
    return true;
}

bool Mixer::removeStream(Stream& s)
{
    if (!s.m_added)
        return false;
    if (s.m_t.channel >= 0)
        m_voices[static_cast<size_t>(s.m_t.channel)] = nullptr;
    for (FadeTail& t : m_tails)
        if (t.sound == s.m_sound.get())
            t = FadeTail{};
    m_startsRetired += static_cast<uint64_t>(std::erase_if(
        m_pending, [&s](const Pending& p) { return p.music == &s || p.effect == &s; }));
    s.m_t.channel = -1;
    s.m_stalled = false;
    s.m_added = false;
    if (s.m_stretch)
        s.m_stretch->park();
    s.m_stretch = nullptr;
    return true;
}

bool Mixer::fresh(const Stream& s, int64_t now)
{
    // Started or seeked, but not a frame of it mixed yet: it can be changed silently.
    if (s.m_t.segmentCount == 0 || s.m_stalled)
        return false;
    const Segment& seg = s.m_t.segments[static_cast<size_t>(s.m_t.newest)];
    return seg.mixEnd < 0 && seg.mixStart == now;
}

bool Mixer::historyRoom(const Stream& s, int64_t at) const
{
    // A new stretch may push out the oldest only if no lookup still needs it.
    const Timeline& t = s.m_t;
    if (t.segmentCount < SegmentHistory)
        return true;
    const Segment& oldest = t.segments[static_cast<size_t>((t.newest + 1) % SegmentHistory)];
    return oldest.mixEnd >= 0 && oldest.mixEnd + m_historyFrames <= at;
}

void Mixer::pushSegment(Stream& s, int64_t mixStart, int64_t songStart, double stamp)
{
    Timeline& t = s.m_t;
    t.newest = (t.newest + 1) % SegmentHistory;
    t.segments[static_cast<size_t>(t.newest)] =
        Segment{mixStart, songStart + t.loopBase, -1, stamp,
                s.m_stretch ? s.m_stretch->ratePercent() : 100};
    t.segmentCount = std::min(t.segmentCount + 1, SegmentHistory);
}

void Mixer::closeSegment(Stream& s, int64_t mixEnd)
{
    Timeline& t = s.m_t;
    if (t.segmentCount == 0)
        return;
    Segment& seg = t.segments[static_cast<size_t>(t.newest)];
    if (seg.mixEnd < 0)
        seg.mixEnd = mixEnd;
}

void Mixer::fadeOut(Stream& s)
{
    // A slowed stream fades out over its own song frames at their own speed: 3 ms of the
    // same music, which no one hears apart from the stretched sound.
    if (fresh(s, m_now) || s.m_stalled)
        return;
    FadeTail* slot = &m_tails[0];
    for (FadeTail& t : m_tails) {
        if (t.left == 0) {
            slot = &t;
            break;
        }
        if (t.left < slot->left)
            slot = &t;
    }
    *slot = FadeTail{s.m_sound.get(), s.m_t.pos, FadeFrames};
}

void Mixer::release(Stream& s)
{
    if (s.m_t.channel < 0)
        return;
    fadeOut(s);
    closeSegment(s, m_now);
    m_voices[static_cast<size_t>(s.m_t.channel)] = nullptr;
    s.m_t.channel = -1;
    s.m_stalled = false;
}

void Mixer::evict(int channel)
{
    if (Stream* other = m_voices[static_cast<size_t>(channel)]) {
        release(*other);
        other->m_t.endedNaturally = false;
    }
}

void Mixer::start(Stream& s, int channel, double stamp)
{
    evict(channel);
    m_voices[static_cast<size_t>(channel)] = &s;
    s.m_t.channel = channel;
    s.m_stalled = false;
    s.m_t.endedNaturally = false;
    beginStretchRun(s);
    pushSegment(s, m_now, s.m_t.pos, stamp);
}

void Mixer::beginStretchRun(Stream& s)
{
    if (!s.m_stretch)
        return;
    s.m_stretch->restart(s.m_t.pos);
    s.m_stretchStart = s.m_t.pos;
    s.m_stretchOut = 0;
}

bool Mixer::setStretch(Stream& s, StretchFeed* feed)
{
    if (!s.m_added)
        return false;
    if (feed == s.m_stretch)
        return true;
    const bool playing = s.m_t.channel >= 0;
    if (playing) {
        fadeOut(s);
        closeSegment(s, m_now);
    }
    if (s.m_stretch)
        s.m_stretch->park();
    s.m_stretch = feed;
    if (feed)
        feed->setLoop(s.m_loopFrom, s.m_loopTo);
    if (playing) {
        s.m_stalled = false;
        beginStretchRun(s);
        pushSegment(s, m_now, s.m_t.pos, m_listener);
    }
    return true;
}

bool Mixer::play(int channel, Stream& s, bool goOn)
{
    if (!s.m_added || channel >= channels())
        return false;
    Timeline& t = s.m_t;
    if (channel < 0) {
        if (t.channel >= 0)
            return true;
        auto it = std::find(m_voices.begin(), m_voices.end(), nullptr);
        if (it == m_voices.end())
            return false;
        channel = static_cast<int>(it - m_voices.begin());
    }
    t.endedNaturally = false;
    if (t.channel == channel)
        return true;
    if (t.channel >= 0) {
        // Same position, other channel: no fade, no gap.
        m_voices[static_cast<size_t>(t.channel)] = nullptr;
        evict(channel);
        m_voices[static_cast<size_t>(channel)] = &s;
        t.channel = channel;
        return true;
    }
    const int64_t length = s.m_sound->lengthFrames();
    if (length >= 0 && t.pos >= length)
        t.pos = 0;
    if (goOn) {
        s.m_skipBelow = std::max(s.m_skipBelow, s.m_soundedEnd);
    } else {
        s.m_soundedEnd = 0;
        s.m_skipBelow = 0;
    }
    start(s, channel, m_listener);
    return true;
}

bool Mixer::stop(Stream& s)
{
    if (!s.m_added)
        return false;
    dropPendingOf(&s);
    release(s);
    if (s.m_t.loopBase != 0) {
        // Positions start counting afresh from this pass: what sounded in it keeps its
        // place in the new count, so that going on from the pause does not sound it again.
        const int64_t base = s.m_t.loopBase;
        s.m_soundedEnd = std::max<int64_t>(0, s.m_soundedEnd - base);
        s.m_skipBelow = std::max<int64_t>(0, s.m_skipBelow - base);
    }
    s.m_t.loopBase = 0;
    s.m_t.pos = 0;
    s.m_t.endedNaturally = false;
    if (s.m_stretch)
        s.m_stretch->park();
    return true;
}

bool Mixer::seek(Stream& s, int64_t frame)
{
    if (!s.m_added)
        return false;
    frame = std::max<int64_t>(frame, 0);
    const int64_t length = s.m_sound->lengthFrames();
    if (length >= 0)
        frame = std::min(frame, length);
    dropPendingOf(&s);
    Timeline& t = s.m_t;
    t.endedNaturally = false;
    t.loopBase = 0;
    if (t.channel < 0) {
        t.pos = frame;
        return true;
    }
    if (fresh(s, m_now)) {
        Segment& seg = t.segments[static_cast<size_t>(t.newest)];
        seg.songStart = frame;
        seg.stamp = m_listener;
        t.pos = frame;
        beginStretchRun(s);
        return true;
    }
    fadeOut(s);
    closeSegment(s, m_now);
    t.pos = frame;
    s.m_stalled = false;
    s.m_soundedEnd = 0; // a jump while playing begins another pass
    s.m_skipBelow = 0;
    beginStretchRun(s);
    pushSegment(s, m_now, frame, m_listener);
    return true;
}

bool Mixer::setLoop(Stream& s, int64_t from, int64_t to)
{
    if (!s.m_added)
        return false;
    const int64_t length = s.m_sound->lengthFrames();
    if (to > from && (from < 0 || (length >= 0 && to > length)))
        return false;
    s.m_loopFrom = from;
    s.m_loopTo = std::max(to, from);
    if (s.m_stretch)
        s.m_stretch->setLoop(s.m_loopFrom, s.m_loopTo);
    return true;
}

bool Mixer::playAt(int channel, Stream& effect, Stream& music, int64_t musicFrame)
{
    if (!effect.m_added || !music.m_added || &effect == &music || channel < 0 ||
        channel >= channels() || m_pending.size() >= MaxPending) {
        ++m_startsRetired;
        return false;
    }
    m_pending.push_back(Pending{&effect, &music, channel, musicFrame});
    return true;
}

void Mixer::cancelScheduled(Stream& music)
{
    if (!music.m_added)
        return;
    dropPendingOf(&music);
    // What is scheduled next is planned again from a moment the listener hears, behind
    // what has been mixed: the starts mixed already must not come again.
    music.m_skipBelow = std::max(music.m_skipBelow, music.m_soundedEnd);
}

void Mixer::dropPendingOf(const Stream* music)
{
    m_startsRetired += static_cast<uint64_t>(
        std::erase_if(m_pending, [music](const Pending& p) { return p.music == music; }));
}

bool Mixer::busy() const
{
    for (const Stream* v : m_voices)
        if (v)
            return true;
    for (const FadeTail& t : m_tails)
        if (t.left > 0)
            return true;
    return std::any_of(m_pending.begin(), m_pending.end(),
                       [](const Pending& p) { return p.music->m_t.channel >= 0; });
}

bool Mixer::waitingForData(int frames)
{
    for (Stream* v : m_voices) {
        if (!v)
            continue;
        if (v->m_stretch) {
            if (!v->m_stretch->lastFrameReady() && v->m_stretch->readyFrames() < frames)
                return true;
        } else if (!v->m_sound->isComplete() && v->m_t.pos >= v->m_sound->availableFrames()) {
            return true;
        }
    }
    return false;
}

} // namespace tavix
