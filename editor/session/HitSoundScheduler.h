#pragma once

#include "CellTiming.h"
#include "HitSoundPlanner.h"
#include "SoundEngine.h"

#include <cstdint>
#include <vector>

namespace tavix {

class EffectSounds;
class KeP;

// A hit sound queued in the mixer and perhaps not heard yet, with what the counters were
// before it, so that cancelling it puts them back as if it had never been started.
struct PendingHit
{
    int32_t cell = 0;
    double musicMs = 0;
    int32_t lastSoundBeat = 0;
    int32_t soundSlot = 0;
};

// Queues the sounds of the cells ahead in the mixer, each at the sample where the music
// reaches its instant: a key sound for a cell with keys, on the key channels in turn, the
// marker's for a confirm marker, and with the metronome on a click on every beat and a
// higher one on every measure. What is queued and not heard yet can be taken back, and
// the counters go back with it.
class HitSoundScheduler
{
public:
    HitSoundScheduler(SoundEngine& engine, const EffectSounds& sounds)
        : m_engine(engine), m_sounds(sounds)
    {
    }

    // A run starts: no cell has sounded in it.
    void startRun() { m_lastSoundBeat = -1; }
    // A stretch of continuous playback begins at music time startMs.
    void beginSegment(const CellTiming& timing, int64_t startMs);
    // The segment loops cells [fromCell, toCell), the music jumping back by lengthMs.
    void setLoop(int32_t fromCell, int32_t toCell, double lengthMs)
    {
        m_planner.setLoop(fromCell, toCell, lengthMs);
    }
    // Queues what the music reaches within `lookaheadMs` from where it is heard now. A
    // timing other than the plan's (a tempo or offset committed while playing) moves every
    // cell: what is queued is taken back and the new plan starts where the music is.
    void schedule(const KeP& kep, StreamHandle music, const CellTiming& timing, double lookaheadMs);
    // Takes back what the listener has not heard by `heardThroughMs`.
    void cancel(StreamHandle music, double heardThroughMs);
    // Sounds the next key sound at once: the player's press at music time `musicMs`.
    void soundPress(StreamHandle music, double musicMs);
    // Forgets what is queued, leaving the counters as they are.
    void drop(StreamHandle music);
    // Plans again from where the music is (the metronome switched while playing).
    void replan(StreamHandle music, const CellTiming& timing);

    const bool& metronome() const { return m_metronome; }
    void setMetronome(bool on) { m_metronome = on; }
    // Whether the chart's own key and marker sounds are queued (a test play may go
    // without them; the player's presses sound instead).
    void setChartSounds(bool on) { m_chartSounds = on; }
    // Clicks every 4 cells back from toCell over cells [fromCell, toCell), the first one
    // high, whether the metronome is on or not: a count-in. An empty range has none.
    void setCountIn(int32_t fromCell, int32_t toCell)
    {
        m_countInFrom = fromCell;
        m_countInTo = toCell;
    }

    // The key channel the next key sound takes, and the cell sounded last (-1: none).
    const int32_t& soundSlot() const { return m_soundSlot; }
    const int32_t& lastSoundBeat() const { return m_lastSoundBeat; }
    const std::vector<PendingHit>& pending() const { return m_pending; }

private:
    SoundEngine& m_engine;
    const EffectSounds& m_sounds;
    HitSoundPlanner m_planner;
    std::vector<PendingHit> m_pending;
    int32_t m_soundSlot = 0;
    int32_t m_lastSoundBeat = 0;
    bool m_metronome = false;
    bool m_chartSounds = true;
    int32_t m_countInFrom = 0;
    int32_t m_countInTo = 0;
};

} // namespace tavix
