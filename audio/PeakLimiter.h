#pragma once

#include <cstdint>
#include <vector>

namespace tavix {

// The last stage of the mix: keeps the summed stereo signal within full scale (+-1.0)
// and leaves it alone otherwise. While no frame exceeds full scale the gain is exactly 1,
// so a lone voice passes bit for bit.
//
// It looks LookaheadMs ahead: the caller hands it, with each block, the frames that
// follow as far as they are foreseen, and the gain glides down over that stretch to just
// what brings the loudest frame to full scale, so it never steps (a step clicks) and no
// frame ever clips or wraps. Once the frames beyond full scale have passed, the gain
// glides back to 1 within as long as they lasted (the look-ahead at the least), so a
// pile-up of hits ducks the music for no longer than the pile-up itself. A frame louder
// than was foreseen (a sound started with no warning) still has the gain cut at once.
class PeakLimiter
{
public:
    static constexpr double LookaheadMs = 3.0;

    // Blocks of up to maxFrames are taken in one piece (longer ones in several).
    explicit PeakLimiter(int rate, int maxFrames = 512);

    int lookaheadFrames() const { return m_lookahead; }

    // Interleaved stereo frames, in place. `ahead` holds the aheadFrames frames that come
    // next, as foreseen (it is only read); none foreseen: nothing beyond full scale.
    void process(float* samples, int frames, const float* ahead = nullptr, int aheadFrames = 0);

    float gain() const { return static_cast<float>(m_gain); }

private:
    void processPiece(float* samples, int frames, const float* ahead, int aheadFrames);

    int m_lookahead;
    int m_maxFrames;
    std::vector<float> m_need; // per frame of a piece and its look-ahead: the gain it allows
    std::vector<int> m_over;   // the frames of those beyond full scale
    double m_gain = 1.0;       // of the last frame put out
    double m_floor = 1.0;      // the lowest gain of the pile-up under way
    int64_t m_frame = 0;       // frames put out
    int64_t m_firstOver = -1;  // the pile-up's first frame beyond full scale, -1 for none
    int64_t m_lastOver = -1;   // and its latest
};

} // namespace tavix
