// Copy, delete and paste of the selected keys through the clipboard, and random keys.
// None of them looks at the playback state: during playback they run between two passes.
#include "KE.h"

#include "CanvasView.h"
#include "ClipboardService.h"
#include "KeyClipboard.h"

namespace tavix {

void KE::endSelection()
{
    m_state.SelKeys = emptySelection();
    m_state.drag.MouseMove = false;
    m_state.drag.MouseDown = false;
}

void KE::copyKeys()
{
    // With nothing selected the clipboard keeps what it held.
    if (const std::optional<QString> text = KeyClipboard::copyText(m_state.SelKeys))
        m_services.clipboard.setText(*text);
}

void KE::deleteKeys()
{
    changeChart(QStringLiteral("Delete"),
                [&](ChartEdit& edit) { KeyClipboard::clear(edit, m_state.SelKeys); });
    endSelection();
    scheduleFrame();
}

void KE::pasteKeys()
{
    if (m_state.CursorMs >= 0) {
        if (const auto offsets = KeyClipboard::pasteOffsets(m_services.clipboard.text())) {
            const CanvasView view = CanvasView::at(m_kep, m_TimeSet.value());
            if (const auto anchor =
                    KeyClipboard::pasteAnchor(m_kep.BeatRate, m_state.CursorMs, view.pixOff))
                changeChart(QStringLiteral("Paste"),
                            [&](ChartEdit& edit) { KeyClipboard::paste(edit, *anchor, *offsets); });
        }
    }
    // Whatever the text held, the paste ends the selection.
    endSelection();
    scheduleFrame();
}

void KE::randomKeys()
{
    changeChart(QStringLiteral("Random Key"), [&](ChartEdit& edit) { m_randomKeys.apply(edit); });
    scheduleFrame();
}

} // namespace tavix
