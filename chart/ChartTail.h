#pragma once

#include <cstdint>

namespace tavix {

class KeP;

// What the end of a chart holds: what cutting it would drop, and how far it can be cut
// without dropping anything. Every element that is not 0 counts, as the display draws it.
class ChartTail
{
public:
    struct Marks
    {
        int64_t keys = 0;    // rows 1 to 6
        int64_t markers = 0; // row 7
        bool any() const { return keys > 0 || markers > 0; }
    };

    // The keys and markers of the cells from `cell` on.
    static Marks from(const KeP& kep, int64_t cell);
    // The last cell that holds anything; -1 when none does.
    static int32_t lastUsedCell(const KeP& kep);
    // `cells`, or more where cells beyond it hold something.
    static int64_t keepingUsed(const KeP& kep, int64_t cells);
};

} // namespace tavix
