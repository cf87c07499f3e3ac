#pragma once

#include <vector>

namespace tavix {

// The beats of a whole song at a known period, found by dynamic programming over its
// onset strength (after Ellis, "Beat tracking by dynamic programming", 2007): the best
// chain of beats that land on strong onsets with gaps near the period. Non-causal, so a
// loud stretch cannot drag the beats off, and the chain follows the beats heard even
// where the period is a little off.
class BeatTracker
{
public:
    // Beat times in ms (value i of `strength` belongs to i * hopMs), each refined to a
    // fraction of a hop at its onset's peak; empty when the curve holds no beat.
    static std::vector<double> track(const std::vector<float>& strength, double hopMs,
                                     double periodMs);
};

} // namespace tavix
