#pragma once

#include <cmath>
#include <cstdint>

namespace tavix {

// What tempo detection found: a constant beat grid, how sure it is, and the texts the
// editor's tempo and offset boxes need to put their cells on that grid.
struct TempoResult
{
    double bpm = 0.0;         // to hundredths of a BPM; 0 when no tempo was found
    double firstBeatMs = 0.0; // the first beat at or after 0 of the grid at `bpm`
    double confidence = 0.0;  // 0..1: how well one constant grid explains the beats heard
    double fittedBpm = 0.0;   // the fitted tempo before rounding
    int trackedBeats = 0;     // beats the tracker reported
    int fittedBeats = 0;      // beats on the fitted grid: tracked ones, or where the tracker
                              // lost the beat, the attacks heard
    double spreadMs = 0.0;    // their root-mean-square distance from the grid

    bool found() const { return bpm > 0.0; }
    double periodMs() const { return found() ? 60000.0 / bpm : 0.0; }
    int64_t firstBeatWholeMs() const { return std::llround(firstBeatMs); }

    // The offset that starts cells 0, 4, 8, ... on the beats at `bpm`. The editor leads the
    // music by LeadMs = BeatRate * (1.4 - offset) * 6000 = 0.4 * bpm * (1.4 - offset) ms,
    // and a lead of -(t0 mod period) puts cell 0 on the beat at t0 = firstBeatWholeMs().
    // 1.4 (no lead) when there is no tempo.
    double offset() const
    {
        if (!found())
            return 1.4;
        return 1.4 + std::fmod(double(firstBeatWholeMs()), periodMs()) / (0.4 * bpm);
    }
};

} // namespace tavix
