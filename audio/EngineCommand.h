#pragma once

#include <cstdint>

namespace tavix {

struct EngineStream;
class StretchFeed;

// One call of the caller's thread, as it travels to the audio thread: a plain value, so the
// queue between them copies it without allocating.
struct EngineCommand
{
    enum class Kind : uint8_t {
        Add,
        Remove,
        Play,
        Resume,
        Stop,
        Seek,
        PlayAt,
        Cancel,
        Stretch,
        Loop,
        Mute
    };
    Kind kind = Kind::Play;
    int channel = 0;
    EngineStream* stream = nullptr; // the effect of a PlayAt, the music of a Cancel
    EngineStream* music = nullptr;  // PlayAt only
    StretchFeed* feed = nullptr;    // Stretch only
    int64_t frame = 0;              // Seek, PlayAt, Mute; Loop: its first frame
    int64_t endFrame = 0;           // Loop: the frame it jumps back at
    double stamp = 0;               // the frame the listener heard when it was given
    uint64_t seq = 0;
};

} // namespace tavix
