#include "ChartStats.h"

#include "CellKeys.h"
#include "KeP.h"

#include <cmath>

namespace tavix {

ChartStats ChartStats::of(const KeP& kep, float beatRate)
{
    ChartStats s;
    const CellKeys keys = CellKeys::of(kep);
    const auto cells = int32_t(keys.counts.size());
    s.keysPerMeasure.assign(size_t((int64_t(cells) + CellsPerMeasure - 1) / CellsPerMeasure), 0);
    int32_t run = 0;
    for (int32_t c = 0; c < cells; ++c) {
        const int n = keys.counts[size_t(c)];
        s.markers += kep.isSet(c, 7);
        s.keysPerMeasure[size_t(c / CellsPerMeasure)] += n;
        if (n == 0) {
            run = 0;
            continue;
        }
        s.keys += n;
        s.chords += n >= 2;
        if (s.firstKeyed < 0)
            s.firstKeyed = c;
        s.lastKeyed = c;
        if (++run > s.longestRun) {
            s.longestRun = run;
            s.longestRunFirst = c - run + 1;
        }
    }
    if (s.keys == 0)
        return s;
    s.keyedCells = int64_t(s.lastKeyed) - s.firstKeyed + 1;

    const double rate = beatRate;
    if (!(rate > 0.0) || !std::isfinite(rate))
        return s;
    s.keyedMs = double(s.keyedCells) / rate;
    s.keysPerSecond = double(s.keys) / (s.keyedMs / 1000.0);
    const int32_t window = CellKeys::windowCells(DensestWindowMs, beatRate);
    int32_t most = -1;
    keys.forEachWindow(window, [&](int32_t first, int32_t n) {
        if (n > most) {
            most = n;
            s.densestFirst = first;
        }
    });
    // Per second of the window's own cells, which rounding made a little longer or shorter.
    s.densestKeysPerSecond = double(most) / (double(window) / rate / 1000.0);
    return s;
}

} // namespace tavix
