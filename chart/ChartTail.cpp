#include "ChartTail.h"

#include "KeP.h"

#include <algorithm>

namespace tavix {

ChartTail::Marks ChartTail::from(const KeP& kep, int64_t cell)
{
    Marks marks;
    for (int64_t c = std::max<int64_t>(cell, 0); c < kep.TotalBeats; ++c) {
        for (int r = 1; r < KeP::RowsPerCell; ++r)
            marks.keys += kep.at(int32_t(c), r) != 0;
        marks.markers += kep.at(int32_t(c), KeP::RowsPerCell) != 0;
    }
    return marks;
}

int32_t ChartTail::lastUsedCell(const KeP& kep)
{
    if (!kep.hasGrid())
        return -1;
    const uint8_t* grid = kep.KeyGrid.data();
    // Element 0 belongs to no cell.
    for (size_t i = kep.KeyGrid.size() - 1; i >= 1; --i)
        if (grid[i] != 0)
            return int32_t((i - 1) / KeP::RowsPerCell);
    return -1;
}

int64_t ChartTail::keepingUsed(const KeP& kep, int64_t cells)
{
    return std::max<int64_t>(cells, int64_t(lastUsedCell(kep)) + 1);
}

} // namespace tavix
