#pragma once

#include "KeP.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

// The clipboard text of copied keys that lie too far apart for the classic text, whose
// offsets an older editor reads as 16-bit numbers (at most 32767: 4,681 cells). It is
// "ZTCR", then for every cell that holds copied keys a comma, the cell's distance from
// the cell before it (0 for the first), a colon and its rows as digits 1 to 6: keys at
// cell 10 rows 2 and 5 and at cell 12 row 1 are "ZTCR,0:25,2:1". An older editor finds no
// "ZTC," at its start and pastes nothing; this one reads both texts. A cell a byte or a
// few: a whole chart fits where the classic text would take ten bytes a key.
class LongKeyText
{
public:
    static constexpr int32_t ClassicLimit = 32767;

    // Whether the classic text cannot carry the keys: an offset from the first key's cell
    // beyond ClassicLimit. The keys are flat indices, ascending, as a selection holds them.
    static bool needed(const SelectionList& keys);
    static QString write(const SelectionList& keys);

    static bool isLongForm(const QString& text);
    // The offsets the classic text would give for the same keys (7 x cells from the first
    // cell + row), in order. Nothing when the text is not the long form or a piece of it
    // is not a distance and rows as written: then no key may be pasted.
    static std::optional<std::vector<int32_t>> read(const QString& text);
};

} // namespace tavix
