#include "BeatGridFit.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace tavix {

namespace {

// The length of the weighted mean phase vector of the events at a trial period.
double agreement(const std::vector<double>& times, const std::vector<double>& weights,
                 double period)
{
    std::complex<double> sum;
    double total = 0.0;
    for (size_t i = 0; i < times.size(); ++i) {
        sum +=
            std::polar(weights[i], 2.0 * std::numbers::pi * std::fmod(times[i], period) / period);
        total += weights[i];
    }
    return total > 0.0 ? std::abs(sum) / total : 0.0;
}

double rms(const std::vector<double>& index, const std::vector<double>& time, double phase,
           double period)
{
    double sum = 0.0;
    for (size_t i = 0; i < index.size(); ++i) {
        const double r = time[i] - (phase + index[i] * period);
        sum += r * r;
    }
    return std::sqrt(sum / double(index.size()));
}

} // namespace

double BeatGridFit::agreeingPeriod(const std::vector<double>& timesMs,
                                   const std::vector<double>& weights, double guessMs, double reach)
{
    if (timesMs.size() < 2 || weights.size() != timesMs.size() || !(guessMs > 0.0))
        return guessMs;
    const auto [first, last] = std::minmax_element(timesMs.begin(), timesMs.end());
    // Steps that let the grid drift an eighth of a period over the whole span.
    const double spanBeats = std::max(1.0, (*last - *first) / guessMs);
    const double step = guessMs / (8.0 * spanBeats);
    const int steps = int(std::ceil(reach * guessMs / step));
    const auto trial = [&](size_t k) { return guessMs + (double(k) - steps) * step; };
    std::vector<double> strengths(size_t(2 * steps + 1));
    size_t best = 0;
    for (size_t k = 0; k < strengths.size(); ++k) {
        strengths[k] = agreement(timesMs, weights, trial(k));
        if (strengths[k] > strengths[best])
            best = k;
    }
    double period = trial(best);
    if (best > 0 && best + 1 < strengths.size()) {
        const double a = strengths[best - 1];
        const double b = strengths[best];
        const double c = strengths[best + 1];
        const double denom = a - 2.0 * b + c;
        if (denom < 0.0)
            period += step * 0.5 * (a - c) / denom;
    }
    return period;
}

std::optional<BeatGridFit> BeatGridFit::fit(const std::vector<double>& beatsMs, double periodMs,
                                            double phaseMs, double tolerance)
{
    if (beatsMs.size() < 3 || !(periodMs > 0.0))
        return std::nullopt;
    std::vector<double> beats = beatsMs;
    std::sort(beats.begin(), beats.end());

    double period = periodMs;
    double phase = phaseMs;
    BeatGridFit result;
    std::vector<double> index;
    std::vector<double> time;
    double reach = tolerance * period;
    for (int round = 0; round < 8; ++round) { // a fixed few: each costs one pass
        // One beat per grid index: the nearest.
        index.clear();
        time.clear();
        for (double t : beats) {
            const double n = std::round((t - phase) / period);
            const double residual = t - (phase + n * period);
            if (std::abs(residual) > reach)
                continue;
            if (!index.empty() && index.back() == n) {
                if (std::abs(residual) < std::abs(time.back() - (phase + n * period)))
                    time.back() = t;
                continue;
            }
            index.push_back(n);
            time.push_back(t);
        }
        if (index.size() < 3)
            return std::nullopt;
        // Least squares of time = phase + n * period, centred for accuracy.
        const auto m = double(index.size());
        double meanN = 0.0;
        double meanT = 0.0;
        for (size_t i = 0; i < index.size(); ++i) {
            meanN += index[i] / m;
            meanT += time[i] / m;
        }
        double snn = 0.0;
        double snt = 0.0;
        for (size_t i = 0; i < index.size(); ++i) {
            snn += (index[i] - meanN) * (index[i] - meanN);
            snt += (index[i] - meanN) * (time[i] - meanT);
        }
        if (!(snn > 0.0))
            return std::nullopt;
        period = snt / snn;
        phase = meanT - period * meanN;
        if (!(period > 0.0))
            return std::nullopt;
        result.inliers = int(index.size());
        result.rmsMs = rms(index, time, phase, period);
        if (round >= 1)
            reach = std::clamp(4.0 * result.rmsMs, 0.03 * period, tolerance * period);
    }
    result.periodMs = period;
    result.phaseMs = phase;
    return result;
}

std::optional<BeatGridFit> BeatGridFit::fitChain(const std::vector<double>& beatsMs, double guessMs)
{
    if (beatsMs.size() < 3 || !(guessMs > 0.0))
        return std::nullopt;
    // The chain numbered by its gaps.
    std::vector<double> index(beatsMs.size(), 0.0);
    for (size_t i = 1; i < beatsMs.size(); ++i)
        index[i] =
            index[i - 1] + std::max(1.0, std::round((beatsMs[i] - beatsMs[i - 1]) / guessMs));
    // The period over spans of a few bars, their median: a stretch where the chain lost the
    // beat for a while, or numbered a gap wrong, outvoted by the rest.
    const size_t span = std::min<size_t>(16, beatsMs.size() - 1);
    std::vector<double> periods;
    periods.reserve(beatsMs.size());
    for (size_t i = 0; i + span < beatsMs.size(); ++i)
        periods.push_back((beatsMs[i + span] - beatsMs[i]) / (index[i + span] - index[i]));
    const auto mid = periods.begin() + std::ptrdiff_t(periods.size() / 2);
    std::nth_element(periods.begin(), mid, periods.end());
    const double period = *mid;
    // The phase where most beats agree at that period.
    std::vector<double> phases;
    phases.reserve(beatsMs.size());
    for (double t : beatsMs)
        phases.push_back(std::remainder(t - beatsMs.front(), period));
    const auto pmid = phases.begin() + std::ptrdiff_t(phases.size() / 2);
    std::nth_element(phases.begin(), pmid, phases.end());
    return fit(beatsMs, period, beatsMs.front() + *pmid);
}

} // namespace tavix
