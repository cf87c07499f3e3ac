#pragma once

#include <cstdint>
#include <optional>

namespace tavix {

// How music time maps to chart cells during playback: the chart position is the music
// position plus the lead, and the sounding cell is the nearest cell boundary of it.
struct CellTiming
{
    float beatRate = 0.0f; // cells per millisecond
    double leadMs = 0.0;   // chart time minus music time

    static CellTiming of(float beatRate, double offsetVal)
    {
        return {beatRate, double(beatRate) * offsetVal};
    }

    // The music instant at which cell `cell` begins: its chart instant, cell / rate, less
    // the lead. Negative for cells in the lead, before the music starts.
    double cellMusicMs(int64_t cell) const { return double(cell) / double(beatRate) - leadMs; }
    // The chart position shown while the stream reports `musicMs`.
    int32_t chartMs(int64_t musicMs) const;
    // The cell whose sounds belong to that moment.
    int32_t soundingCell(int64_t musicMs) const;
    // The smallest whole music millisecond at which the sounding cell is `cell` or later:
    // the instant a loop polling the stream infinitely fast would start the cell's sounds.
    // Nothing when no time reaches the cell (no tempo). Times from the distant past are
    // cut off at lowestMs.
    std::optional<int64_t> firstMusicMs(int32_t cell) const;

    static constexpr int64_t lowestMs = -(int64_t(1) << 40);
    static constexpr int64_t highestMs = int64_t(1) << 40;

    bool operator==(const CellTiming&) const = default;
};

} // namespace tavix
