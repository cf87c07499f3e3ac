#pragma once

#include "DragState.h"
#include "KeP.h"

#include <Qt>

#include <cstdint>

namespace tavix {

// What a release of the mouse on the canvas asks for.
struct CanvasAction
{
    enum class Kind {
        None,
        Select,       // a drag ended: the keys inside its rectangle become the selection
        MoveCursor,   // a click outside the rows: the cursor goes to cursorMs
        Toggle,       // a left click on a row: the element of `cell`, `row` toggles
        AutoSpace,    // a left click on the confirm row while armed: markers from `cell`
        ClearMarkers, // a right click there: no markers from `cell` on
        Disarmed,     // another button there: the gesture is only disarmed
    };
    Kind kind = Kind::None;
    int64_t cell = 0;
    int row = 0;
    int32_t cursorMs = 0;
    // The armed auto-space gesture is used up (AutoSpace, ClearMarkers, Disarmed).
    bool disarm = false;
};

// The mouse on the canvas: the drag state that the key display reads every frame, the
// selection a drag rectangle leaves, and what each release of the button means.
// Gestures count only while editing is allowed (not while the song plays unpaused).
class CanvasGestures
{
public:
    void press(Qt::MouseButton button, float x, float y, bool allowed);
    void move(float x, float y, bool allowed);
    // `timeSetValue` places the view, `cellWidth` is its zoom; `autoSpaceArmed` whether the
    // pointer is armed.
    CanvasAction release(Qt::MouseButton button, float x, float y, bool allowed, const KeP& kep,
                         int32_t timeSetValue, bool autoSpaceArmed, int cellWidth = 32);
    // The view moved: the rectangle being dragged is no longer where it was drawn.
    void viewMoved() { m_drag.MouseMove = false; }

    const DragState& drag() const { return m_drag; }
    const SelectionList& selection() const { return m_selection; }
    void select(SelectionList keys) { m_selection = std::move(keys); }
    // No selection and no drag any more (after a delete, a paste, an undo).
    void endSelection();

private:
    DragState m_drag;
    SelectionList m_selection = emptySelection();
};

} // namespace tavix
