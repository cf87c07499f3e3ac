#include "CanvasZoom.h"
#include "CanvasView.h"
#include "KeP.h"

#include "Rounding.h"
#include "TimeAxis.h"

#include <algorithm>
#include <cmath>

namespace tavix {

bool CanvasZoom::setCellWidth(int width)
{
    if (!TimeAxis::isCellWidth(width))
        return false;
    m_cellWidth = width;
    return true;
}

bool CanvasZoom::zoomIn()
{
    const int width = TimeAxis::zoomedIn(m_cellWidth);
    const bool changed = width != m_cellWidth;
    m_cellWidth = width;
    return changed;
}

bool CanvasZoom::zoomOut()
{
    const int width = TimeAxis::zoomedOut(m_cellWidth);
    const bool changed = width != m_cellWidth;
    m_cellWidth = width;
    return changed;
}

bool CanvasZoom::wheel(int angle)
{
    m_wheelAngle += angle;
    bool changed = false;
    while (m_wheelAngle >= 120) {
        m_wheelAngle -= 120;
        changed |= zoomIn();
    }
    while (m_wheelAngle <= -120) {
        m_wheelAngle += 120;
        changed |= zoomOut();
    }
    return changed;
}

int32_t CanvasZoom::valueKeeping(double anchorMs, double anchorX, int cellWidth, float beatRate,
                                 int32_t barMaximum)
{
    const int32_t maximum = std::max(barMaximum, 0);
    const double rate = double(beatRate);
    if (!(rate > 0.0) || !std::isfinite(rate) || cellWidth <= 0)
        return 0;
    const double scrollMs = anchorMs - (anchorX - TimeAxis::LeftMargin) / (cellWidth * rate);
    return std::clamp(nearestInt32(scrollMs / 100.0), 0, maximum);
}

int32_t CanvasZoom::lastValue(const KeP& kep, int cellWidth, int32_t barMaximum)
{
    if (!TimeAxis::isCellWidth(cellWidth) || cellWidth == TimeAxis::ClassicCellWidth)
        return CanvasView::lastValue(kep, barMaximum);
    const int32_t maximum = std::max(barMaximum, 0);
    const double rate = double(kep.BeatRate);
    const int64_t last = int64_t(kep.TotalBeats) - 1;
    if (!(rate > 0.0) || !std::isfinite(rate))
        return maximum;
    if (last < 0)
        return 0;
    const auto fits = [&](int32_t value) {
        const TimeAxis axis = TimeAxis::at(kep, value * 100, cellWidth);
        return axis.glyphLeft(last) + float(axis.glyphWidth()) <= 974.0f;
    };
    return CanvasView::lowestFitting(double(last) - 974.0 / cellWidth, rate, maximum, fits);
}

} // namespace tavix
