#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tavix {

// The command line of tavix-play.
struct PlayOptions
{
    std::string file;
    std::optional<double> bpm;     // a click on every beat when given
    double offsetMs = 0;           // music time of the first beat
    int stack = 1;                 // copies of the click sounded at once
    std::optional<double> seconds; // stop after this much music
    double startMs = 0;
    int mixRate = 44100;   // asked of the device when it does not say its own
    int ratePercent = 100; // the playback speed, pitch kept

    // nullopt and a message in `error` when the arguments do not make sense.
    static std::optional<PlayOptions> parse(const std::vector<std::string>& args,
                                            std::string* error);
    static const char* usage();
    // A playback rate as given: 25, 50, 75 or 100 (percent) or 0.25, 0.5, 0.75 or 1.
    static std::optional<int> percentOf(double value);
};

} // namespace tavix
