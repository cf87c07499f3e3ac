#include "Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavix {

namespace {

constexpr float SampleScale = 1.0f / 32768.0f;

} // namespace

int16_t toInt16Sample(float sample)
{
    // Rounded by hand: the library's rounding is a call per sample. Whole values, which is
    // what a lone 16-bit voice gives, come out unchanged.
    const float v = std::clamp(sample * 32768.0f, -32768.0f, 32767.0f);
    return static_cast<int16_t>(static_cast<int>(v + std::copysign(0.5f, v)));
}

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
    for (Tail& t : m_tails)
        if (t.sound == s.m_sound.get())
            t = Tail{};
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
        Segment{mixStart, songStart, -1, stamp, s.m_stretch ? s.m_stretch->ratePercent() : 100};
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
    Tail* slot = &m_tails[0];
    for (Tail& t : m_tails) {
        if (t.left == 0) {
            slot = &t;
            break;
        }
        if (t.left < slot->left)
            slot = &t;
    }
    *slot = Tail{s.m_sound.get(), s.m_t.pos, FadeFrames};
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
    for (const Tail& t : m_tails)
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

double Mixer::Timeline::heardPosition(double heardFrame) const
{
    if ((channel < 0 && !endedNaturally) || segmentCount == 0)
        return static_cast<double>(pos);
    // The newest stretch begun while the listener heard no later than heardFrame.
    int index = newest;
    for (int k = 0; k < segmentCount; ++k) {
        const int i = (newest - k + SegmentHistory) % SegmentHistory;
        index = i;
        if (segments[static_cast<size_t>(i)].stamp <= heardFrame)
            break;
    }
    const Segment& seg = segments[static_cast<size_t>(index)];
    const bool open = seg.mixEnd < 0;
    // Both in mix frames: the song advances ratePercent hundredths of a frame for each.
    const double speed = seg.ratePercent / 100.0;
    const double extent = open && index == newest ? static_cast<double>(pos - seg.songStart) / speed
                                                  : static_cast<double>(seg.mixEnd - seg.mixStart);
    const double into =
        std::clamp(heardFrame - static_cast<double>(seg.mixStart), 0.0, std::max(extent, 0.0));
    return static_cast<double>(seg.songStart) + into * speed;
}

bool Mixer::Timeline::isAudible(double heardFrame) const
{
    if (channel >= 0)
        return true;
    if (!endedNaturally || segmentCount == 0)
        return false;
    const Segment& seg = segments[static_cast<size_t>(newest)];
    return heardFrame < static_cast<double>(seg.mixEnd);
}

void Mixer::fire(const Pending& p)
{
    p.music->m_soundedEnd = std::max(p.music->m_soundedEnd, p.musicFrame + 1);
    Stream& e = *p.effect;
    release(e);
    e.m_t.pos = 0;
    start(e, p.channel, static_cast<double>(m_now));
}

int64_t Mixer::stretchedAhead(const Stream& music, int64_t musicFrame)
{
    // Output frame k of the run plays song frame S + floor(k * p / 100): the first that
    // plays musicFrame is k = ceil((musicFrame - S) * 100 / p).
    const int64_t p = music.m_stretch->ratePercent();
    const int64_t into = musicFrame - music.m_stretchStart;
    const int64_t k = into <= 0 ? 0 : (into * 100 + p - 1) / p;
    return k - music.m_stretchOut;
}

int Mixer::fireDue(int maxSpan)
{
    int span = maxSpan;
    const Stream* runOf = nullptr; // the stretched music whose ready frames are known
    int64_t stretchRun = 0;
    for (size_t i = 0; i < m_pending.size();) {
        const Pending p = m_pending[i];
        Stream& music = *p.music;
        if (music.m_t.channel < 0) {
            if (music.m_t.endedNaturally) {
                m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
                ++m_startsRetired;
            } else {
                ++i;
            }
            continue;
        }
        const int64_t ahead =
            music.m_stretch ? stretchedAhead(music, p.musicFrame) : p.musicFrame - music.m_t.pos;
        if (ahead <= 0) {
            m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
            ++m_startsRetired;
            if (p.musicFrame >= music.m_skipBelow)
                fire(p);
            continue;
        }
        // The music must be known to advance without a break up to the start; otherwise
        // look again where it might stop.
        if (music.m_stretch) {
            if (runOf != &music) {
                runOf = &music;
                // A stalled run whose frames have come resumes at the span's start, so
                // what is ready counts for it too.
                stretchRun = music.m_stretch->readyFrames();
                music.m_seenAt = m_now;
                music.m_seenFrames = stretchRun;
            }
            span = static_cast<int>(std::min<int64_t>(
                span, stretchRun > 0 ? std::min(ahead, stretchRun) : StallProbeFrames));
            ++i;
            continue;
        }
        // Stalled or not, music whose frames have come plays on from the span's start.
        const DecodedSound& sound = *music.m_sound;
        const int64_t length = sound.lengthFrames();
        const int64_t available = sound.availableFrames();
        int64_t run = available - music.m_t.pos;
        if (length >= 0)
            run = std::min(run, length - music.m_t.pos);
        music.m_seenAt = m_now;
        music.m_seenFrames = available;
        span = static_cast<int>(
            std::min<int64_t>(span, run > 0 ? std::min(ahead, run) : StallProbeFrames));
        ++i;
    }
    return span;
}

