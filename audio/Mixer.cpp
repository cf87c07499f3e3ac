#include "Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavix {

int16_t softClip(int32_t sum)
{
    constexpr int32_t knee = Mixer::ClipKnee;
    if (sum >= -knee && sum <= knee)
        return static_cast<int16_t>(sum);
    constexpr double range = 32767.0 - knee;
    const double over = (std::abs(static_cast<double>(sum)) - knee) / range;
    const auto bent = static_cast<int32_t>(std::lround(knee + range * std::tanh(over)));
    const int32_t magnitude = std::min(bent, 32767);
    return static_cast<int16_t>(sum < 0 ? -magnitude : magnitude);
}

Mixer::Mixer(int channels) : m_voices(static_cast<size_t>(std::max(channels, 1)), nullptr)
{
    // Enough for the editor's look-ahead many times over; more only grows on the
    // caller's side, never in render().
    m_pending.reserve(4096);
}

Mixer::Stream* Mixer::find(StreamId id)
{
    auto it = m_streams.find(id);
    return it == m_streams.end() ? nullptr : &it->second;
}

const Mixer::Stream* Mixer::find(StreamId id) const
{
    auto it = m_streams.find(id);
    return it == m_streams.end() ? nullptr : &it->second;
}

bool Mixer::addStream(StreamId id, std::shared_ptr<const DecodedSound> sound)
{
    if (!sound || m_streams.count(id))
        return false;
    Stream s;
    s.sound = std::move(sound);
    m_streams.emplace(id, std::move(s));
    return true;
}

bool Mixer::removeStream(StreamId id)
{
    Stream* s = find(id);
    if (!s)
        return false;
    if (s->channel >= 0)
        m_voices[static_cast<size_t>(s->channel)] = nullptr;
    for (Tail& t : m_tails)
        if (t.sound == s->sound.get())
            t = Tail{};
    std::erase_if(m_pending, [s](const Pending& p) { return p.music == s || p.effect == s; });
    m_streams.erase(id);
    return true;
}

bool Mixer::fresh(const Stream& s, int64_t now)
{
    // Started or seeked, but not a frame of it mixed yet: it can be changed silently.
    if (s.segmentCount == 0 || s.stalled)
        return false;
    const Segment& seg = s.segments[static_cast<size_t>(s.newest)];
    return seg.mixEnd < 0 && seg.mixStart == now;
}

void Mixer::pushSegment(Stream& s, int64_t mixStart, int64_t songStart, double stamp)
{
    s.newest = (s.newest + 1) % SegmentHistory;
    s.segments[static_cast<size_t>(s.newest)] = Segment{mixStart, songStart, -1, stamp};
    s.segmentCount = std::min(s.segmentCount + 1, SegmentHistory);
}

void Mixer::closeSegment(Stream& s, int64_t mixEnd)
{
    if (s.segmentCount == 0)
        return;
    Segment& seg = s.segments[static_cast<size_t>(s.newest)];
    if (seg.mixEnd < 0)
        seg.mixEnd = mixEnd;
}

void Mixer::fadeOut(Stream& s)
{
    if (fresh(s, m_now) || s.stalled)
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
    *slot = Tail{s.sound.get(), s.pos, FadeFrames};
}

void Mixer::release(Stream& s)
{
    if (s.channel < 0)
        return;
    fadeOut(s);
    closeSegment(s, m_now);
    m_voices[static_cast<size_t>(s.channel)] = nullptr;
    s.channel = -1;
    s.stalled = false;
}

void Mixer::evict(int channel)
{
    if (Stream* other = m_voices[static_cast<size_t>(channel)]) {
        release(*other);
        other->endedNaturally = false;
    }
}

void Mixer::start(Stream& s, int channel, double stamp)
{
    evict(channel);
    m_voices[static_cast<size_t>(channel)] = &s;
    s.channel = channel;
    s.stalled = false;
    s.endedNaturally = false;
    pushSegment(s, m_now, s.pos, stamp);
}

