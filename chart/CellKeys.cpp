#include "CellKeys.h"

#include "KeP.h"
#include "Rounding.h"

#include <cmath>

namespace tavix {

CellKeys CellKeys::of(const KeP& kep)
{
    CellKeys k;
    const int32_t cells = kep.hasGrid() ? kep.TotalBeats : 0;
    k.counts.resize(size_t(cells));
    const uint8_t* grid = kep.KeyGrid.data();
    for (int32_t c = 0; c < cells; ++c) {
        const uint8_t* cell = grid + KeP::flatIndex(c, 1);
        k.counts[size_t(c)] = uint8_t((cell[0] == 1) + (cell[1] == 1) + (cell[2] == 1) +
                                      (cell[3] == 1) + (cell[4] == 1) + (cell[5] == 1));
    }
    return k;
}

int32_t CellKeys::windowCells(double ms, float beatRate)
{
    const double cells = ms * double(beatRate);
    if (!(cells > 0.0) || !std::isfinite(cells))
        return 0;
    return std::max(1, nearestInt32(cells));
}

} // namespace tavix
