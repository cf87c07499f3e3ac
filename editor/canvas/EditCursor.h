#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tavix {

class KeP;
struct TimeAxis;

// The edit cursor as the keyboard moves it: by the snap (a sixteenth, an eighth or a beat:
// 1, 2 or 4 cells) or by a measure, from grid line to grid line as a ruler's ticks, and
// where the time bar must go so that the cursor stays on the canvas. The cursor itself
// is a time (it can stand anywhere a click puts it); the keys act on the cell it is in.
class EditCursor
{
public:
    static constexpr std::array<int, 3> Snaps{1, 2, 4};
    static constexpr int MeasureCells = 16;

    int snap() const { return m_snap; }
    // False, and no change, for anything but 1, 2 or 4.
    bool setSnap(int cells);
    // The next snap up (coarser) or down (finer); false at either end.
    bool coarser();
    bool finer();
    // How the snap reads beside the speed label: "1/16", "1/8" or "1/4".
    static const char* snapName(int cells);

    // The cell the cursor is in, as the beat counter counts it.
    static int64_t cellOf(const KeP& kep, int32_t cursorMs);
    // The time a cursor moved onto `cell` takes: its middle, so the cursor line runs
    // through the cell's glyphs and a paste still lands on the cell after it. Nothing
    // without a tempo or beyond the times a cursor can hold.
    static std::optional<int32_t> timeOfCell(const KeP& kep, int64_t cell);

    // The grid line reached from `cell` in `direction` (+1 or -1) on a grid of `step`
    // cells: the next multiple of `step` after it or the last one before it. Not limited
    // to the chart: the caller keeps the cursor on a cell and a selection within the chart.
    static int64_t stepped(int64_t cell, int direction, int step);

    // The bar value that brings `cell` back onto the canvas once it has left it, with a
    // beat to spare on the side it came from: a page turned, as playback turns them.
    // Nothing while the cell is on the canvas (or without a tempo).
    static std::optional<int32_t> followValue(const KeP& kep, const TimeAxis& view, int64_t cell,
                                              int canvasWidth, int32_t barMaximum);

private:
    int m_snap = 1;
};

} // namespace tavix
