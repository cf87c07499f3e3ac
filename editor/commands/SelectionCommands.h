#pragma once

#include "CellRange.h"
#include "KeP.h"
#include "KeyTransforms.h"

#include <QCoreApplication>

#include <cstdint>

class QWidget;

namespace tavix {

class ChartDocument;
class ClipboardService;
class MessageService;

// What the commands on the selection work on: the keys a drag rectangle found (or that a
// command moved), or every key of a range of cells chosen from the keyboard.
struct KeySelection
{
    SelectionList keys = emptySelection();
    CellRange cells; // not empty: the selection is this range, whatever `keys` holds

    bool isRange() const { return !cells.empty(); }
    bool empty() const { return !isRange() && selectionCount(keys) < 1; }
};

// Copy, delete and the transforms of the selection, each change one step of the history:
// mirror left to right, flip top to bottom and shifts by some cells, keys only. A shift
// that would push keys out of the chart is refused with a message and changes nothing.
class SelectionCommands
{
    Q_DECLARE_TR_FUNCTIONS(SelectionCommands)
public:
    SelectionCommands(ChartDocument& document, ClipboardService& clipboard,
                      MessageService& messages, QWidget* owner)
        : m_document(document), m_clipboard(clipboard), m_messages(messages), m_owner(owner)
    {
    }

    // The clipboard keeps what it held when nothing is selected.
    void copy(const KeySelection& selection);
    void remove(const KeySelection& selection);
    // The keys of a list are given back where they went.
    void reflect(KeySelection& selection, KeyTransforms::Reflection reflection);
    // True when the keys moved; the selection then names where they are.
    bool shift(KeySelection& selection, int64_t cells);

private:
    ChartDocument& m_document;
    ClipboardService& m_clipboard;
    MessageService& m_messages;
    QWidget* m_owner;
};

} // namespace tavix
