#pragma once

#include "CellTiming.h"

#include <cstdint>
#include <vector>

namespace tavix {

class KeP;

// One thing the player must press: a set key of rows 1 to 6, or a confirm marker (row 7,
// keypad 5 or 0), at the music instant its cell's hit sound is placed.
struct PlayTarget
{
    int32_t cell = 0;
    int row = 0;
    double musicMs = 0.0;

    bool operator==(const PlayTarget&) const = default;
};

// The targets of cells [fromCell, toCell) in order of their instants, then rows.
std::vector<PlayTarget> playTargets(const KeP& kep, const CellTiming& timing, int32_t fromCell,
                                    int32_t toCell);

} // namespace tavix
