#pragma once

#include "LoopSpan.h"

#include <cstdint>

namespace tavix {

// Where the presses of a run go when they are played against the chart rather than
// recorded into it (a test play). Times are music ms; the rate is the playback's percent.
class PressSink
{
public:
    virtual ~PressSink() = default;
    // A keypad key of `row` (1..7) went down at music time `musicMs`.
    virtual void pressed(int row, double musicMs, int ratePercent) = 0;
    // The listener has heard the music through `musicMs`.
    virtual void heardThrough(double musicMs, int ratePercent) = 0;
    // The run loops cells [fromCell, toCell) over `span` of the music (loop time counts on
    // through the jumps): the targets come again in every pass.
    virtual void looping(int32_t /*fromCell*/, int32_t /*toCell*/, const LoopSpan& /*span*/) {}
    // The run is over (stopped, or the song ended).
    virtual void ended() = 0;
};

} // namespace tavix
