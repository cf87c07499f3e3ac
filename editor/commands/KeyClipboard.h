#pragma once

#include "ChartEdit.h"
#include "KeP.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

// The clipboard text of copied keys: "ZTC", then for every selected key a comma and its
// flat index counted from the start of the first selected key's cell. Offsets are 32-bit,
// so keys anywhere in a chart of any length can be copied and pasted.
class KeyClipboard
{
public:
    // The text for a selection; nothing for the empty selection.
    static std::optional<QString> copyText(const SelectionList& selection);

    // The offsets of a pasted text, in order. Nothing when the text does not begin with
    // "ZTC," or when a piece does not fit a 32-bit offset; in both cases no key may be
    // written. Each piece gives the number at its start (0 when it has none), so an empty
    // piece or an empty rest gives offset 0.
    static std::optional<std::vector<int32_t>> pasteOffsets(const QString& text);

    // The cell the first copied cell lands on: one after the cell of the cursor, with the
    // view's pixel offset taken off the cursor as if it were milliseconds. Nothing when
    // the cell is so far out that no offset could bring a key back into a grid.
    static std::optional<int64_t> pasteAnchor(float beatRate, int32_t cursorMs, int32_t pixOff);

    // Sets element 7 x anchor + d for every offset d in order, stopping at the first
    // element outside the grid; the keys before it stay. Returns how many were set.
    static int32_t paste(ChartEdit& edit, int64_t anchor, const std::vector<int32_t>& offsets);

    // Clears every selected element, stopping at the first one outside the grid.
    static void clear(ChartEdit& edit, const SelectionList& selection);
};

} // namespace tavix
