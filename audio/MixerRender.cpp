#include "Mixer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

// The mixer's render pass, on the audio thread: the scheduled starts that fall due, the
// voices, stretched or not, and the fades summed, the look-ahead foreseen for the limiter,
// and 16-bit frames out. Nothing here allocates, frees or waits.

namespace tavix {

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
            music.m_stretch ? stretchedAhead(music, p.musicFrame) : p.musicFrame - unrolled(music);
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
        out += std::ptrdiff_t{2} * n;
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
        float* dst = m_sum.data() + std::ptrdiff_t{2} * done;
        for (Stream* v : m_voices) {
            if (v && v->m_stretch)
                mixStretched(*v, dst, span, m_now);
            else if (v)
                mixVoice(*v, dst, span, m_now);
        }
        for (FadeTail& t : m_tails)
            if (t.left > 0)
                t.mixInto(dst, span);
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
        addSamples(src, n, stereo, dst + 2 * done);
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
    for (const FadeTail& t : m_tails)
        sources += t.left > 0;
    const auto dueIn = [](const Pending& p) -> int64_t {
        const Stream& music = *p.music;
        if (music.m_t.channel < 0)
            return -1;
        const int64_t ahead =
            music.m_stretch ? stretchedAhead(music, p.musicFrame) : p.musicFrame - unrolled(music);
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
    for (const FadeTail& t : m_tails) {
        if (t.left > 0) {
            FadeTail fading = t;
            fading.mixInto(dst, frames);
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
        const bool looping = s.m_loopTo > s.m_loopFrom && t.pos < s.m_loopTo;
        if (looping)
            n = std::min(n, s.m_loopTo - t.pos);
        const int64_t mutedLeft = s.m_mutedBelow - unrolled(s);
        if (mutedLeft > 0)
            n = std::min(n, mutedLeft); // silence up to there, then the music
        else
            addSamples(src, n, stereo, dst + std::ptrdiff_t{2} * done);
        t.pos += n;
        done += static_cast<int>(n);
        if (looping && t.pos == s.m_loopTo) {
            // Back to the loop's start at the very next frame; the count goes on.
            t.loopBase += s.m_loopTo - s.m_loopFrom;
            t.pos = s.m_loopFrom;
        }
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
    // Output frame k of the run plays song frame stretchStart + floor(k * rate): those below
    // the muted frame go to a buffer nobody hears.
    const int64_t p = feed.ratePercent();
    const int64_t into = s.m_mutedBelow - s.m_stretchStart;
    const int64_t mutedFrames = into <= 0 ? 0 : (into * 100 + p - 1) / p - s.m_stretchOut;
    int n = 0;
    if (mutedFrames > 0) {
        const int away = static_cast<int>(std::min<int64_t>(mutedFrames, wanted));
        std::fill_n(m_muted.begin(), 2 * away, 0.0f);
        n = feed.mixInto(m_muted.data(), away, ended);
        if (n == away && !ended && away < wanted)
            n += feed.mixInto(dst + std::ptrdiff_t{2} * away, wanted - away, ended);
    } else {
        n = feed.mixInto(dst, wanted, ended);
    }
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

} // namespace tavix