bool Mixer::play(int channel, StreamId id)
{
    Stream* s = find(id);
    if (!s || channel >= channels())
        return false;
    if (channel < 0) {
        if (s->channel >= 0)
            return true;
        auto it = std::find(m_voices.begin(), m_voices.end(), nullptr);
        if (it == m_voices.end())
            return false;
        channel = static_cast<int>(it - m_voices.begin());
    }
    s->endedNaturally = false;
    if (s->channel == channel)
        return true;
    if (s->channel >= 0) {
        // Same position, other channel: no fade, no gap.
        m_voices[static_cast<size_t>(s->channel)] = nullptr;
        evict(channel);
        m_voices[static_cast<size_t>(channel)] = s;
        s->channel = channel;
        return true;
    }
    const int64_t length = s->sound->lengthFrames();
    if (length >= 0 && s->pos >= length)
        s->pos = 0;
    start(*s, channel, m_listener);
    return true;
}

bool Mixer::stop(StreamId id)
{
    Stream* s = find(id);
    if (!s)
        return false;
    dropPendingOf(s);
    release(*s);
    s->pos = 0;
    s->endedNaturally = false;
    return true;
}

bool Mixer::seek(StreamId id, int64_t frame)
{
    Stream* s = find(id);
    if (!s)
        return false;
    frame = std::max<int64_t>(frame, 0);
    const int64_t length = s->sound->lengthFrames();
    if (length >= 0)
        frame = std::min(frame, length);
    dropPendingOf(s);
    s->endedNaturally = false;
    if (s->channel < 0) {
        s->pos = frame;
        return true;
    }
    if (fresh(*s, m_now)) {
        Segment& seg = s->segments[static_cast<size_t>(s->newest)];
        seg.songStart = frame;
        seg.stamp = m_listener;
        s->pos = frame;
        return true;
    }
    fadeOut(*s);
    closeSegment(*s, m_now);
    s->pos = frame;
    s->stalled = false;
    pushSegment(*s, m_now, frame, m_listener);
    return true;
}

bool Mixer::playAt(int channel, StreamId effect, StreamId music, int64_t musicFrame)
{
    Stream* e = find(effect);
    Stream* m = find(music);
    if (!e || !m || e == m || channel < 0 || channel >= channels())
        return false;
    m_pending.push_back(Pending{e, m, channel, musicFrame});
    return true;
}

void Mixer::cancelScheduled(StreamId music)
{
    if (const Stream* m = find(music))
        dropPendingOf(m);
}

void Mixer::dropPendingOf(const Stream* music)
{
    std::erase_if(m_pending, [music](const Pending& p) { return p.music == music; });
}

int64_t Mixer::position(StreamId id) const
{
    const Stream* s = find(id);
    return s ? s->pos : 0;
}

int64_t Mixer::lengthFrames(StreamId id) const
{
    const Stream* s = find(id);
    return s ? s->sound->lengthFrames() : -1;
}

int Mixer::channelOf(StreamId id) const
{
    const Stream* s = find(id);
    return s ? s->channel : -1;
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
                       [](const Pending& p) { return p.music->channel >= 0; });
}

bool Mixer::waitingForData() const
{
    for (const Stream* v : m_voices)
        if (v && !v->sound->isComplete() && v->pos >= v->sound->availableFrames())
            return true;
    return false;
}

double Mixer::heardPosition(StreamId id, double heardFrame) const
{
    const Stream* s = find(id);
    if (!s)
        return 0;
    if ((s->channel < 0 && !s->endedNaturally) || s->segmentCount == 0)
        return static_cast<double>(s->pos);
    // The newest stretch begun while the listener heard no later than heardFrame.
    int index = s->newest;
    for (int k = 0; k < s->segmentCount; ++k) {
        const int i = (s->newest - k + SegmentHistory) % SegmentHistory;
        index = i;
        if (s->segments[static_cast<size_t>(i)].stamp <= heardFrame)
            break;
    }
    const Segment& seg = s->segments[static_cast<size_t>(index)];
    const bool open = seg.mixEnd < 0;
    const double extent = open && index == s->newest
                              ? static_cast<double>(s->pos - seg.songStart)
                              : static_cast<double>(seg.mixEnd - seg.mixStart);
    const double into =
        std::clamp(heardFrame - static_cast<double>(seg.mixStart), 0.0, std::max(extent, 0.0));
    return static_cast<double>(seg.songStart) + into;
}

bool Mixer::isAudible(StreamId id, double heardFrame) const
{
    const Stream* s = find(id);
    if (!s)
        return false;
    if (s->channel >= 0)
        return true;
    if (!s->endedNaturally || s->segmentCount == 0)
        return false;
    const Segment& seg = s->segments[static_cast<size_t>(s->newest)];
    return heardFrame < static_cast<double>(seg.mixEnd);
}

