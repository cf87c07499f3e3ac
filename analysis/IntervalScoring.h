#pragma once

#include <vector>

namespace tavix {

// Non-causal tempo evidence: every beat interval is scored against the onset strength of
// the whole song at once (its autocorrelation at the interval and its multiples).
class IntervalScoring
{
public:
    struct Candidate
    {
        double periodMs = 0.0;
        double score = 0.0; // 0..1, relative to the autocorrelation at lag 0
    };

    // Ready to score intervals up to `longestMs`; scores nothing when the curve is flat or
    // too short to hold two of them.
    IntervalScoring(const std::vector<float>& strength, double hopMs, double longestMs);

    // The evidence for beats `periodMs` apart, 0..1; 0 out of reach.
    double score(double periodMs) const;

    // The best interval for tempos from minBpm / 2 to maxBpm * 2, weighted toward the
    // middle of minBpm..maxBpm; nothing when there is no evidence.
    Candidate best(double minBpm, double maxBpm) const;

    static Candidate best(const std::vector<float>& strength, double hopMs, double minBpm,
                          double maxBpm);

private:
    double comb(double lag) const;

    double m_hopMs;
    std::vector<double> m_acf; // empty when nothing can be scored
};

} // namespace tavix
