#pragma once

#include <vector>

namespace tavix {

// What one pass over a song gives the tempo fit: onset-strength curves. Times are music
// milliseconds from the song's first sample.
struct OnsetFeatures
{
    // Spectral flux, one value per hop: the curve the candidate intervals are scored on.
    // Value i belongs to the time i * strengthHopMs.
    std::vector<float> strength;
    double strengthHopMs = 0.0;

    // The rise of short-time energy on a fine hop of about 1.5 ms: where attacks start,
    // to the millisecond. Value j belongs to the block from j * fineHopMs on: it is
    // highest at the block an attack starts in.
    std::vector<float> fine;
    double fineHopMs = 0.0;
    // The same below a couple of hundred hertz, on the same blocks: the drums' attacks,
    // which tell the beats from the off-beats when cymbals and guitars are louder.
    std::vector<float> low;

    double durationMs = 0.0;
};

} // namespace tavix
