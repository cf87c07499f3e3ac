// Mouse editing on the canvas: toggling keys and markers, moving the cursor, selecting
// with a drag rectangle and the armed auto-space gesture.
//
// EMPTY COMMAND SLOTS: the canvas already routes its press, move and release here and
// the window redraws after each; the editing itself is still to be written in this file.
#include "KE.h"

namespace tavix {

void KE::canvasMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, float, float) {}

void KE::canvasMouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, float, float) {}

void KE::canvasMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, float, float) {}

} // namespace tavix
