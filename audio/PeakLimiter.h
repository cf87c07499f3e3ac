#pragma once

namespace tavix {

// The last stage of the mix: keeps the summed stereo signal within full scale (+-1.0)
// and leaves it alone otherwise. While no frame exceeds full scale the gain is exactly 1,
// so a lone voice passes bit for bit. A frame that would exceed it pulls the gain down at
// once to just what brings it to full scale (no attack time, so nothing ever clips or
// wraps); the gain then recovers towards 1 with a release time of ReleaseMs, so a pile-up
// of hits ducks the whole mix smoothly instead of flattening each peak.
class PeakLimiter
{
public:
    static constexpr double ReleaseMs = 60.0;

    explicit PeakLimiter(int rate);

    // Interleaved stereo frames, in place.
    void process(float* samples, int frames);

    float gain() const { return 1.0f - m_dip; }

private:
    float m_dip = 0.0f; // 1 - gain
    float m_recovery;   // the share of the dip that stays after each frame
};

} // namespace tavix
