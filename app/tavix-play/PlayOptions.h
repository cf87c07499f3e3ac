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
    int rate = 44100; // asked of the device when it does not say its own

    // nullopt and a message in `error` when the arguments do not make sense.
    static std::optional<PlayOptions> parse(const std::vector<std::string>& args,
                                            std::string* error);
    static const char* usage();
};

} // namespace tavix
