#pragma once

#include <array>
#include <cstdint>

namespace tavix {

// Where a stream of the mixer stands and the stretches it played lately: all that the time
// lookups need, and a plain value, so the engine can publish a copy of it to the caller's
// thread and answer "what did the listener hear then" there, away from the audio thread.
struct StreamTimeline
{
    static constexpr int History = 64; // stretches kept for time lookups

    // A stretch of continuous playback: from mix frame mixStart the stream played from
    // songStart on, until mixEnd (-1 while open). `stamp` is the frame the listener heard
    // when the command that began it was given.
    struct Segment
    {
        int64_t mixStart = 0;
        int64_t songStart = 0;
        int64_t mixEnd = -1;
        double stamp = 0;
        int ratePercent = 100; // song frames advance by this many hundredths a mix frame

        bool operator==(const Segment&) const = default;
    };

    std::array<Segment, History> segments{};
    int segmentCount = 0;
    int newest = -1;
    int64_t pos = 0; // the next frame the mixer will take from the stream
    // While the stream loops: the frames its jumps back have skipped, so that positions
    // (pos + loopBase, and the stretches' songStart) keep counting on through every pass.
    int64_t loopBase = 0;
    int channel = -1; // -1 while not playing
    bool endedNaturally = false;

    // The stream position heard when the listener hears mix frame `heardFrame`: the
    // stretch of playback in force then, from the latest start or seek given while the
    // listener heard no later than that frame. A start or seek reads at its new position
    // at once and advances only when the listener reaches its first frame. A stream that
    // does not play (stopped, never started) reads its own position; one that played to
    // its end reads on up to its length as its last frames are heard.
    double heardPosition(double heardFrame) const;
    // Playing, or played to its end but still being heard.
    bool isAudible(double heardFrame) const;

    bool operator==(const StreamTimeline&) const = default;
};

} // namespace tavix
