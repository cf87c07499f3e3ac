#pragma once

#include "DecodedSound.h"

#include <cstdint>

namespace tavix {

// What a stream leaves behind when it is cut (stopped, replaced, restarted, seeked while
// playing): the frames after its last position, faded linearly to silence over Frames, so
// nothing clicks. A plain value, as the mixer keeps a fixed array of them.
struct FadeTail
{
    static constexpr int Frames = 128; // 2.9 ms at 44.1 kHz

    const DecodedSound* sound = nullptr;
    int64_t pos = 0;
    int left = 0; // 0: the slot is free

    // Adds up to `frames` frames of the fade to the stereo sum at `dst`, and frees the slot
    // once it is done or its sound has run out.
    void mixInto(float* dst, int frames);
};

} // namespace tavix
