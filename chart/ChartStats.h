#pragma once

#include <cstdint>
#include <vector>

namespace tavix {

class KeP;

// What a chart holds and how hard it is to play, counted in two passes over its cells.
// A key is an element of rows 1 to 6 that holds 1, as playback sounds it and `info`
// counts it; other values are left to the checks. A rest is a cell with no key: a cell
// with a confirm marker alone is a rest.
struct ChartStats
{
    // The stretch over which the densest keys per second are counted.
    static constexpr double DensestWindowMs = 4000.0;
    static constexpr int32_t CellsPerMeasure = 16;

    int64_t keys = 0;
    int64_t chords = 0;  // cells with two keys or more
    int64_t markers = 0; // cells with a confirm marker

    // The keyed length: from the first cell with a key to the last, both counted; -1 and
    // 0 when there is no key.
    int32_t firstKeyed = -1;
    int32_t lastKeyed = -1;
    int64_t keyedCells = 0;
    double keyedMs = 0.0; // keyedCells at the rate; 0 without a rate

    double keysPerSecond = 0.0; // keys over keyedMs
    // The most keys in any DensestWindowMs (a window reaching past the chart's end has
    // no keys there), per second; densestFirst is the first cell of the first such window.
    double densestKeysPerSecond = 0.0;
    int32_t densestFirst = -1;

    // Keys of each measure of 16 cells; the last measure may be partial.
    std::vector<int32_t> keysPerMeasure;

    // The longest run of consecutive keyed cells, and its first cell (-1 when none).
    int32_t longestRun = 0;
    int32_t longestRunFirst = -1;

    // `beatRate` in cells per millisecond (KeP::rateFromBpm); the times and rates stay 0
    // when it is not above 0.
    static ChartStats of(const KeP& kep, float beatRate);
};

} // namespace tavix
