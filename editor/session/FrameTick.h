#pragma once

#include <QString>

#include <optional>

class QScreen;

namespace tavix {

// How often the playback pass runs: the screen's refresh rate, unless the environment
// variable TAVIX_FRAME_HZ names another rate (tests and benchmarks pin it).
class FrameTick
{
public:
    static constexpr double FallbackHz = 60.0;
    static constexpr double MinHz = 1.0;
    static constexpr double MaxHz = 1000.0;

    // A rate given as text ("60", "15.5"); nothing when it is not a usable rate.
    static std::optional<double> parseRate(const QString& text);
    // The rate for a window on `screen` (null: the primary screen).
    static double rateFor(const QScreen* screen);
    // Whole milliseconds between passes at `hz`, at least 1.
    static int intervalMs(double hz);
    // How far ahead the pass schedules hit sounds: two periods and a safety margin, so a
    // late pass still finds its sounds queued.
    static double lookaheadMs(double hz) { return 2.0 * 1000.0 / hz + 50.0; }
};

} // namespace tavix
