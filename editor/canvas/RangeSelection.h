#pragma once

#include "CellRange.h"

#include <cstdint>

namespace tavix {

// A selection of whole cells made from the keyboard. It runs from an anchor, where the
// cursor stood when it began, to the cursor, counted between cells as a text caret is
// counted between letters: from cell 8 a step of a beat to the right selects cells 8 to
// 11 and leaves the cursor on 12. Its length has no limit but the chart's.
class RangeSelection
{
public:
    bool active() const { return m_active && !m_range.empty(); }
    const CellRange& range() const { return m_range; }

    // The cursor went from `fromCell` to the line before `toCell` with the selecting key
    // held: a selection not yet begun begins at `fromCell`. Both lines are kept within
    // 0 .. totalBeats, so the last cell can be selected though no cursor stands after it.
    void extend(int64_t fromCell, int64_t toCell, int64_t totalBeats);
    // Every cell of the chart.
    void selectAll(int64_t totalBeats);
    void clear();
    // The keys were moved by `cells`: the selection goes with them, within the chart.
    void move(int64_t cells, int64_t totalBeats);

private:
    bool m_active = false;
    int64_t m_anchor = 0;
    CellRange m_range;
};

} // namespace tavix
