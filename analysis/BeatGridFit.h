#pragma once

#include <optional>
#include <vector>

namespace tavix {

// A constant beat grid fitted to beat times over the whole song: beat n lies at
// phaseMs + n * periodMs. From a first grid, each beat is given its grid index, beats too
// far from the grid are set aside, and period and phase are solved by least squares on
// the rest, a few rounds, each admitting only beats within a few times the spread the
// last round showed, so that stray beats cannot pull the grid.
class BeatGridFit
{
public:
    double periodMs = 0.0;
    double phaseMs = 0.0; // time of the grid beat with index 0
    int inliers = 0;      // beats within reach of the final grid
    double rmsMs = 0.0;   // root-mean-square distance of those from the grid

    // Starting from the grid (period, phase); beats farther than tolerance * period from
    // it are outliers from the start. Nothing when fewer than three beats agree.
    static std::optional<BeatGridFit> fit(const std::vector<double>& beatsMs, double periodMs,
                                          double phaseMs, double tolerance = 0.12);

    // The grid of beats that follow one another, each about `guessMs` after the last
    // (a tracker's chain): numbered by their gaps, then fitted as above from that start, so
    // that a guess a little off cannot lose the grid over a long song.
    static std::optional<BeatGridFit> fitChain(const std::vector<double>& beatsMs, double guessMs);

    // The period near the guess (within `reach` of it) at which events fall most alike in phase,
    // each counting with its weight: their mean phase vector is longest at the true one.
    // Found to well under a period's drift over the events' whole span.
    static double agreeingPeriod(const std::vector<double>& timesMs,
                                 const std::vector<double>& weights, double guessMs,
                                 double reach = 0.04);
};

} // namespace tavix
