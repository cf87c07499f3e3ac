#include "HitSoundPlanner.h"

#include <algorithm>
#include <cmath>

namespace tavix {

void HitSoundPlanner::beginSegment(const CellTiming& timing, int64_t startMs, int32_t lastSoundBeat)
{
    m_timing = timing;
    m_start = startMs;
    m_last = lastSoundBeat;
    // Before the chart's first cell nothing sounds until cell 0 is reached; the cell that
    // was sounded last does not sound again on its own.
    // In a loop the stretch may begin in a later pass: the cell is that of the song's time.
    m_pass = 0;
    int64_t songMs = startMs;
    const std::optional<int64_t> loopStart = m_timing.firstMusicMs(m_loopFrom);
    if (m_loopTo > m_loopFrom && m_loopLength > 0.0 && loopStart &&
        double(startMs) >= double(*loopStart) + m_loopLength) {
        m_pass = int64_t(std::floor((double(startMs) - double(*loopStart)) / m_loopLength));
        songMs = int64_t(std::floor(double(startMs) - double(m_pass) * m_loopLength));
    }
    const int32_t first = std::max(timing.soundingCell(songMs), 0);
    m_next = first == lastSoundBeat ? first + 1 : first;
}

std::optional<double> HitSoundPlanner::nextInstant() const
{
    const auto t = m_timing.firstMusicMs(m_next);
    if (!t)
        return std::nullopt;
    return std::max(double(*t) + double(m_pass) * m_loopLength, double(m_start));
}

std::vector<PlannedCell> HitSoundPlanner::reach(double untilMs, int32_t totalBeats)
{
    std::vector<PlannedCell> cells;
    const bool looping = m_loopTo > m_loopFrom && m_loopLength > 0.0;
    while (m_next < totalBeats || looping) {
        if (looping && m_next >= m_loopTo) {
            m_next = m_loopFrom;
            ++m_pass;
        }
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