void Mixer::render(int16_t* out, int frames)
{
    while (frames > 0) {
        const int n = std::min(frames, BlockFrames);
        renderBlock(out, n);
        out += 2 * n;
        frames -= n;
    }
}

void Mixer::renderBlock(int16_t* out, int frames)
{
    std::fill_n(m_sum.begin(), 2 * frames, 0.0f);
    int done = 0;
    while (done < frames) {
        m_now = m_mixFrame + done;
        const int span = std::max(fireDue(frames - done), 1);
        float* dst = m_sum.data() + 2 * done;
        for (Stream* v : m_voices) {
            if (v && v->m_stretch)
                mixStretched(*v, dst, span, m_now);
            else if (v)
                mixVoice(*v, dst, span, m_now);
        }
        for (Tail& t : m_tails)
            if (t.left > 0)
                mixTail(t, dst, span);
        done += span;
    }
    m_mixFrame += frames;
    m_now = m_mixFrame;
    const int foreseen = forecast(m_ahead.data(), m_limiter.lookaheadFrames());
    m_limiter.process(m_sum.data(), frames, m_ahead.data(), foreseen);
    for (int i = 0; i < 2 * frames; ++i)
        out[i] = toInt16Sample(m_sum[static_cast<size_t>(i)]);
}

int64_t Mixer::addFrames(const DecodedSound& sound, int64_t pos, float* dst, int64_t frames)
{
    const bool stereo = sound.channels() == 2;
    const int64_t length = sound.lengthFrames();
    if (length >= 0)
        frames = std::min(frames, length - pos);
    int64_t done = 0;
    while (done < frames) {
        int64_t run = 0;
        const int16_t* src = sound.framesAt(pos + done, run);
        if (!src)
            break;
        const int64_t n = std::min(frames - done, run);
        float* d = dst + 2 * done;
        if (stereo) {
            for (int64_t i = 0; i < 2 * n; ++i)
                d[i] += static_cast<float>(src[i]) * SampleScale;
        } else {
            for (int64_t i = 0; i < n; ++i) {
                const float v = static_cast<float>(src[i]) * SampleScale;
                d[2 * i] += v;
                d[2 * i + 1] += v;
            }
        }
        done += n;
    }
    return done;
}

int Mixer::forecast(float* dst, int frames)
{
    // What the next frames will hold if no command comes first: the voices playing on,
    // the fades, and the starts due. A voice that a start replaces is counted on at full
    // level, which can only turn the gain down a little early, never let a frame clip.
    // One plain voice alone cannot exceed full scale: nothing to foresee then.
    int sources = 0;
    bool plain = true;
    for (const Stream* v : m_voices) {
        if (v) {
            ++sources;
            plain = plain && !v->m_stretch;
        }
    }
    for (const Tail& t : m_tails)
        sources += t.left > 0;
    const auto dueIn = [](const Pending& p) -> int64_t {
        const Stream& music = *p.music;
        if (music.m_t.channel < 0)
            return -1;
        const int64_t ahead =
            music.m_stretch ? stretchedAhead(music, p.musicFrame) : p.musicFrame - music.m_t.pos;
        return std::max<int64_t>(ahead, 0);
    };
    for (const Pending& p : m_pending) {
        const int64_t due = dueIn(p);
        sources += due >= 0 && due < frames;
    }
    if (sources == 0 || (sources == 1 && plain))
        return 0;

    std::fill_n(dst, 2 * frames, 0.0f);
    for (Stream* v : m_voices) {
        if (v && v->m_stretch)
            v->m_stretch->peekInto(dst, frames);
        else if (v)
            addFrames(*v->m_sound, v->m_t.pos, dst, frames);
    }
    for (const Tail& t : m_tails) {
        if (t.left > 0) {
            Tail fading = t;
            mixTail(fading, dst, frames);
        }
    }
    for (const Pending& p : m_pending) {
        const int64_t due = dueIn(p);
        if (due >= 0 && due < frames)
            addFrames(*p.effect->m_sound, 0, dst + 2 * due, frames - due);
    }
    return frames;
}

