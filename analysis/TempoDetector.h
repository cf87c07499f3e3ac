#pragma once

#include "TempoResult.h"

#include <functional>
#include <optional>
#include <stop_token>

namespace tavix {

class SampleSource;
struct OnsetFeatures;

// The tempo range the answer is moved into by doubling or halving.
struct TempoOptions
{
    double minBpm = 75.0;
    double maxBpm = 225.0;
};

// Tempo and beat phase of a whole song with a constant tempo: aubio's spectral flux and our
// energy rise as onset strength, the interval scored over the whole song, the beats found
// at once by dynamic programming and a least-squares grid through them (see
// IntervalScoring, BeatTracker, BeatGridFit and OnsetAlignment); then the readings of that
// one tempo the range chooses among, and where the beats leave the grid (GridDrift). Safe to run on
// any thread; it only reads the samples.
class TempoDetector
{
public:
    using Progress = std::function<void(double fraction)>;

    // Nothing when `stop` was requested before the end; `progress` gets 0..1 as it goes.
    static std::optional<TempoResult> detect(const SampleSource& samples,
                                             const TempoOptions& options = {},
                                             const std::stop_token& stop = {},
                                             const Progress& progress = {});

    // The steps after the pass over the samples.
    static TempoResult fromFeatures(const OnsetFeatures& features, const TempoOptions& options);
};

} // namespace tavix
