#include "IntervalScoring.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tavix {

namespace {

constexpr int CombTeeth = 4;

// The autocorrelation of the curve's deviation from its mean, for lags 0..maxLag.
std::vector<double> autocorrelation(const std::vector<float>& x, size_t maxLag)
{
    const double mean = std::accumulate(x.begin(), x.end(), 0.0) / double(x.size());
    std::vector<float> d(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        d[i] = x[i] - float(mean);
    std::vector<double> acf(maxLag + 1, 0.0);
    for (size_t lag = 0; lag <= maxLag && lag < d.size(); ++lag) {
        double sum = 0.0;
        for (size_t i = lag; i < d.size(); ++i)
            sum += double(d[i]) * d[i - lag];
        // Unbiased: long lags overlap less of the song.
        acf[lag] = sum / double(d.size() - lag);
    }
    return acf;
}

} // namespace

IntervalScoring::IntervalScoring(const std::vector<float>& strength, double hopMs, double longestMs)
    : m_hopMs(hopMs)
{
    if (!(hopMs > 0.0) || !(longestMs > 0.0))
        return;
    const double longest = longestMs / hopMs;
    if (strength.size() < size_t(2.0 * longest) + 2)
        return;
    m_acf = autocorrelation(strength, size_t(std::ceil(longest * CombTeeth)) + 2);
    if (!(m_acf[0] > 0.0))
        m_acf.clear();
}

double IntervalScoring::comb(double lag) const
{
    const auto at = [&](double l) {
        const auto i = size_t(l);
        if (i + 1 >= m_acf.size())
            return 0.0;
        const double f = l - double(i);
        return m_acf[i] * (1.0 - f) + m_acf[i + 1] * f;
    };
    double sum = 0.0;
    for (int k = 1; k <= CombTeeth; ++k)
        sum += at(lag * k) / k;
    return sum / m_acf[0];
}

double IntervalScoring::score(double periodMs) const
{
    if (m_acf.empty() || !(periodMs > 0.0))
        return 0.0;
    // The comb's teeth weigh 1, 1/2, 1/3, 1/4: a perfectly periodic curve scores their sum.
    return std::clamp(comb(periodMs / m_hopMs) / (1.0 + 1.0 / 2 + 1.0 / 3 + 1.0 / 4), 0.0, 1.0);
}

IntervalScoring::Candidate IntervalScoring::best(double minBpm, double maxBpm) const
{
    if (m_acf.empty() || minBpm <= 0.0 || maxBpm < minBpm)
        return {};
    const double shortest = 60000.0 / (2.0 * maxBpm) / m_hopMs; // in hops
    const double longest = 60000.0 / (0.5 * minBpm) / m_hopMs;
    if (shortest < 2.0 || longest * CombTeeth + 1 >= double(m_acf.size()))
        return {};

    // Prefer the middle of the range, an octave either side still counting well.
    const double centre = std::sqrt(minBpm * maxBpm);
    const auto weighted = [&](double lag) {
        const double octaves = std::log2(60000.0 / (lag * m_hopMs) / centre);
        return comb(lag) * std::exp(-0.5 * octaves * octaves);
    };

    // A quarter-hop grid is fine enough for the parabola to finish the peak.
    double bestLag = 0.0;
    double bestScore = -1e300;
    const double step = 0.25;
    for (double lag = shortest; lag <= longest; lag += step) {
        const double s = weighted(lag);
        if (s > bestScore) {
            bestScore = s;
            bestLag = lag;
        }
    }
    if (bestScore <= 0.0)
        return {};
    const double a = weighted(bestLag - step);
    const double c = weighted(bestLag + step);
    const double denom = a - 2.0 * bestScore + c;
    if (denom < 0.0)
        bestLag += step * 0.5 * (a - c) / denom;
    return {bestLag * m_hopMs, std::clamp(comb(bestLag), 0.0, 1.0)};
}

IntervalScoring::Candidate IntervalScoring::best(const std::vector<float>& strength, double hopMs,
                                                 double minBpm, double maxBpm)
{
    if (!(minBpm > 0.0))
        return {};
    return IntervalScoring(strength, hopMs, 60000.0 / (0.5 * minBpm)).best(minBpm, maxBpm);
}

} // namespace tavix
