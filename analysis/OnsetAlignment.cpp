#include "OnsetAlignment.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

constexpr double BinMs = 0.25;

} // namespace

OnsetAlignment::OnsetAlignment(const std::vector<double>& timesMs,
                               const std::vector<double>& weights, double periodMs, double smoothMs)
    : m_period(periodMs)
{
    const auto bins = std::max<size_t>(1, size_t(std::ceil(periodMs / BinMs)));
    m_binMs = periodMs / double(bins);
    m_profile.assign(bins, 0.0);
    for (size_t i = 0; i < timesMs.size() && i < weights.size(); ++i)
        add(timesMs[i], weights[i]);
    smooth(smoothMs);
}

OnsetAlignment::OnsetAlignment(const std::vector<float>& curve, double hopMs, double periodMs)
    : m_period(periodMs)
{
    const auto bins = std::max<size_t>(1, size_t(std::ceil(periodMs / BinMs)));
    m_binMs = periodMs / double(bins);
    m_profile.assign(bins, 0.0);
    for (size_t j = 0; j < curve.size(); ++j)
        if (curve[j] > 0.0f)
            add(double(j) * hopMs, curve[j]);
    smooth(hopMs);
}

void OnsetAlignment::add(double timeMs, double weight)
{
    m_profile[std::min(m_profile.size() - 1, size_t(wrap(timeMs) / m_binMs))] += weight;
}

// A triangle of the given half-width, around the circle.
void OnsetAlignment::smooth(double smoothMs)
{
    const auto bins = int64_t(m_profile.size());
    const int half = std::max(1, int(std::lround(smoothMs / m_binMs)));
    std::vector<double> smoothed(m_profile.size(), 0.0);
    for (int64_t b = 0; b < bins; ++b) {
        if (m_profile[size_t(b)] == 0.0)
            continue;
        for (int k = -half; k <= half; ++k) {
            const double w = 1.0 - std::abs(k) / double(half + 1);
            smoothed[size_t(((b + k) % bins + bins) % bins)] += w * m_profile[size_t(b)];
        }
    }
    m_profile = std::move(smoothed);
}

double OnsetAlignment::wrap(double ms) const
{
    const double r = std::fmod(ms, m_period);
    return r < 0.0 ? r + m_period : r;
}

double OnsetAlignment::strengthAt(double phaseMs) const
{
    const auto bins = int64_t(m_profile.size());
    return m_profile[size_t(int64_t(wrap(phaseMs) / m_binMs) % bins)];
}

double OnsetAlignment::peakNear(double aroundMs, double reachMs) const
{
    const auto bins = int64_t(m_profile.size());
    const auto at = [&](int64_t b) { return m_profile[size_t(((b % bins) + bins) % bins)]; };
    const auto centre = int64_t(std::floor(wrap(aroundMs) / m_binMs));
    const auto reach = std::min<int64_t>(bins / 2, int64_t(reachMs / m_binMs));
    int64_t best = centre;
    for (int64_t b = centre - reach; b <= centre + reach; ++b)
        if (at(b) > at(best))
            best = b;
    double offset = 0.0;
    const double a = at(best - 1);
    const double c = at(best + 1);
    const double denom = a - 2.0 * at(best) + c;
    if (denom < 0.0)
        offset = 0.5 * (a - c) / denom;
    // A bin's value belongs to its middle.
    return wrap((double(best) + 0.5 + offset) * m_binMs);
}

} // namespace tavix
