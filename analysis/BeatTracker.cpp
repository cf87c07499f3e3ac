#include "BeatTracker.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tavix {

namespace {

// How hard a gap away from the period is paid for, against onsets normalised to a unit
// spread: the value Ellis found to follow tempo wobble without jumping to stray onsets.
constexpr double Tightness = 100.0;
// A beat on an onset this much weaker than the song's typical beat is a guess.
constexpr double FaintShare = 0.3;

// The curve smoothed over a thirty-second of a beat and scaled to unit spread, so that
// the gap cost means the same on any song.
std::vector<double> localScore(const std::vector<float>& strength, double periodHops)
{
    const double sigma = std::max(1.0, periodHops / 32.0);
    const int reach = int(std::ceil(2.0 * sigma));
    std::vector<double> kernel(size_t(2 * reach + 1));
    for (int k = -reach; k <= reach; ++k)
        kernel[static_cast<size_t>(k) + static_cast<size_t>(reach)] =
            std::exp(-0.5 * (k / sigma) * (k / sigma));
    const auto n = int64_t(strength.size());
    std::vector<double> out(strength.size(), 0.0);
    for (int64_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (int k = -reach; k <= reach; ++k)
            if (i + k >= 0 && i + k < n)
                sum += kernel[static_cast<size_t>(k) + static_cast<size_t>(reach)] *
                       strength[size_t(i + k)];
        out[size_t(i)] = sum;
    }
    const double mean = std::accumulate(out.begin(), out.end(), 0.0) / double(out.size());
    double var = 0.0;
    for (double v : out)
        var += (v - mean) * (v - mean);
    const double sd = std::sqrt(var / double(out.size()));
    if (!(sd > 0.0))
        return {};
    for (double& v : out)
        v /= sd;
    return out;
}

} // namespace

std::vector<double> BeatTracker::track(const std::vector<float>& strength, double hopMs,
                                       double periodMs)
{
    if (!(hopMs > 0.0) || !(periodMs > 0.0))
        return {};
    const double period = periodMs / hopMs;
    const auto n = int64_t(strength.size());
    if (period < 2.0 || double(n) < 2.0 * period)
        return {};
    const std::vector<double> local = localScore(strength, period);
    if (local.empty())
        return {};

    // The best chain ending on each hop, and the hop of the beat before it.
    const auto shortest = int64_t(std::floor(period / 2.0));
    const auto longest = int64_t(std::ceil(2.0 * period));
    std::vector<double> cost(size_t(longest + 1), 0.0);
    for (int64_t gap = shortest; gap <= longest; ++gap) {
        const double l = std::log(double(gap) / period);
        cost[size_t(gap)] = -Tightness * l * l;
    }
    std::vector<double> total(local.size());
    std::vector<int64_t> previous(local.size(), -1);
    for (int64_t i = 0; i < n; ++i) {
        double best = 0.0;
        int64_t from = -1;
        for (int64_t gap = shortest; gap <= longest && i - gap >= 0; ++gap) {
            const double s = total[size_t(i - gap)] + cost[size_t(gap)];
            if (from < 0 || s > best) {
                best = s;
                from = i - gap;
            }
        }
        // A chain may start anywhere: where nothing before it helps, it starts afresh.
        if (from >= 0 && best > 0.0) {
            total[size_t(i)] = local[size_t(i)] + best;
            previous[size_t(i)] = from;
        } else {
            total[size_t(i)] = local[size_t(i)];
        }
    }

    // The chain ends on the best hop of the last beat's worth; read back from there.
    int64_t end = n - 1;
    for (int64_t i = std::max<int64_t>(0, n - int64_t(std::ceil(period))); i < n; ++i)
        if (total[size_t(i)] > total[size_t(end)])
            end = i;
    std::vector<int64_t> hops;
    for (int64_t i = end; i >= 0; i = previous[size_t(i)])
        hops.push_back(i);
    std::reverse(hops.begin(), hops.end());

    // The chain bridges quiet stretches with beats that nothing heard marks: those are left
    // out, as they would only blur the grid.
    std::vector<double> heard;
    heard.reserve(hops.size());
    for (int64_t h : hops)
        heard.push_back(local[size_t(h)]);
    const auto mid = heard.begin() + std::ptrdiff_t(heard.size() / 2);
    std::nth_element(heard.begin(), mid, heard.end());
    const double faint = FaintShare * *mid;

    // Each beat at its onset's peak, between hops: a parabola through the three around it.
    std::vector<double> beats;
    beats.reserve(hops.size());
    for (int64_t h : hops) {
        if (local[size_t(h)] < faint)
            continue;
        double at = double(h);
        if (h > 0 && h + 1 < n) {
            const double a = local[size_t(h - 1)];
            const double b = local[size_t(h)];
            const double c = local[size_t(h + 1)];
            const double denom = a - 2.0 * b + c;
            if (denom < 0.0 && b >= a && b >= c)
                at += 0.5 * (a - c) / denom;
        }
        beats.push_back(at * hopMs);
    }
    return beats;
}

} // namespace tavix
