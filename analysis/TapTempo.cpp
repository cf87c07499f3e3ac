#include "TapTempo.h"

#include <algorithm>
#include <vector>

namespace tavix {

void TapTempo::tap(double ms)
{
    // A tap before the last one (a clock that jumped) starts over like a long pause.
    if (expired(ms) || ms < m_taps.back())
        m_taps.clear();
    m_taps.push_back(ms);
    while (int(m_taps.size()) > KeptTaps)
        m_taps.pop_front();
}

std::optional<double> TapTempo::bpm() const
{
    if (m_taps.size() < 2)
        return std::nullopt;
    std::vector<double> gaps;
    for (size_t i = 1; i < m_taps.size(); ++i)
        gaps.push_back(m_taps[i] - m_taps[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    const size_t n = gaps.size();
    const double median = n % 2 ? gaps[n / 2] : (gaps[n / 2 - 1] + gaps[n / 2]) / 2.0;
    if (median <= 0.0)
        return std::nullopt; // taps at one moment give no tempo
    return 60000.0 / median;
}

} // namespace tavix
