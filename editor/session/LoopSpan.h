#pragma once

#include <cmath>

namespace tavix {

// A stretch of the music played over and over: the engine's loop time (the song's time
// plus the length for each jump back) and the song's own time it stands for.
struct LoopSpan
{
    double fromMs = 0.0;
    double lengthMs = 0.0; // as the engine jumps: whole frames of the mix

    double toMs() const { return fromMs + lengthMs; }
    // The song's time at loop time `ms`: before the range's end it is the same.
    double songMs(double ms) const
    {
        if (!(lengthMs > 0.0) || ms < toMs())
            return ms;
        return fromMs + std::fmod(ms - fromMs, lengthMs);
    }
    // Which pass of the range loop time `ms` lies in (0 before the first jump).
    long long pass(double ms) const
    {
        return lengthMs > 0.0 && ms >= fromMs ? (long long)std::floor((ms - fromMs) / lengthMs) : 0;
    }
};

} // namespace tavix
