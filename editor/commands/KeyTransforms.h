#pragma once

#include "CellRange.h"
#include "KeP.h"

#include <cstdint>

namespace tavix {

class ChartEdit;

// What the commands on a selection do to the chart's keys: mirror left to right (7-9,
// 4-6, 1-3), flip top to bottom (7-1, 9-3; 4 and 6 stay), shift earlier or later by some
// cells, and clear. They move keys only; confirm markers stay where they are. A selection
// is a range of whole cells (rewritten in one pass, however long) or the keys a drag
// rectangle found; keys that land where an unselected key is merge with it.
class KeyTransforms
{
public:
    enum class Reflection { Mirror, Flip };

    static int reflectedRow(int row, Reflection reflection);

    // Every key of the selection goes to its reflected row of the same cell. A range keeps
    // every key (a permutation of each cell's rows); the keys of a list are given back
    // where they went.
    static void reflect(ChartEdit& edit, const CellRange& range, Reflection reflection);
    static SelectionList reflect(ChartEdit& edit, const SelectionList& keys, Reflection reflection);

    // What a shift would push out of the chart: keys past its start or past its end.
    struct Overflow
    {
        int64_t keys = 0;
        bool pastStart = false;
        explicit operator bool() const { return keys > 0; }
    };
    static Overflow shiftOverflow(const KeP& kep, const CellRange& range, int64_t cells);
    static Overflow shiftOverflow(const KeP& kep, const SelectionList& keys, int64_t cells);
    // Every key of the selection moves `cells` cells later (earlier when negative). Refused
    // (false, nothing written) when shiftOverflow finds keys that would leave the chart;
    // the list is then left as it is, and otherwise names where the keys went.
    static bool shift(ChartEdit& edit, const CellRange& range, int64_t cells);
    static bool shift(ChartEdit& edit, SelectionList& keys, int64_t cells);

    // No key left in the cells of the range.
    static void clear(ChartEdit& edit, const CellRange& range);

    // The keys of a range as a drag rectangle lists them: ascending, rows 1 to 6, every
    // element that is not 0.
    static SelectionList keysOf(const KeP& kep, const CellRange& range);
};

} // namespace tavix