void Mixer::endVoice(Stream& s, int64_t mixAt)
{
    closeSegment(s, mixAt);
    m_voices[static_cast<size_t>(s.m_t.channel)] = nullptr;
    s.m_t.channel = -1;
    s.m_stalled = false;
    s.m_t.endedNaturally = true;
}

void Mixer::mixVoice(Stream& s, float* dst, int frames, int64_t mixAt)
{
    const DecodedSound& sound = *s.m_sound;
    Timeline& t = s.m_t;
    const bool stereo = sound.channels() == 2;
    const int64_t seen = s.m_seenAt == mixAt ? s.m_seenFrames : INT64_MAX;
    int done = 0;
    while (done < frames) {
        const int64_t length = sound.lengthFrames();
        if (length >= 0 && t.pos >= length) {
            endVoice(s, mixAt + done);
            return;
        }
        int64_t run = 0;
        const int16_t* src = sound.framesAt(t.pos, run);
        if (src && t.pos >= seen)
            src = nullptr;
        run = std::min(run, seen - t.pos);
        if (!src) {
            if (sound.isComplete() && t.pos >= sound.availableFrames()) {
                endVoice(s, mixAt + done);
            } else if (!s.m_stalled) {
                // Decoding has not got this far: wait, and take up the position again
                // when the frames arrive.
                closeSegment(s, mixAt + done);
                s.m_stalled = true;
            }
            return;
        }
        if (s.m_stalled) {
            if (!historyRoom(s, mixAt + done))
                return;
            s.m_stalled = false;
            pushSegment(s, mixAt + done, t.pos, static_cast<double>(mixAt + done));
        }
        int64_t n = std::min<int64_t>(frames - done, run);
        if (length >= 0)
            n = std::min(n, length - t.pos);
        float* d = dst + 2 * done;
        if (stereo) {
            for (int64_t i = 0; i < 2 * n; ++i)
                d[i] += static_cast<float>(src[i]) * SampleScale;
        } else {
            for (int64_t i = 0; i < n; ++i) {
                const float v = static_cast<float>(src[i]) * SampleScale;
                d[2 * i] += v;
                d[2 * i + 1] += v;
            }
        }
        t.pos += n;
        done += static_cast<int>(n);
    }
    const int64_t length = sound.lengthFrames();
    if (length >= 0 && t.pos >= length)
        endVoice(s, mixAt + done);
}

void Mixer::mixStretched(Stream& s, float* dst, int frames, int64_t mixAt)
{
    Timeline& t = s.m_t;
    StretchFeed& feed = *s.m_stretch;
    if (s.m_stalled && !historyRoom(s, mixAt))
        return;
    bool ended = false;
    const int wanted =
        s.m_seenAt == mixAt ? static_cast<int>(std::min<int64_t>(frames, s.m_seenFrames)) : frames;
    const int n = feed.mixInto(dst, wanted, ended);
    if (n > 0 && s.m_stalled) {
        s.m_stalled = false;
        pushSegment(s, mixAt, t.pos, static_cast<double>(mixAt));
    }
    s.m_stretchOut += n;
    t.pos = s.m_stretchStart + s.m_stretchOut * feed.ratePercent() / 100;
    const int64_t length = s.m_sound->lengthFrames();
    if (ended) {
        if (length >= 0)
            t.pos = length;
        endVoice(s, mixAt + n);
    } else if (n < frames && !s.m_stalled) {
        // The feeder is behind: wait like a stream whose decoding is behind.
        closeSegment(s, mixAt + n);
        s.m_stalled = true;
    }
}

void Mixer::mixTail(Tail& t, float* dst, int frames)
{
    const bool stereo = t.sound->channels() == 2;
    int done = 0;
    while (done < frames && t.left > 0) {
        const int64_t length = t.sound->lengthFrames();
        int64_t run = 0;
        const int16_t* src = t.sound->framesAt(t.pos, run);
        if (!src || (length >= 0 && t.pos >= length)) {
            t = Tail{};
            return;
        }
        const int64_t n = std::min<int64_t>({frames - done, run, t.left});
        float* d = dst + 2 * done;
        for (int64_t i = 0; i < n; ++i) {
            // A linear fade to silence, FadeFrames long.
            const float gain =
                static_cast<float>(t.left - i) * (SampleScale / static_cast<float>(FadeFrames));
            if (stereo) {
                d[2 * i] += static_cast<float>(src[2 * i]) * gain;
                d[2 * i + 1] += static_cast<float>(src[2 * i + 1]) * gain;
            } else {
                const float v = static_cast<float>(src[i]) * gain;
                d[2 * i] += v;
                d[2 * i + 1] += v;
            }
        }
        t.pos += n;
        t.left -= static_cast<int>(n);
        done += static_cast<int>(n);
    }
    if (t.left <= 0)
        t = Tail{};
}

} // namespace tavix
