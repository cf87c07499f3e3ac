#include "PlayOptions.h"

#include <charconv>
#include <cmath>

namespace tavix {

namespace {

std::optional<double> number(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

const char* PlayOptions::usage()
{
    return "usage: tavix-play FILE [--bpm B [--offset MS] [--stack N]] [--seconds S] [--start MS]\n"
           "                  [--rate R] [--mix-rate HZ]\n"
           "  Plays FILE (Ogg, MP3, WAV, FLAC) and prints the position and length every\n"
           "  250 ms. With --bpm, mixes the key sound on every beat from OFFSET on, N copies\n"
           "  at once with --stack (up to 16, to hear that loud sums are limited, not wrapped).\n"
           "  The output runs at the default device's own rate where SDL reports it, else\n"
           "  at HZ (44100 unless given); a file at another rate is resampled once.\n"
           "  --rate R plays slower with the pitch kept: R is 25, 50, 75 or 100 (percent), or\n"
           "  0.25, 0.5, 0.75 or 1; the clicks are not slowed but fall on their beats, and\n"
           "  positions, --start and --seconds are in the song's own time.\n"
           "  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw SDL_DISKAUDIODELAY=0 writes the\n"
           "  output (16-bit stereo) to a file instead; TAVIX_AUDIO_BUFFER sets the device\n"
           "  buffer and TAVIX_AUDIO_LATENCY the assumed output latency, in frames.\n";
}

std::optional<int> PlayOptions::percentOf(double value)
{
    for (const int percent : {25, 50, 75, 100})
        if (value == percent || value * 100 == percent)
            return percent;
    return std::nullopt;
}

std::optional<PlayOptions> PlayOptions::parse(const std::vector<std::string>& args,
                                              std::string* error)
{
    PlayOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--bpm" || arg == "--offset" || arg == "--seconds" || arg == "--start" ||
            arg == "--rate" || arg == "--mix-rate" || arg == "--stack") {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return std::nullopt;
            }
            const auto value = number(args[++i]);
            if (!value) {
                *error = arg + ": not a number: " + args[i];
                return std::nullopt;
            }
            if (arg == "--bpm") {
                if (*value <= 0 || *value > 1000) {
                    *error = "--bpm must be above 0 and at most 1000";
                    return std::nullopt;
                }
                options.bpm = value;
            } else if (arg == "--mix-rate") {
                if (*value < 8000 || *value > 192000 || *value != std::floor(*value)) {
                    *error = "--mix-rate must be a whole number of Hz from 8000 to 192000";
                    return std::nullopt;
                }
                options.mixRate = static_cast<int>(*value);
            } else if (arg == "--rate") {
                const auto percent = percentOf(*value);
                if (!percent) {
                    *error = "--rate must be 25, 50, 75 or 100 (or 0.25, 0.5, 0.75 or 1)";
                    return std::nullopt;
                }
                options.ratePercent = *percent;
            } else if (arg == "--stack") {
                if (*value < 1 || *value > 16 || *value != std::floor(*value)) {
                    *error = "--stack must be a whole number from 1 to 16";
                    return std::nullopt;
                }
                options.stack = static_cast<int>(*value);
            } else if (arg == "--offset") {
                options.offsetMs = *value;
            } else if (arg == "--seconds") {
                if (*value <= 0) {
                    *error = "--seconds must be above 0";
                    return std::nullopt;
                }
                options.seconds = value;
            } else {
                options.startMs = *value;
            }
        } else if (!arg.empty() && arg[0] == '-') {
            *error = "unknown option " + arg;
            return std::nullopt;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            *error = "only one file, please";
            return std::nullopt;
        }
    }
    if (options.file.empty()) {
        *error = "no file given";
        return std::nullopt;
    }
    return options;
}

} // namespace tavix
