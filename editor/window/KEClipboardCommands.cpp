// Copy, delete and paste of the selected keys through the clipboard, and random keys.
// None of them looks at the playback state: during playback they run between two passes.
#include "KE.h"

#include "CanvasView.h"

namespace tavix {

void KE::endSelection()
{
    m_gestures.endSelection();
}

void KE::copyKeys()
{
    m_keys.copy(m_gestures.selection());
}

void KE::deleteKeys()
{
    m_keys.remove(m_gestures.selection());
    endSelection();
    scheduleFrame();
}

void KE::pasteKeys()
{
    m_keys.paste(m_session.cursorMs(), CanvasView::at(m_kep, TimeSet().value()).pixOff);
    // Whatever the text held, the paste ends the selection.
    endSelection();
    scheduleFrame();
}

void KE::randomKeys()
{
    m_keys.randomKeys();
    scheduleFrame();
}

} // namespace tavix
