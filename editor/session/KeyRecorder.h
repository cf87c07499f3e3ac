#pragma once

#include "LoopSpan.h"

#include "ChartEdit.h"
#include "SoundEngine.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace tavix {

class KeP;
class KeyInput;

// Live recording: each keypad key pressed while the song plays goes into the cell of the
// moment it went down, read back from the engine's position at that moment; a key the
// device shows down without a press of its own (held since before the stretch began)
// goes into the cell of the pass that sees it. The keys of one run are one change of the
// chart, made through its editing interface and handed out when the run pauses or ends.
class KeyRecorder
{
public:
    using Clock = std::chrono::steady_clock;

    explicit KeyRecorder(KeP& kep) : m_kep(kep) {}

    // While the run loops, presses are read in the song's time of the pass they fall in.
    void setLoop(std::optional<LoopSpan> loop) { m_loop = loop; }

    // Told after every key recorded.
    std::function<void()> onKey;

    // A stretch of continuous playback begins at `moment`: presses made before it (while
    // stopped or paused) record nothing.
    void beginSegment(KeyInput& keys, Clock::time_point moment);
    // One pass: the presses since the last, and, when the pass's cell lies in the chart,
    // the keys the device shows newly down. `recordCell` is the cell of the pass.
    void record(KeyInput& keys, SoundEngine& engine, StreamHandle music, double leadMs,
                int32_t recordCell, bool cellInChart);

    // Whether keys of this run have changed the chart and not been taken yet.
    bool hasKeys() const { return m_runEdit && m_runEdit->changed(); }
    // What the run's keys changed since the last take; nothing when no key was recorded.
    std::optional<ChartChange> take();
    // Resizes the chart within the run's change, when keys of the run are being recorded;
    // false when none are.
    bool resizeWithin(int64_t cells);

private:
    void setKey(int32_t cell, int row);

    KeP& m_kep;
    std::optional<LoopSpan> m_loop;
    std::optional<ChartEdit> m_runEdit;
    Clock::time_point m_segmentMoment{};
    // Presses recorded from their moment whose key-down has not yet shown in a snapshot;
    // the snapshot's edge for them must not record the key a second time.
    std::array<uint8_t, 256> m_unmatchedPresses{};
};

} // namespace tavix
