#include "CanvasGestures.h"

#include "CanvasView.h"
#include "Rounding.h"
#include "TimeAxis.h"

namespace tavix {

void CanvasGestures::press(Qt::MouseButton button, float x, float y, bool allowed)
{
    if (!allowed || button != Qt::LeftButton)
        return;
    m_drag.MouseMove = false;
    m_drag.MouseDown = true;
    m_drag.MouseStartX = nearestInt32(x);
    m_drag.MouseStartY = nearestInt32(y);
}

void CanvasGestures::move(float x, float y, bool allowed)
{
    if (!allowed || !m_drag.MouseDown)
        return;
    m_drag.MouseMove = true;
    m_drag.MouseMoveX = nearestInt32(x);
    m_drag.MouseMoveY = nearestInt32(y);
}

CanvasAction CanvasGestures::release(Qt::MouseButton button, float x, float y, bool allowed,
                                     const KeP& kep, int32_t timeSetValue, bool autoSpaceArmed,
                                     int cellWidth)
{
    using Kind = CanvasAction::Kind;
    m_drag.MouseDown = false;
    if (!allowed || kep.TotalBeats < 1)
        return {};
    if (m_drag.MouseMove)
        return {Kind::Select};

    // At 32 pixels a cell the axis is the classic canvas's, to the bit.
    const TimeAxis view = TimeAxis::at(kep, timeSetValue * 100, cellWidth);
    const int row = CanvasView::rowAt(y);
    if (row == 0) {
        // A zero tempo makes the time of the point undefined; the click then does nothing.
        const std::optional<int32_t> ms = view.timeAt(x, kep.BeatRate);
        if (!ms)
            return {};
        CanvasAction action{Kind::MoveCursor};
        action.cursorMs = *ms;
        return action;
    }

    const int64_t m = view.cellAt(x);
    // A click left of the chart's first cell (a pointer dragged off the canvas, or a view
    // before the start) falls in no cell, as one at or past the end does.
    if (m < 0 || m >= kep.TotalBeats)
        return {};
    CanvasAction action;
    action.cell = m;
    action.row = row;
    if (row == CanvasView::ConfirmRow && autoSpaceArmed) {
        action.disarm = true;
        action.kind = button == Qt::LeftButton    ? Kind::AutoSpace
                      : button == Qt::RightButton ? Kind::ClearMarkers
                                                  : Kind::Disarmed;
    } else if (button == Qt::LeftButton) {
        action.kind = Kind::Toggle;
    }
    return action;
}

void CanvasGestures::endSelection()
{
    m_selection = emptySelection();
    m_drag.MouseMove = false;
    m_drag.MouseDown = false;
}

} // namespace tavix
