#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tavix {

class KeP;

// How many keys each cell holds (elements of rows 1 to 6 holding 1), for the passes that
// slide a window of cells over the chart.
struct CellKeys
{
    std::vector<uint8_t> counts; // one per cell

    static CellKeys of(const KeP& kep);

    // The whole cells a window of `ms` covers at `beatRate`, nearest, at least one; 0
    // without a rate.
    static int32_t windowCells(double ms, float beatRate);

    // Calls visit(first, keys) for every window of `window` cells that starts on a cell
    // and ends in the chart, in order; a chart shorter than the window is one window from
    // cell 0. Each step adds the cell that enters and drops the one that leaves.
    template <typename Visit> void forEachWindow(int32_t window, Visit&& visit) const
    {
        const auto cells = int32_t(counts.size());
        if (cells == 0 || window < 1)
            return;
        const int32_t span = std::min(window, cells);
        int32_t keys = 0;
        for (int32_t c = 0; c < span; ++c)
            keys += counts[size_t(c)];
        visit(0, keys);
        for (int32_t first = 1; first + span <= cells; ++first) {
            keys += counts[size_t(first + span - 1)] - counts[size_t(first - 1)];
            visit(first, keys);
        }
    }
};

} // namespace tavix
