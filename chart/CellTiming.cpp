#include "CellTiming.h"

#include "Rounding.h"

#include <algorithm>
#include <cmath>

namespace tavix {

int32_t CellTiming::chartMs(int64_t musicMs) const
{
    return nearestInt32(leadMs + double(musicMs));
}

int32_t CellTiming::soundingCell(int64_t musicMs) const
{
    return nearestInt32(double(chartMs(musicMs)) * double(beatRate));
}

std::optional<int64_t> CellTiming::firstMusicMs(int32_t cell) const
{
    const double rate = beatRate;
    if (!(rate > 0.0) || !std::isfinite(rate) || !std::isfinite(leadMs)) {
        // Without a rate every moment sits in the same cell.
        if (soundingCell(0) >= cell)
            return lowestMs;
        return std::nullopt;
    }
    // The sounding cell never decreases as the music advances, so the first moment is
    // found by bisection around the estimate.
    const double estimate = (double(cell) - 0.5) / rate - leadMs;
    const double clamped = std::clamp(estimate, double(lowestMs), double(highestMs));
    int64_t lo = int64_t(std::floor(clamped)) - 2;
    int64_t hi = int64_t(std::ceil(clamped)) + 2;
    lo = std::max(lo, lowestMs);
    hi = std::min(hi, highestMs);
    for (int64_t step = 4; soundingCell(lo) >= cell; step *= 2) {
        if (lo == lowestMs)
            return lowestMs;
        lo = std::max(lo - step, lowestMs);
    }
    for (int64_t step = 4; soundingCell(hi) < cell; step *= 2) {
        if (hi == highestMs)
            return std::nullopt;
        hi = std::min(hi + step, highestMs);
    }
    while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (soundingCell(mid) >= cell)
            hi = mid;
        else
            lo = mid;
    }
    return hi;
}

} // namespace tavix
