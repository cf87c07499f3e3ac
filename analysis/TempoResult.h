#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace tavix {

// Below this the answer is a guess to be checked by ear: on the project's set of real
// songs, answers at or above it were right (to 0.05 BPM) at least 9 times in 10.
constexpr double SureConfidence = 0.5;

// The offset that starts cells 0, 4, 8, ... on the beats of a grid at `bpm` whose first
// beat at or after 0 is at `firstBeatMs` (whole milliseconds). The editor leads the music
// by LeadMs = BeatRate * (1.4 - offset) * 6000 = 0.4 * bpm * (1.4 - offset) ms, and a lead
// of -(t0 mod period) puts cell 0 on the beat at t0. 1.4 (no lead) for no tempo.
inline double offsetFor(double bpm, int64_t firstBeatMs)
{
    if (!(bpm > 0.0))
        return 1.4;
    return 1.4 + std::fmod(double(firstBeatMs), 60000.0 / bpm) / (0.4 * bpm);
}

// One reading of the song's beat: a tempo and where its first beat falls.
struct TempoCandidate
{
    double bpm = 0.0;         // to hundredths of a BPM
    double firstBeatMs = 0.0; // the first beat at or after 0 of the grid at `bpm`
    double score = 0.0;       // 0..1, comparable between the candidates of one song

    int64_t firstBeatWholeMs() const { return std::llround(firstBeatMs); }
    double offset() const { return offsetFor(bpm, firstBeatWholeMs()); }
};

// A stretch of the song, in music milliseconds, where the beats heard stand more than a
// tolerance off the fitted grid.
struct OffGridStretch
{
    double startMs = 0.0;
    double endMs = 0.0;
};

// What tempo detection found: a constant beat grid, how sure it is, and the texts the
// editor's tempo and offset boxes need to put their cells on that grid.
struct TempoResult
{
    double bpm = 0.0;         // to hundredths of a BPM; 0 when no tempo was found
    double firstBeatMs = 0.0; // the first beat at or after 0 of the grid at `bpm`
    double confidence = 0.0;  // 0..1: how likely the tempo is right (see SureConfidence)
    double fittedBpm = 0.0;   // the fitted tempo before rounding
    int trackedBeats = 0;     // beats the whole-song tracker found
    int fittedBeats = 0;      // beats on the fitted grid: tracked ones, or where no chain of
                              // beats held, the attacks heard
    double spreadMs = 0.0;    // their root-mean-square distance from the grid

    // Other readings of the same beat, best first, the answer among them first: up to three
    // (its double or half, a reading three beats to two). Empty when no tempo was found.
    std::vector<TempoCandidate> candidates;

    // False when the beats drift from the one grid; `offGrid` then says where.
    bool constant = true;
    std::vector<OffGridStretch> offGrid;

    bool found() const { return bpm > 0.0; }
    bool sure() const { return found() && confidence >= SureConfidence; }
    double periodMs() const { return found() ? 60000.0 / bpm : 0.0; }
    int64_t firstBeatWholeMs() const { return std::llround(firstBeatMs); }
    double offset() const { return offsetFor(bpm, firstBeatWholeMs()); }
};

} // namespace tavix
