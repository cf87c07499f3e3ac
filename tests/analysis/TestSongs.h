#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavix::test {

// A song made up for the tempo tests: drums on a constant grid over chords, with the
// tempo and the first beat known exactly.
struct SongPlan
{
    std::string name;
    double bpm = 120.0;
    double firstBeatMs = 0.0; // the first drum hit; beats follow every 60000 / bpm ms
    double seconds = 30.0;
    bool swing = false;      // the off-beat eighths played late, on the last triplet
    bool syncopated = false; // kicks between the beats, snare ghost notes
    double noise = 0.0;      // white noise amplitude over everything, full scale 1
    uint32_t seed = 1;
    int rate = 44100;
    bool irregular = false; // drum hits at random gaps instead of on the beats
};

// Stereo 16-bit interleaved. Before the first beat only the chords play, softly.
std::vector<int16_t> makeSong(const SongPlan& plan);

// The songs the detection is checked on, from easy to hard.
std::vector<SongPlan> generatedSongs();

} // namespace tavix::test
