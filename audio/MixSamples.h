#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavix {

// The arithmetic of a sample on its way through the mixer: 16-bit in, summed in floating
// point at full scale 1.0, 16-bit out. Inline, as it is the innermost loop of the mix.

inline constexpr float SampleScale = 1.0f / 32768.0f;

// Adds `frames` frames of 16-bit samples (stereo interleaved, or mono sent to both sides)
// to the stereo sum at `dst`.
inline void addSamples(const int16_t* src, int64_t frames, bool stereo, float* dst)
{
    if (stereo) {
        for (int64_t i = 0; i < 2 * frames; ++i)
            dst[i] += static_cast<float>(src[i]) * SampleScale;
    } else {
        for (int64_t i = 0; i < frames; ++i) {
            const float v = static_cast<float>(src[i]) * SampleScale;
            dst[2 * i] += v;
            dst[2 * i + 1] += v;
        }
    }
}

// A mixed sample at 16 bits: scaled by 2^15, clamped to the range, rounded to the nearest
// (halves away from zero). Rounded by hand: the library's rounding is a call per sample.
// Whole values, which is what a lone 16-bit voice gives, come out unchanged.
inline int16_t toInt16Sample(float sample)
{
    const float v = std::clamp(sample * 32768.0f, -32768.0f, 32767.0f);
    return static_cast<int16_t>(static_cast<int>(v + std::copysign(0.5f, v)));
}

} // namespace tavix
