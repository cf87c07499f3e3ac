#include "PlayTarget.h"

#include "KeP.h"

#include <algorithm>

namespace tavix {

std::vector<PlayTarget> playTargets(const KeP& kep, const CellTiming& timing, int32_t fromCell,
                                    int32_t toCell)
{
    std::vector<PlayTarget> targets;
    if (!kep.hasGrid())
        return targets;
    fromCell = std::max(fromCell, 0);
    toCell = std::min<int32_t>(toCell, kep.TotalBeats);
    for (int32_t c = fromCell; c < toCell; ++c) {
        std::optional<int64_t> at;
        for (int row = 1; row <= 7; ++row) {
            if (!kep.isSet(c, row))
                continue;
            if (!at)
                at = timing.firstMusicMs(c);
            if (!at)
                return targets; // no tempo: no cell is ever reached
            targets.push_back({c, row, double(*at)});
        }
    }
    return targets;
}

} // namespace tavix
