#pragma once

#include "TempoResult.h"

#include <vector>

namespace tavix {

// Where the attacks heard leave one constant grid: a live band's tempo wandering, a change
// of tempo, a free intro. Each grid beat is matched with the strongest attack near it;
// where, over a few beats running, those attacks stand typically more than a tolerance
// off their beats, the grid does not hold.
class GridDrift
{
public:
    static constexpr double ToleranceMs = 15.0;

    // The stretches, in order, in the times of the attacks; none when the grid holds.
    static std::vector<OffGridStretch> stretches(const std::vector<double>& attackMs,
                                                 const std::vector<double>& strengths,
                                                 double periodMs, double phaseMs, double durationMs,
                                                 double toleranceMs = ToleranceMs);
};

} // namespace tavix
