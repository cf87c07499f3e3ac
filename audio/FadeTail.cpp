#include "FadeTail.h"

#include "MixSamples.h"

#include <algorithm>
#include <cstddef>

namespace tavix {

void FadeTail::mixInto(float* dst, int frames)
{
    const bool stereo = sound->channels() == 2;
    int done = 0;
    while (done < frames && left > 0) {
        const int64_t length = sound->lengthFrames();
        int64_t run = 0;
        const int16_t* src = sound->framesAt(pos, run);
        if (!src || (length >= 0 && pos >= length)) {
            *this = FadeTail{};
            return;
        }
        const int64_t n = std::min<int64_t>({frames - done, run, left});
        float* d = dst + std::ptrdiff_t{2} * done;
        for (int64_t i = 0; i < n; ++i) {
            // A linear fade to silence, Frames long.
            const float gain =
                static_cast<float>(left - i) * (SampleScale / static_cast<float>(Frames));
            if (stereo) {
                d[2 * i] += static_cast<float>(src[2 * i]) * gain;
                d[2 * i + 1] += static_cast<float>(src[2 * i + 1]) * gain;
            } else {
                const float v = static_cast<float>(src[i]) * gain;
                d[2 * i] += v;
                d[2 * i + 1] += v;
            }
        }
        pos += n;
        left -= static_cast<int>(n);
        done += static_cast<int>(n);
    }
    if (left <= 0)
        *this = FadeTail{};
}

} // namespace tavix
