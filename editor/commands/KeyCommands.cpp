#include "KeyCommands.h"

#include "ChartDocument.h"
#include "ClipboardService.h"
#include "KeyClipboard.h"
#include "LongKeyText.h"

namespace tavix {

void KeyCommands::toggle(int64_t cell, int row)
{
    m_document.change(QStringLiteral("Toggle"),
                      [&](ChartEdit& edit) { edit.toggle(KeP::flatIndex(cell, row)); });
}

void KeyCommands::autoSpace(int64_t cell)
{
    const KeP& kep = m_document.chart();
    m_document.change(QStringLiteral("Auto Space"), [&](ChartEdit& edit) {
        for (int64_t k = cell; k <= kep.TotalBeats - 1; k += 32)
            edit.set(KeP::flatIndex(k, 7), 1);
    });
}

void KeyCommands::clearMarkers(int64_t cell)
{
    const KeP& kep = m_document.chart();
    m_document.change(QStringLiteral("Clear Markers"), [&](ChartEdit& edit) {
        for (int64_t k = cell; k <= kep.TotalBeats - 1; ++k)
            edit.set(KeP::flatIndex(k, 7), 0);
    });
}

void KeyCommands::copy(const SelectionList& selection)
{
    if (const std::optional<QString> text = KeyClipboard::copyText(selection))
        m_clipboard.setText(*text);
}

void KeyCommands::remove(const SelectionList& selection)
{
    m_document.change(QStringLiteral("Delete"),
                      [&](ChartEdit& edit) { KeyClipboard::clear(edit, selection); });
}

void KeyCommands::paste(int32_t cursorMs, int32_t pixOff)
{
    if (cursorMs < 0)
        return;
    const QString text = m_clipboard.text();
    const auto offsets =
        LongKeyText::isLongForm(text) ? LongKeyText::read(text) : KeyClipboard::pasteOffsets(text);
    if (!offsets)
        return;
    const KeP& kep = m_document.chart();
    if (const auto anchor = KeyClipboard::pasteAnchor(kep.BeatRate, cursorMs, pixOff))
        m_document.change(QStringLiteral("Paste"),
                          [&](ChartEdit& edit) { KeyClipboard::paste(edit, *anchor, *offsets); });
}

void KeyCommands::randomKeys()
{
    m_document.change(QStringLiteral("Random Key"),
                      [&](ChartEdit& edit) { m_randomKeys.apply(edit); });
}

} // namespace tavix
