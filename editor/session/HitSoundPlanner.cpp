#include "HitSoundPlanner.h"

#include <algorithm>

namespace tavix {

void HitSoundPlanner::beginSegment(const CellTiming& timing, int64_t startMs, int32_t lastSoundBeat)
{
    m_timing = timing;
    m_start = startMs;
    m_last = lastSoundBeat;
    // Before the chart's first cell nothing sounds until cell 0 is reached; the cell that
    // was sounded last does not sound again on its own.
    const int32_t first = std::max(timing.soundingCell(startMs), 0);
    m_next = first == lastSoundBeat ? first + 1 : first;
}

std::optional<int64_t> HitSoundPlanner::nextInstant() const
{
    const auto t = m_timing.firstMusicMs(m_next);
    if (!t)
        return std::nullopt;
    return std::max(*t, m_start);
}

std::vector<PlannedCell> HitSoundPlanner::reach(double untilMs, int32_t totalBeats)
{
    std::vector<PlannedCell> cells;
    while (m_next < totalBeats) {
        const auto at = nextInstant();
        if (!at || double(*at) > untilMs)
            break;
        cells.push_back({m_next, *at});
        m_last = m_next;
        ++m_next;
    }
    return cells;
}

} // namespace tavix
