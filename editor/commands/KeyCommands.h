#pragma once

#include "KeP.h"
#include "RandomKeys.h"

#include <cstdint>

namespace tavix {

class ChartDocument;
class ClipboardService;

// The commands that change the chart's keys, each one step of the history: a toggle,
// the "Auto Space" gesture and its clearing, delete and paste through the clipboard text
// (and copy, which changes nothing), and Random Key.
class KeyCommands
{
public:
    KeyCommands(ChartDocument& document, ClipboardService& clipboard)
        : m_document(document), m_clipboard(clipboard)
    {
    }

    // A toggle clears only a set element; any other value, foreign bytes included, sets it.
    void toggle(int64_t cell, int row);
    // A marker on the same beat of every second measure from `cell` to the end; those
    // between stay.
    void autoSpace(int64_t cell);
    // No marker from `cell` to the end.
    void clearMarkers(int64_t cell);

    // With nothing selected the clipboard keeps what it held.
    void copy(const SelectionList& selection);
    void remove(const SelectionList& selection);
    // The keys of the clipboard's text at the cursor; a text that is not copied keys, or
    // a cursor before the chart, pastes nothing. `pixOff` is the view's pixel offset.
    void paste(int32_t cursorMs, int32_t pixOff);

    void randomKeys();

private:
    ChartDocument& m_document;
    ClipboardService& m_clipboard;
    // Not seeded from the clock: every run draws the same sequence.
    RandomKeys m_randomKeys;
};

} // namespace tavix
