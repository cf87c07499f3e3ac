#include "GridDrift.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace tavix {

namespace {

// Beats looked at together: two bars of four, enough that one stray attack is outvoted.
constexpr int Window = 8;
// A run of fewer beats off the grid than this is a stumble, not a drift.
constexpr int ShortestRun = 4;
// Attacks much weaker than the song's typical beat say little about where the beat is.
constexpr double WeakShare = 0.3;

double median(std::vector<double> v)
{
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

} // namespace

std::vector<OffGridStretch> GridDrift::stretches(const std::vector<double>& attackMs,
                                                 const std::vector<double>& strengths,
                                                 double periodMs, double phaseMs, double durationMs,
                                                 double toleranceMs)
{
    std::vector<OffGridStretch> out;
    if (!(periodMs > 0.0) || attackMs.size() != strengths.size() || attackMs.empty())
        return out;
    const double reach = periodMs / 6.0;
    const double first = phaseMs - std::floor(phaseMs / periodMs) * periodMs;

    // Each grid beat's strongest attack within reach, and how far off the beat it is.
    struct Beat
    {
        double atMs;
        std::optional<double> offMs;
        double strength = 0.0;
    };
    std::vector<Beat> beats;
    for (double t = first; t <= durationMs; t += periodMs) {
        Beat b{t, std::nullopt};
        auto it = std::lower_bound(attackMs.begin(), attackMs.end(), t - reach);
        for (; it != attackMs.end() && *it <= t + reach; ++it) {
            const double s = strengths[size_t(it - attackMs.begin())];
            if (s > b.strength) {
                b.strength = s;
                b.offMs = *it - t;
            }
        }
        beats.push_back(b);
    }
    std::vector<double> heard;
    for (const Beat& b : beats)
        if (b.offMs)
            heard.push_back(b.strength);
    if (heard.size() < size_t(Window))
        return out;
    const double weak = WeakShare * median(heard);

    // A beat is off when the attacks of the beats around it are typically off.
    const auto n = int(beats.size());
    std::vector<bool> off(size_t(n), false);
    for (int k = 0; k < n; ++k) {
        std::vector<double> distances;
        for (int j = std::max(0, k - Window / 2); j < std::min(n, k + Window / 2); ++j)
            if (beats[size_t(j)].offMs && beats[size_t(j)].strength >= weak)
                distances.push_back(std::abs(*beats[size_t(j)].offMs));
        off[size_t(k)] = distances.size() >= size_t(Window / 2) && median(distances) > toleranceMs;
    }

    // Runs of off beats, widened by the half window the judgement looked across.
    const double widen = periodMs * Window / 2;
    for (int k = 0; k < n;) {
        if (!off[size_t(k)]) {
            ++k;
            continue;
        }
        int end = k;
        while (end + 1 < n && off[size_t(end + 1)])
            ++end;
        if (end - k + 1 >= ShortestRun) {
            const OffGridStretch s{std::max(0.0, beats[size_t(k)].atMs - widen),
                                   std::min(durationMs, beats[size_t(end)].atMs + widen)};
            if (!out.empty() && s.startMs <= out.back().endMs)
                out.back().endMs = s.endMs;
            else
                out.push_back(s);
        }
        k = end + 1;
    }
    return out;
}

} // namespace tavix
