#include "RangeSelection.h"

#include <algorithm>

namespace tavix {

void RangeSelection::extend(int64_t fromCell, int64_t toCell, int64_t totalBeats)
{
    const int64_t end = std::max<int64_t>(totalBeats, 0);
    if (!m_active) {
        m_active = true;
        m_anchor = std::clamp<int64_t>(fromCell, 0, end);
    }
    const int64_t caret = std::clamp<int64_t>(toCell, 0, end);
    m_range = {std::min(m_anchor, caret), std::max(m_anchor, caret) - 1};
}

void RangeSelection::selectAll(int64_t totalBeats)
{
    m_active = totalBeats > 0;
    m_anchor = 0;
    m_range = {0, totalBeats - 1};
}

void RangeSelection::clear()
{
    m_active = false;
    m_range = {};
}

void RangeSelection::move(int64_t cells, int64_t totalBeats)
{
    if (!m_active)
        return;
    m_anchor += cells;
    m_range = CellRange{m_range.first + cells, m_range.last + cells}.within(totalBeats);
    if (m_range.empty())
        clear();
}

} // namespace tavix
