#include "CursorKeys.h"

#include "KeP.h"
#include "TimeAxis.h"

#include <algorithm>

namespace tavix {

int64_t CursorKeys::cursorCell() const
{
    return EditCursor::cellOf(m_host.chart(), m_host.cursorMs());
}

void CursorKeys::placeCursor(int64_t cell)
{
    const KeP& kep = m_host.chart();
    const std::optional<int32_t> ms = EditCursor::timeOfCell(kep, cell);
    if (!ms)
        return;
    m_host.moveCursor(*ms);
    const TimeAxis view = TimeAxis::at(kep, m_host.viewValue() * 100, m_zoom.cellWidth());
    if (const auto value =
            EditCursor::followValue(kep, view, cell, m_canvasWidth, m_host.lastViewValue()))
        m_host.setViewValue(*value);
}

void CursorKeys::step(int direction, bool byMeasure, bool select)
{
    const KeP& kep = m_host.chart();
    if (!m_host.editingAllowed() || kep.TotalBeats < 1)
        return;
    const int64_t cell = cursorCell();
    const int64_t target = EditCursor::stepped(
        cell, direction, byMeasure ? EditCursor::MeasureCells : m_cursor.snap());
    if (select) {
        if (!m_selection.active())
            m_host.rangeSelectionBegins();
        m_selection.extend(cell, target, kep.TotalBeats);
    } else {
        m_selection.clear();
    }
    placeCursor(std::clamp<int64_t>(target, 0, kep.TotalBeats - 1));
    m_host.redraw();
}

void CursorKeys::selectAll()
{
    const KeP& kep = m_host.chart();
    if (!m_host.editingAllowed() || kep.TotalBeats < 1)
        return;
    m_host.rangeSelectionBegins();
    m_selection.selectAll(kep.TotalBeats);
    m_host.redraw();
}

void CursorKeys::moveWithKeys(int64_t cells)
{
    const KeP& kep = m_host.chart();
    m_selection.move(cells, kep.TotalBeats);
    placeCursor(std::clamp<int64_t>(cursorCell() + cells, 0, std::max(kep.TotalBeats - 1, 0)));
    m_host.redraw();
}

void CursorKeys::zoomBy(int steps, std::optional<float> anchorX)
{
    int width = m_zoom.cellWidth();
    for (int i = 0; i < std::abs(steps); ++i)
        width = steps > 0 ? TimeAxis::zoomedIn(width) : TimeAxis::zoomedOut(width);
    zoomTo(width, anchorX);
}

void CursorKeys::zoomWheel(int angle, float anchorX)
{
    const int before = m_zoom.cellWidth();
    if (!m_zoom.wheel(angle))
        return;
    const int after = m_zoom.cellWidth();
    m_zoom.setCellWidth(before);
    zoomTo(after, anchorX);
}

void CursorKeys::zoomTo(int width, std::optional<float> anchorX)
{
    if (width == m_zoom.cellWidth())
        return;
    const KeP& kep = m_host.chart();
    const TimeAxis before = TimeAxis::at(kep, m_host.viewValue() * 100, m_zoom.cellWidth());
    // The point that stays: the one asked for, or the cursor while it shows.
    double x = m_canvasWidth / 2.0;
    std::optional<double> ms;
    if (anchorX) {
        x = *anchorX;
    } else {
        const double cursorX =
            TimeAxis::LeftMargin +
            before.pixelsAfterScroll(double(m_host.cursorMs()) - before.scrollMs, kep.BeatRate);
        if (cursorX >= 0 && cursorX < m_canvasWidth) {
            x = cursorX;
            ms = m_host.cursorMs();
        }
    }
    if (!ms) {
        const auto at = before.timeAt(float(x), kep.BeatRate);
        ms = at ? double(*at) : double(before.scrollMs);
    }
    m_zoom.setCellWidth(width);
    m_host.zoomChanged(width);
    m_host.setViewValue(
        CanvasZoom::valueKeeping(*ms, x, width, kep.BeatRate, m_host.lastViewValue()));
    m_host.redraw();
}

} // namespace tavix
