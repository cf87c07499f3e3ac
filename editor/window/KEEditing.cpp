// Editing: on the canvas the gestures decide and the key commands change the chart (the
// cursor moves with the playback session); copy, delete and paste of the selected keys
// and random keys. None of the last four looks at the playback state: during playback
// they run between two passes.
#include "KE.h"

#include "CanvasView.h"
#include "KeyboardCharting.h"

namespace tavix {

void KE::canvasMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, float x, float y)
{
    m_gestures.press(button, x, y, editingAllowed());
}

void KE::canvasMouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, float x, float y)
{
    m_gestures.move(x, y, editingAllowed());
}

void KE::canvasMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, float x, float y)
{
    using Kind = CanvasAction::Kind;
    const CanvasAction action =
        m_gestures.release(button, x, y, editingAllowed(), m_kep, TimeSet().value(),
                           autoSpaceArmed(), m_display.cellWidth());
    if (action.disarm)
        disarmAutoSpace();
    switch (action.kind) {
    case Kind::None:
        return;
    case Kind::Select:
        takeSelection();
        return;
    case Kind::MoveCursor:
        moveCursorTo(action.cursorMs);
        return;
    case Kind::Toggle:
        m_keys.toggle(action.cell, action.row);
        break;
    case Kind::AutoSpace:
        m_keys.autoSpace(action.cell);
        break;
    case Kind::ClearMarkers:
        m_keys.clearMarkers(action.cell);
        break;
    case Kind::Disarmed:
        break;
    }
    scheduleFrame();
}

CellRange KE::selectedCells() const
{
    const RangeSelection& range = m_charting->cursorKeys().selection();
    return range.active() ? range.range() : CellRange{};
}

const SelectionList* KE::shownKeys() const
{
    // Keys a command moved, shown where they went once the rectangle no longer finds them.
    const bool moved = !m_gestures.drag().MouseMove && selectionCount(m_gestures.selection()) > 0;
    return moved ? &m_gestures.selection() : nullptr;
}

void KE::takeSelection()
{
    // The display counts the keys inside the rectangle as it draws; drawing now makes the
    // count that of the rectangle as it was let go, not of an older frame.
    scheduleFrame();
    runPendingFrame();
    m_gestures.select(m_display.selection());
}

void KE::moveCursorTo(int32_t ms)
{
    m_session.moveCursor(ms);
    showCounters(ms);
    scheduleFrame();
}

void KE::copyKeys()
{
    m_charting->copy();
}

void KE::deleteKeys()
{
    m_charting->remove();
    endSelection();
    scheduleFrame();
}

void KE::pasteKeys()
{
    m_keys.paste(m_session.cursorMs(), CanvasView::at(m_kep, TimeSet().value()).pixOff);
    // Whatever the text held, the paste ends the selection.
    endSelection();
    m_charting->endRange();
    scheduleFrame();
}

void KE::randomKeys()
{
    m_keys.randomKeys();
    scheduleFrame();
}

} // namespace tavix
