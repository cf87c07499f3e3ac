#pragma once

#include <cmath>
#include <cstdint>

namespace tavix {

// Every conversion between milliseconds and frames goes through these two, so a
// position set in milliseconds reads back as the same milliseconds and a scheduled
// start lands on the frame the caller can compute for itself.

// frame = llround(ms * rate / 1000), evaluated in double in exactly that order
// (halves away from zero, as llround does).
inline int64_t framesFromMs(double ms, int rate)
{
    return std::llround(ms * static_cast<double>(rate) / 1000.0);
}

// Fractional milliseconds of a (possibly fractional) frame position.
inline double msFromFrames(double frames, int rate)
{
    return frames * 1000.0 / static_cast<double>(rate);
}

// Whole milliseconds, nearest: SetTime(ms) followed by GetTime gives ms back, and the
// end of a stream reads exactly its length.
inline int32_t wholeMsFromFrames(double frames, int rate)
{
    return static_cast<int32_t>(std::llround(msFromFrames(frames, rate)));
}

} // namespace tavix
