#include "LatencyCalibration.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    const size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid),
                     values.end());
    const double upper = values[mid];
    if (values.size() % 2 == 1)
        return upper;
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2.0;
}

// Presses further from the others than this are taken as slips, however steady the rest.
constexpr double MinimumToleranceMs = 30.0;

} // namespace

LatencyCalibration::LatencyCalibration(double bpm, int beats)
    : m_beats(std::max(beats, 1)), m_beatMs(60000.0 / (bpm > 0.0 ? bpm : DefaultBpm))
{
}

void LatencyCalibration::collect(PressSource& source, const HeardMs& heard)
{
    for (const Clock::time_point when : source.takePresses())
        addPress(heard(when));
}

void LatencyCalibration::addPress(double heardMs)
{
    const auto nearest = std::lround((heardMs - LeadInMs) / m_beatMs);
    const int beat = static_cast<int>(std::clamp<long>(nearest, 0, m_beats - 1));
    Press press{beat, heardMs - clickMs(beat), false};
    // Too far from any click to be meant for one, or a second press on the same click.
    press.extra = std::abs(press.errorMs) > m_beatMs / 2 ||
                  std::any_of(m_presses.begin(), m_presses.end(),
                              [&](const Press& p) { return p.beat == beat && !p.dropped; });
    press.dropped = press.extra;
    m_presses.push_back(press);
}

LatencyCalibration::Result LatencyCalibration::result() const
{
    Result r;
    r.presses = m_presses;
    std::vector<double> errors;
    errors.reserve(r.presses.size());
    for (const Press& p : r.presses)
        if (!p.dropped)
            errors.push_back(p.errorMs);
    // Outliers: further from the median than three robust standard deviations (from the
    // median absolute deviation), or than the minimum tolerance if the rest agree closely.
    const double centre = median(errors);
    std::vector<double> deviations;
    deviations.reserve(errors.size());
    for (double e : errors)
        deviations.push_back(std::abs(e - centre));
    const double tolerance = std::max(3.0 * 1.4826 * median(deviations), MinimumToleranceMs);
    std::vector<double> kept;
    kept.reserve(errors.size());
    for (Press& p : r.presses) {
        if (!p.dropped && std::abs(p.errorMs - centre) > tolerance)
            p.dropped = true;
        if (!p.dropped)
            kept.push_back(p.errorMs);
    }
    r.kept = static_cast<int>(kept.size());
    if (kept.empty())
        return r;
    r.medianMs = median(kept);
    double sum = 0;
    double squares = 0;
    for (double e : kept) {
        sum += e;
        squares += e * e;
    }
    const double mean = sum / r.kept;
    r.spreadMs = std::sqrt(std::max(0.0, squares / r.kept - mean * mean));
    r.valid = r.kept >= MinimumPresses && r.spreadMs <= MaxSpreadMs;
    return r;
}

double LatencyCalibration::nextLatencyMs(double currentMs, const Result& result)
{
    if (!result.valid)
        return currentMs;
    return std::clamp(currentMs + result.medianMs, 0.0, MaxLatencyMs);
}

} // namespace tavix
