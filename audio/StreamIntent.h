#pragma once

#include <cstdint>

namespace tavix {

// What the caller's thread last asked of a stream, to read until the audio thread has
// carried it out: positions answer at once, not a device request later.
struct StreamIntent
{
    enum class Kind : uint8_t { None, Start, Carry, Seek, Stop };
    Kind kind = Kind::None;
    uint64_t seq = 0;
    int64_t pos = 0;
    double stamp = 0;
    bool active = false;
    // Where the stream stood, at rest, before this was asked: what a moment before the
    // stamp reads (a stream playing before it reads the mixer's stretches instead).
    bool restBefore = false;
    int64_t posBefore = 0;
};

} // namespace tavix
