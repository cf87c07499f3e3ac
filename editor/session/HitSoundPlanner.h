#pragma once

#include "CellTiming.h"

#include <cstdint>
#include <vector>

namespace tavix {

// A cell whose sounds start when the music reaches musicMs.
struct PlannedCell
{
    int32_t cell = 0;
    double musicMs = 0; // whole ms but in a loop, whose passes add its length

    bool operator==(const PlannedCell&) const = default;
};

// Decides, stretch by stretch of continuous playback, when each cell's sounds start:
// the cell under the position where the stretch begins sounds at once (unless it is the
// cell sounded last), every later cell at the first moment the music reaches it. The
// plan is independent of how often it is asked, so no cell is skipped or doubled
// whatever the frame rate.
class HitSoundPlanner
{
public:
    // A stretch begins at music time startMs (start, resume, a seek, or new timing);
    // lastSoundBeat is the cell sounded last (-1 for none).
    void beginSegment(const CellTiming& timing, int64_t startMs, int32_t lastSoundBeat);

    // The segment plays cells [fromCell, toCell) over and over, the music jumping back by
    // lengthMs at the range's end (its loop time runs on); toCell <= fromCell: no loop.
    void setLoop(int32_t fromCell, int32_t toCell, double lengthMs)
    {
        m_loopFrom = fromCell;
        m_loopTo = toCell;
        m_loopLength = lengthMs;
        m_pass = 0;
    }

    // The cells not planned yet that the music reaches by untilMs (inclusive), in order.
    // Cells from totalBeats on, and cells before 0, never sound.
    std::vector<PlannedCell> reach(double untilMs, int32_t totalBeats);

    // The instant the next cell would start, if any time reaches it.
    std::optional<double> nextInstant() const;

    int32_t lastSoundBeat() const { return m_last; }
    int32_t nextCell() const { return m_next; }
    const CellTiming& timing() const { return m_timing; }
    int64_t segmentStart() const { return m_start; }

private:
    CellTiming m_timing;
    int64_t m_start = 0;
    int32_t m_last = -1;
    int32_t m_next = 0;
    int32_t m_loopFrom = 0;
    int32_t m_loopTo = 0;
    double m_loopLength = 0;
    int64_t m_pass = 0;
};

} // namespace tavix
