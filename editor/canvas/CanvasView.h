#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tavix {

class KeP;

// Where the visible stretch of the chart lies on the canvas, and which row, cell and
// time a point of the canvas stands for. The grid's left edge is x = 16 and a cell is
// 32 pixels wide; the seven rows are bands whose two ends both belong to no row.
struct CanvasView
{
    static constexpr int LeftMargin = 16;
    static constexpr int CellWidth = 32;
    static constexpr int ConfirmRow = 7;

    int32_t scrollMs = 0;  // chart time at the left grid edge
    int32_t firstBeat = 0; // the cell at the left edge
    int32_t pixOff = 0;    // how far that cell has scrolled past the edge, 0..31 pixels

    // The view at a value of the time bar, which counts in steps of 100 ms.
    static CanvasView at(const KeP& kep, int32_t timeSetValue);
    // The first bar value whose view shows the chart's last cell whole at the right of the
    // canvas: the last canvas width of the chart. Within 0..`barMaximum` (the bar runs to
    // the song's end, where a view shows nothing but the empty end).
    static int32_t lastValue(const KeP& kep, int32_t barMaximum);
    // The lowest bar value from 0 to `maximum` at which `fits` holds, found from the
    // estimate `cellsBefore` (cells ahead of the last one at the left edge) and then made
    // exact by the view's own rounding; at any zoom the last cells are found this way.
    static int32_t lowestFitting(double cellsBefore, double beatRate, int32_t maximum,
                                 const std::function<bool(int32_t)>& fits);

    // The row 1..7 whose band strictly contains y; 0 outside every band.
    static int rowAt(float y);

    // The cell a click at x falls in. The quotient is cut toward zero, so points left of
    // the grid edge still count to the first visible cell.
    int64_t cellAt(float x) const;

    // The chart time at x, for a click outside the rows. Nothing when the rate is such
    // that the time does not fit.
    std::optional<int32_t> timeAt(float x, float beatRate) const;
};

} // namespace tavix
