#include "PeakLimiter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace tavix {

namespace {

// Below a quarter of a 16-bit step at full scale the gain counts as back at 1.
constexpr double Settled = 1.0 / 131072.0;

float framePeak(const float* frame)
{
    return std::max(std::abs(frame[0]), std::abs(frame[1]));
}

} // namespace

PeakLimiter::PeakLimiter(int rate, int maxFrames)
    : m_lookahead(std::max(1, static_cast<int>(std::lround(LookaheadMs * rate / 1000.0)))),
      m_maxFrames(std::max(maxFrames, 1))
{
    m_need.resize(static_cast<size_t>(m_maxFrames + m_lookahead));
    m_over.resize(m_need.size());
}

void PeakLimiter::process(float* samples, int frames, const float* ahead, int aheadFrames)
{
    // Pieces within the room set aside; each sees what follows it in the block, and the
    // last one what follows the block.
    while (frames > m_maxFrames) {
        const int rest = frames - m_maxFrames;
        if (rest >= m_lookahead)
            processPiece(samples, m_maxFrames, samples + 2 * ptrdiff_t{m_maxFrames}, m_lookahead);
        else
            processPiece(samples, m_maxFrames, samples + 2 * ptrdiff_t{m_maxFrames}, rest);
        samples += 2 * ptrdiff_t{m_maxFrames};
        frames = rest;
    }
    processPiece(samples, frames, ahead, ahead ? std::min(aheadFrames, m_lookahead) : 0);
}

void PeakLimiter::processPiece(float* samples, int frames, const float* ahead, int aheadFrames)
{
    // A frame at `k` of the piece and the frames foreseen after it.
    const auto frameAt = [&](int k) {
        return k < frames ? samples + 2 * ptrdiff_t{k} : ahead + 2 * ptrdiff_t{k - frames};
    };
    const int total = frames + aheadFrames;
    int overs = 0;
    for (int k = 0; k < total; ++k) {
        const float peak = framePeak(frameAt(k));
        m_need[static_cast<size_t>(k)] = peak > 1.0f ? 1.0f / peak : 1.0f;
        if (peak > 1.0f)
            m_over[static_cast<size_t>(overs++)] = k;
    }
    if (overs == 0 && m_gain == 1.0) {
        // The usual case, nothing near full scale: the block passes untouched.
        m_frame += frames;
        return;
    }

    const double lookahead = m_lookahead;
    int firstInReach = 0; // into m_over: the first frame beyond full scale not yet passed
    for (int i = 0; i < frames; ++i) {
        while (firstInReach < overs && m_over[static_cast<size_t>(firstInReach)] < i)
            ++firstInReach;
        // Each frame beyond full scale within reach asks for a gain that falls in a
        // straight line from 1, a look-ahead before it, to what it allows on it.
        double target = 1.0;
        for (int o = firstInReach; o < overs; ++o) {
            const int j = m_over[static_cast<size_t>(o)];
            if (j > i + m_lookahead)
                break;
            const double need = m_need[static_cast<size_t>(j)];
            target = std::min(target, need + (1.0 - need) * (j - i) / lookahead);
        }
        if (m_need[static_cast<size_t>(i)] < 1.0f) {
            if (m_firstOver < 0)
                m_firstOver = m_frame;
            m_lastOver = m_frame;
        }
        // Back up again, never faster than over as long as the pile-up has lasted.
        const double span =
            std::max(lookahead, m_firstOver < 0 ? 0.0 : double(m_lastOver - m_firstOver + 1));
        double gain = std::min(target, m_gain + (1.0 - m_floor) / span);
        // Louder than foreseen: cut at once rather than clip.
        gain = std::min(gain, double(m_need[static_cast<size_t>(i)]));
        m_floor = std::min(m_floor, gain);
        if (gain >= 1.0 - Settled && target >= 1.0) {
            // Back at 1 with nothing beyond full scale in reach: the pile-up is over.
            gain = 1.0;
            m_floor = 1.0;
            m_firstOver = m_lastOver = -1;
        }
        if (gain < 1.0) {
            float* frame = samples + 2 * ptrdiff_t{i};
            frame[0] = static_cast<float>(frame[0] * gain);
            frame[1] = static_cast<float>(frame[1] * gain);
        }
        m_gain = gain;
        ++m_frame;
    }
}

} // namespace tavix
