#include "GridDrift.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavix {

namespace {

// Beats looked at together: two bars of four, enough that a stray beat is outvoted.
constexpr int Window = 8;
// A run of fewer beats off the grid than this is a stumble, not a drift.
constexpr int ShortestRun = 4;
// How closely the beats must gather round one offset from the quarters (the length of
// their mean on the circle of a quarter beat, 1 when all alike) for it to be the grid's.
constexpr double Agreeing = 0.7;

double median(std::vector<double> v)
{
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

// Beats standing off the grid's quarters by the same amount all song long say the grid's
// phase is a little off (a fit over beats on several sixteenths), not that the tempo
// moves: the offset they agree on, when they agree, is taken off before judging.
double steadyOffset(const std::vector<double>& beatsMs, double periodMs, double phaseMs)
{
    const double quarter = periodMs / 4.0;
    double c = 0.0;
    double s = 0.0;
    for (double b : beatsMs) {
        const double angle =
            2.0 * std::numbers::pi * std::remainder(b - phaseMs, quarter) / quarter;
        c += std::cos(angle);
        s += std::sin(angle);
    }
    const double agreement = std::hypot(c, s) / double(std::max<size_t>(1, beatsMs.size()));
    return agreement >= Agreeing ? std::atan2(s, c) / (2.0 * std::numbers::pi) * quarter : 0.0;
}

} // namespace

std::vector<OffGridStretch> GridDrift::stretches(const std::vector<double>& beatsMs,
                                                 double periodMs, double phaseMs, double durationMs,
                                                 double toleranceMs)
{
    std::vector<OffGridStretch> out;
    const auto n = int(beatsMs.size());
    if (!(periodMs > 0.0) || n < Window)
        return out;

    // Each beat's distance from the grid's nearest quarter or third of a beat, early
    // negative: a tracker may follow the off-beats, the sixteenths or a shuffle's triplets
    // for a while where they are the louder, which is no drift. A beat that has wandered
    // farther reads as near the next of them, which still reads as off over a few beats
    // running.
    const double phase = phaseMs + steadyOffset(beatsMs, periodMs, phaseMs);
    std::vector<double> drift(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        const double at = beatsMs[size_t(k)] - phase;
        const double quarter = std::remainder(at, periodMs / 4.0);
        const double third = std::remainder(at, periodMs / 3.0);
        drift[size_t(k)] = std::abs(third) < std::abs(quarter) ? third : quarter;
    }

    std::vector<bool> off(size_t(n), false);
    for (int k = 0; k < n; ++k) {
        const int from = std::max(0, k - Window / 2);
        const int to = std::min(n, k + Window / 2);
        const std::vector<double> around(drift.begin() + from, drift.begin() + to);
        off[size_t(k)] = std::abs(median(around)) > toleranceMs;
    }

    // Runs of off beats, widened by the half window the judgement looked across.
    const double widen = periodMs * Window / 2;
    for (int k = 0; k < n;) {
        if (!off[size_t(k)]) {
            ++k;
            continue;
        }
        int end = k;
        while (end + 1 < n && off[static_cast<size_t>(end) + 1])
            ++end;
        if (end - k + 1 >= ShortestRun) {
            const OffGridStretch s{std::max(0.0, beatsMs[size_t(k)] - widen),
                                   std::min(durationMs, beatsMs[size_t(end)] + widen)};
            if (!out.empty() && s.startMs <= out.back().endMs)
                out.back().endMs = std::max(out.back().endMs, s.endMs);
            else
                out.push_back(s);
        }
        k = end + 1;
    }
    return out;
}

} // namespace tavix
