#include "SelectionCommands.h"

#include "ChartDocument.h"
#include "ClipboardService.h"
#include "KeyClipboard.h"
#include "LongKeyText.h"
#include "MessageService.h"

namespace tavix {

void SelectionCommands::copy(const KeySelection& selection)
{
    const SelectionList keys = selection.isRange()
                                   ? KeyTransforms::keysOf(m_document.chart(), selection.cells)
                                   : selection.keys;
    // Beyond a million characters the classic text gives way to the compact one.
    if (LongKeyText::needed(keys))
        m_clipboard.setText(LongKeyText::write(keys));
    else if (const std::optional<QString> text = KeyClipboard::copyText(keys))
        m_clipboard.setText(*text);
}

void SelectionCommands::remove(const KeySelection& selection)
{
    if (selection.isRange())
        m_document.change(QStringLiteral("Delete"),
                          [&](ChartEdit& edit) { KeyTransforms::clear(edit, selection.cells); });
    else
        m_document.change(QStringLiteral("Delete"),
                          [&](ChartEdit& edit) { KeyClipboard::clear(edit, selection.keys); });
}

void SelectionCommands::reflect(KeySelection& selection, KeyTransforms::Reflection reflection)
{
    if (selection.empty())
        return;
    const QString name = reflection == KeyTransforms::Reflection::Mirror ? QStringLiteral("Mirror")
                                                                         : QStringLiteral("Flip");
    m_document.change(name, [&](ChartEdit& edit) {
        if (selection.isRange())
            KeyTransforms::reflect(edit, selection.cells, reflection);
        else
            selection.keys = KeyTransforms::reflect(edit, selection.keys, reflection);
    });
}

bool SelectionCommands::shift(KeySelection& selection, int64_t cells)
{
    if (selection.empty() || cells == 0)
        return false;
    const KeP& kep = m_document.chart();
    const KeyTransforms::Overflow overflow =
        selection.isRange() ? KeyTransforms::shiftOverflow(kep, selection.cells, cells)
                            : KeyTransforms::shiftOverflow(kep, selection.keys, cells);
    if (overflow) {
        const QString keys =
            overflow.keys == 1 ? tr("1 key would") : tr("%1 keys would").arg(overflow.keys);
        const QString text =
            overflow.pastStart
                ? tr("The keys cannot go earlier: %1 pass the start of the chart.").arg(keys)
                : tr("The keys cannot go later: %1 pass the end of the chart.").arg(keys);
        m_messages.warning(m_owner, tr("Shift"), text);
        return false;
    }
    m_document.change(cells < 0 ? QStringLiteral("Shift Earlier") : QStringLiteral("Shift Later"),
                      [&](ChartEdit& edit) {
                          if (selection.isRange())
                              KeyTransforms::shift(edit, selection.cells, cells);
                          else
                              KeyTransforms::shift(edit, selection.keys, cells);
                      });
    return true;
}

} // namespace tavix
