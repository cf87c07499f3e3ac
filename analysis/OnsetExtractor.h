#pragma once

#include "OnsetFeatures.h"

#include <functional>
#include <optional>
#include <stop_token>

namespace tavix {

class SampleSource;

// The one pass over the samples: aubio's spectral flux and beat tracker, and our own
// fine energy-rise curve, fed block by block from the decoded song (nothing is copied
// whole). Reports progress 0..1 and gives up, returning nothing, when a stop is asked.
class OnsetExtractor
{
public:
    using Progress = std::function<void(double)>;

    static std::optional<OnsetFeatures> run(const SampleSource& source, const std::stop_token& stop,
                                            const Progress& progress);
};

} // namespace tavix