void Mixer::fire(const Pending& p)
{
    Stream& e = *p.effect;
    release(e);
    e.pos = 0;
    start(e, p.channel, static_cast<double>(m_now));
}

int Mixer::fireDue(int maxSpan)
{
    int span = maxSpan;
    for (size_t i = 0; i < m_pending.size();) {
        const Pending p = m_pending[i];
        const Stream& music = *p.music;
        if (music.channel < 0) {
            if (music.endedNaturally)
                m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
            else
                ++i;
            continue;
        }
        const int64_t ahead = p.musicFrame - music.pos;
        if (ahead <= 0) {
            m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(i));
            fire(p);
            continue;
        }
        // The music must be known to advance without a break up to the start; otherwise
        // look again where it might stop.
        const DecodedSound& sound = *music.sound;
        const int64_t length = sound.lengthFrames();
        int64_t run = (music.stalled ? music.pos : sound.availableFrames()) - music.pos;
        if (length >= 0)
            run = std::min(run, length - music.pos);
        if (run > 0)
            span = static_cast<int>(std::min<int64_t>(span, ahead <= run ? ahead : run));
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
    std::fill_n(m_sum.begin(), 2 * frames, 0);
    int done = 0;
    while (done < frames) {
        m_now = m_mixFrame + done;
        const int span = std::max(fireDue(frames - done), 1);
        int32_t* dst = m_sum.data() + 2 * done;
        for (Stream* v : m_voices)
            if (v)
                mixVoice(*v, dst, span, m_now);
        for (Tail& t : m_tails)
            if (t.left > 0)
                mixTail(t, dst, span);
        done += span;
    }
    m_mixFrame += frames;
    m_now = m_mixFrame;
    for (int i = 0; i < 2 * frames; ++i)
        out[i] = softClip(m_sum[static_cast<size_t>(i)]);
}

void Mixer::endVoice(Stream& s, int64_t mixAt)
{
    closeSegment(s, mixAt);
    m_voices[static_cast<size_t>(s.channel)] = nullptr;
    s.channel = -1;
    s.stalled = false;
    s.endedNaturally = true;
}

void Mixer::mixVoice(Stream& s, int32_t* dst, int frames, int64_t mixAt)
{
    const DecodedSound& sound = *s.sound;
    const bool stereo = sound.channels() == 2;
    int done = 0;
    while (done < frames) {
        const int64_t length = sound.lengthFrames();
        if (length >= 0 && s.pos >= length) {
            endVoice(s, mixAt + done);
            return;
        }
        int64_t run = 0;
        const int16_t* src = sound.framesAt(s.pos, run);
        if (!src) {
            if (sound.isComplete() && s.pos >= sound.availableFrames()) {
                endVoice(s, mixAt + done);
            } else if (!s.stalled) {
                // Decoding has not got this far: wait, and take up the position again
                // when the frames arrive.
                closeSegment(s, mixAt + done);
                s.stalled = true;
            }
            return;
        }
        if (s.stalled) {
            s.stalled = false;
            pushSegment(s, mixAt + done, s.pos, static_cast<double>(mixAt + done));
        }
        int64_t n = std::min<int64_t>(frames - done, run);
        if (length >= 0)
            n = std::min(n, length - s.pos);
        int32_t* d = dst + 2 * done;
        if (stereo) {
            for (int64_t i = 0; i < 2 * n; ++i)
                d[i] += src[i];
        } else {
            for (int64_t i = 0; i < n; ++i) {
                d[2 * i] += src[i];
                d[2 * i + 1] += src[i];
            }
        }
        s.pos += n;
        done += static_cast<int>(n);
    }
    const int64_t length = sound.lengthFrames();
    if (length >= 0 && s.pos >= length)
        endVoice(s, mixAt + done);
}

void Mixer::mixTail(Tail& t, int32_t* dst, int frames)
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
        int32_t* d = dst + 2 * done;
        for (int64_t i = 0; i < n; ++i) {
            const int32_t gain = t.left - static_cast<int32_t>(i);
            if (stereo) {
                d[2 * i] += src[2 * i] * gain / FadeFrames;
                d[2 * i + 1] += src[2 * i + 1] * gain / FadeFrames;
            } else {
                const int32_t v = src[i] * gain / FadeFrames;
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
