#include "PeakLimiter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tavix {

namespace {

// Below a quarter of a 16-bit step at full scale the gain counts as back at 1.
constexpr float Settled = 1.0f / 131072.0f;

} // namespace

PeakLimiter::PeakLimiter(int rate)
    : m_recovery(static_cast<float>(std::exp(-1000.0 / (ReleaseMs * std::max(rate, 1)))))
{
}

void PeakLimiter::process(float* samples, int frames)
{
    if (m_dip == 0.0f) {
        // The usual case, nothing near full scale: one quick look and the block is done.
        float peak = 0.0f;
        for (int i = 0; i < 2 * frames; ++i)
            peak = std::max(peak, std::abs(samples[i]));
        if (peak <= 1.0f)
            return;
    }
    // The dip below 1 is what recovers, so it keeps its precision however small it gets.
    float dip = m_dip;
    for (int f = 0; f < frames; ++f) {
        float* frame = samples + 2 * static_cast<std::ptrdiff_t>(f);
        const float peak = std::max(std::abs(frame[0]), std::abs(frame[1]));
        if (dip > 0.0f) {
            dip *= m_recovery;
            if (dip < Settled)
                dip = 0.0f;
        }
        float gain = 1.0f - dip;
        if (peak * gain > 1.0f) {
            gain = 1.0f / peak;
            dip = 1.0f - gain;
        }
        if (dip > 0.0f) {
            frame[0] *= gain;
            frame[1] *= gain;
        }
    }
    m_dip = dip;
}

} // namespace tavix
