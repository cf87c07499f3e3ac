#pragma once

#include "TempoResult.h"

#include <vector>

namespace tavix {

// Where the beats heard leave one constant grid: a live band's tempo wandering, a change
// of tempo, a free intro. The beats of a whole-song tracker follow the music wherever it
// goes; where, over a few of them running, they stand off the grid by more than a
// tolerance, one way or the other, the grid does not hold.
class GridDrift
{
public:
    static constexpr double ToleranceMs = 15.0;

    // The stretches, in order, in the beats' times; none when the grid holds.
    static std::vector<OffGridStretch> stretches(const std::vector<double>& beatsMs,
                                                 double periodMs, double phaseMs, double durationMs,
                                                 double toleranceMs = ToleranceMs);
};

} // namespace tavix
