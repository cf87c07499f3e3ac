// Mouse editing on the canvas: toggling keys and markers, moving the cursor, selecting
// with a drag rectangle and the armed auto-space gesture.
#include "KE.h"

#include "CanvasView.h"
#include "KeyCanvas.h"
#include "Rounding.h"
#include "TavixKey.h"

namespace tavix {

bool KE::editingAllowed() const
{
    return !m_state.IsPlaying || m_state.IsPaused;
}

void KE::canvasMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, float x, float y)
{
    if (!editingAllowed() || button != Qt::LeftButton)
        return;
    DragState& drag = m_state.drag;
    drag.MouseMove = false;
    drag.MouseDown = true;
    drag.MouseStartX = nearestInt32(x);
    drag.MouseStartY = nearestInt32(y);
}

void KE::canvasMouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, float x, float y)
{
    DragState& drag = m_state.drag;
    if (!editingAllowed() || !drag.MouseDown)
        return;
    drag.MouseMove = true;
    drag.MouseMoveX = nearestInt32(x);
    drag.MouseMoveY = nearestInt32(y);
}

void KE::canvasMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, float x, float y)
{
    DragState& drag = m_state.drag;
    drag.MouseDown = false;
    if (!editingAllowed() || m_kep.TotalBeats < 1)
        return;

    if (drag.MouseMove) {
        takeSelection();
        return;
    }

    const CanvasView view = CanvasView::at(m_kep, m_TimeSet.value());
    const int row = CanvasView::rowAt(y);
    if (row == 0) {
        moveCursorTo(view, x);
        return;
    }

    const int64_t m = view.cellAt(x);
    // A click left of the chart's first cell (a pointer dragged off the canvas, or a view
    // before the start) falls in no cell, as one at or past the end does.
    if (m < 0 || m >= m_kep.TotalBeats)
        return;
    if (row == CanvasView::ConfirmRow && autoSpaceArmed()) {
        disarmAutoSpace();
        if (button == Qt::LeftButton) {
            // A marker on the same beat of every second measure; those between stay.
            changeChart(QStringLiteral("Auto Space"), [&](ChartEdit& edit) {
                for (int64_t k = m; k <= m_kep.TotalBeats - 1; k += 32)
                    edit.set(KeP::flatIndex(k, 7), 1);
            });
        } else if (button == Qt::RightButton) {
            changeChart(QStringLiteral("Clear Markers"), [&](ChartEdit& edit) {
                for (int64_t k = m; k <= m_kep.TotalBeats - 1; ++k)
                    edit.set(KeP::flatIndex(k, 7), 0);
            });
        }
    } else if (button == Qt::LeftButton) {
        // A toggle clears only a set element; any other value, foreign bytes included,
        // sets it.
        changeChart(QStringLiteral("Toggle"),
                    [&](ChartEdit& edit) { edit.toggle(KeP::flatIndex(m, row)); });
    } else {
        return;
    }
    scheduleFrame();
}

void KE::takeSelection()
{
    // The display counts the keys inside the rectangle as it draws; drawing now makes the
    // count that of the rectangle as it was let go, not of an older frame.
    scheduleFrame();
    runPendingFrame();
    TavixKey& display = renderer();
    const int32_t n = display.SelectedKeys;
    SelectionList selection = emptySelection();
    if (n >= 1) {
        selection.resize(size_t(n) + 1);
        for (int32_t i = 1; i <= n; ++i)
            selection[size_t(i)] = display.GetKeyS(i);
    }
    m_state.SelKeys = std::move(selection);
}

void KE::moveCursorTo(const CanvasView& view, float x)
{
    // A zero tempo makes the time of the point undefined; the click then does nothing.
    const std::optional<int32_t> ms = view.timeAt(x, m_kep.BeatRate);
    if (!ms)
        return;
    m_state.CursorMs = *ms;
    // No music yet (a chart opened on its own) leaves the engine nothing to move; its
    // refusal is of no consequence.
    sound().FSOUND_Stream_SetTime(m_state.MusicStream, nearestInt32(*ms - LeadMs()));
    m_cPos.setText(PosString(*ms));
    m_cBeat.setText(m_kep.beatCounter(*ms));
    scheduleFrame();
}

} // namespace tavix
