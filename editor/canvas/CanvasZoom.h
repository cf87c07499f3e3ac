#pragma once

#include <cstdint>

namespace tavix {

class KeP;

// The zoom of the canvas's time axis: 8, 16, 32 or 64 pixels a cell, stepped by keys or
// by turning the wheel with Ctrl, and where the view goes so that the point the zoom
// centres on stays where it was on the screen.
class CanvasZoom
{
public:
    int cellWidth() const { return m_cellWidth; }
    // False, and no change, for a width the canvas does not draw.
    bool setCellWidth(int width);
    // One step to wider cells (in) or narrower ones (out); false at either end.
    bool zoomIn();
    bool zoomOut();
    // A turn of the wheel (eighths of a degree, 120 a notch, positive away from the
    // user, which zooms in); parts of a notch add up. True when the width changed.
    bool wheel(int angle);

    // The time bar value (steps of 100 ms, within 0 .. barMaximum) at which the chart time
    // `anchorMs` stands at `anchorX` on a canvas of `cellWidth` pixels a cell.
    static int32_t valueKeeping(double anchorMs, double anchorX, int cellWidth, float beatRate,
                                int32_t barMaximum);

    // The first bar value whose view at `cellWidth` shows the chart's last cell whole at
    // the right of the canvas (at 32 pixels the classic canvas's last canvas width).
    static int32_t lastValue(const KeP& kep, int cellWidth, int32_t barMaximum);

private:
    int m_cellWidth = 32;
    int m_wheelAngle = 0;
};

} // namespace tavix
