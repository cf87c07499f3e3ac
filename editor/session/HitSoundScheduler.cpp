#include "HitSoundScheduler.h"

#include "EffectSounds.h"
#include "KeP.h"

#include <algorithm>

namespace tavix {

void HitSoundScheduler::beginSegment(const CellTiming& timing, int64_t startMs)
{
    m_pending.clear();
    m_planner.beginSegment(timing, startMs, m_lastSoundBeat);
}

void HitSoundScheduler::cancel(StreamHandle music, double heardThroughMs)
{
    const auto firstUnheard =
        std::find_if(m_pending.begin(), m_pending.end(),
                     [&](const PendingHit& h) { return double(h.musicMs) > heardThroughMs; });
    if (firstUnheard != m_pending.end()) {
        m_lastSoundBeat = firstUnheard->lastSoundBeat;
        m_soundSlot = firstUnheard->soundSlot;
    }
    m_pending.clear();
    m_engine.FSOUND_Stream_CancelScheduled(music);
}

void HitSoundScheduler::soundPress(StreamHandle music, double musicMs)
{
    // Its instant has passed, so the engine starts it at once.
    m_engine.FSOUND_Stream_PlayAt(m_soundSlot, m_sounds.keySounds()[size_t(m_soundSlot)], music,
                                  musicMs);
    m_soundSlot = m_soundSlot >= KeySoundChannels - 1 ? 0 : m_soundSlot + 1;
}

void HitSoundScheduler::drop(StreamHandle music)
{
    m_pending.clear();
    m_engine.FSOUND_Stream_CancelScheduled(music);
}

void HitSoundScheduler::replan(StreamHandle music, const CellTiming& timing)
{
    cancel(music, m_engine.streamTimeExact(music));
    m_planner.beginSegment(timing, m_engine.FSOUND_Stream_GetTime(music), m_lastSoundBeat);
}

void HitSoundScheduler::schedule(const KeP& kep, StreamHandle music, const CellTiming& timing,
                                 double lookaheadMs)
{
    if (!(timing == m_planner.timing()))
        replan(music, timing);
    const double now = m_engine.streamTimeExact(music);
    m_pending.erase(std::remove_if(m_pending.begin(), m_pending.end(),
                                   [&](const PendingHit& h) { return double(h.musicMs) <= now; }),
                    m_pending.end());

    const auto& sounds = m_sounds.keySounds();
    const auto& clicks = m_sounds.metronome();
    for (const PlannedCell& planned : m_planner.reach(now + lookaheadMs, kep.TotalBeats)) {
        m_pending.push_back({planned.cell, planned.musicMs, m_lastSoundBeat, m_soundSlot});
        const double at = double(planned.musicMs);
        const bool countIn = planned.cell >= m_countInFrom && planned.cell < m_countInTo;
        // The count-in is clicks alone.
        const bool chartSounds = m_chartSounds && !countIn;
        if (chartSounds && kep.anyKeySet(planned.cell)) {
            m_engine.FSOUND_Stream_PlayAt(m_soundSlot, sounds[size_t(m_soundSlot)], music, at);
            ++m_soundSlot;
            if (m_soundSlot > KeySoundChannels - 1)
                m_soundSlot = 0;
        }
        if (chartSounds && kep.isSet(planned.cell, 7))
            m_engine.FSOUND_Stream_PlayAt(MarkerChannel, sounds[EffectSounds::MarkerSound], music,
                                          at);
        if (clicks[0] != 0 && countIn && (m_countInTo - planned.cell) % 4 == 0)
            m_engine.FSOUND_Stream_PlayAt(MetronomeChannel,
                                          clicks[planned.cell == m_countInFrom ? 1 : 0], music, at);
        else if (m_metronome && planned.cell % 4 == 0 && clicks[0] != 0)
            m_engine.FSOUND_Stream_PlayAt(MetronomeChannel, clicks[planned.cell % 16 == 0 ? 1 : 0],
                                          music, at);
        m_lastSoundBeat = planned.cell;
    }
}

} // namespace tavix
