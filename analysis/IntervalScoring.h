#pragma once

#include <vector>

namespace tavix {

// Non-causal tempo candidates: every beat interval is scored against the onset strength
// of the whole song at once (its autocorrelation at the interval and its multiples),
// weighted toward the tempo range the user expects.
class IntervalScoring
{
public:
    struct Candidate
    {
        double periodMs = 0.0;
        double score = 0.0; // 0..1, relative to the autocorrelation at lag 0
    };

    // The best interval for tempos from minBpm / 2 to maxBpm * 2; nothing when the curve is
    // flat or too short to hold two beats.
    static Candidate best(const std::vector<float>& strength, double hopMs, double minBpm,
                          double maxBpm);
};

} // namespace tavix
