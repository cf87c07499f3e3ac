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

double at(const std::vector<double>& acf, double lag)
{
    const auto i = size_t(lag);
    if (i + 1 >= acf.size())
        return 0.0;
    const double f = lag - double(i);
    return acf[i] * (1.0 - f) + acf[i + 1] * f;
}

} // namespace

IntervalScoring::Candidate IntervalScoring::best(const std::vector<float>& strength, double hopMs,
                                                 double minBpm, double maxBpm)
{
    if (hopMs <= 0.0 || minBpm <= 0.0 || maxBpm < minBpm)
        return {};
    const double shortest = 60000.0 / (2.0 * maxBpm) / hopMs; // in hops
    const double longest = 60000.0 / (0.5 * minBpm) / hopMs;
    const auto maxLag = size_t(std::ceil(longest * CombTeeth)) + 2;
    if (strength.size() < size_t(2.0 * longest) + 2 || shortest < 2.0)
        return {};
    const std::vector<double> acf = autocorrelation(strength, maxLag);
    if (!(acf[0] > 0.0))
        return {};

    // Prefer the middle of the range, an octave either side still counting well.
    const double centre = std::sqrt(minBpm * maxBpm);
    const auto prior = [&](double lag) {
        const double octaves = std::log2(60000.0 / (lag * hopMs) / centre);
        return std::exp(-0.5 * octaves * octaves);
    };
    const auto comb = [&](double lag) {
        double sum = 0.0;
        for (int k = 1; k <= CombTeeth; ++k)
            sum += at(acf, lag * k) / k;
        return sum / acf[0];
    };

    // A quarter-hop grid is fine enough for the parabola to finish the peak.
    double bestLag = 0.0;
    double bestScore = -1e300;
    const double step = 0.25;
    for (double lag = shortest; lag <= longest; lag += step) {
        const double s = comb(lag) * prior(lag);
        if (s > bestScore) {
            bestScore = s;
            bestLag = lag;
        }
    }
    if (bestScore <= 0.0)
        return {};
    const double a = comb(bestLag - step) * prior(bestLag - step);
    const double c = comb(bestLag + step) * prior(bestLag + step);
    const double denom = a - 2.0 * bestScore + c;
    if (denom < 0.0)
        bestLag += step * 0.5 * (a - c) / denom;
    return {bestLag * hopMs, std::clamp(comb(bestLag), 0.0, 1.0)};
}

} // namespace tavix
