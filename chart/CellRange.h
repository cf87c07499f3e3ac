#pragma once

#include <algorithm>
#include <cstdint>

namespace tavix {

// A run of whole cells, first to last, both included; empty when last < first. A
// selection made from the keyboard is one: it holds every key of its cells, whatever its
// length, where a drag rectangle holds the keys it found on the canvas.
struct CellRange
{
    int64_t first = 0;
    int64_t last = -1;

    bool empty() const { return last < first; }
    int64_t cells() const { return empty() ? 0 : last - first + 1; }
    bool contains(int64_t cell) const { return cell >= first && cell <= last; }
    // The part of the range that lies in a chart of `totalBeats` cells.
    CellRange within(int64_t totalBeats) const
    {
        return {std::max<int64_t>(first, 0), std::min<int64_t>(last, totalBeats - 1)};
    }
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

} // namespace tavix
