#pragma once

#include "KeP.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

// The clipboard text of a copy too large for the classic text, which gives each key's
// offset in decimal (ten bytes a key, read back number by number): a whole long chart
// would be tens of megabytes. It is "ZTCR", then for every cell that holds copied keys a
// comma, the cell's distance from the cell before it (0 for the first), a colon and its
// rows as digits 1 to 6: keys at cell 10 rows 2 and 5 and at cell 12 row 1 are
// "ZTCR,0:25,2:1". About a quarter of the size, and read as fast as it is written. An
// editor that knows only the classic text finds no "ZTC," at its start and pastes nothing
// rather than something wrong; this one reads both.
class LongKeyText
{
public:
    // The longest classic text a copy makes; larger copies take this one.
    static constexpr int64_t ClassicLimit = 1'000'000;

    // The length of the classic text of the keys (flat indices, ascending, as a selection
    // holds them), and whether it is beyond ClassicLimit.
    static int64_t classicLength(const SelectionList& keys);
    static bool needed(const SelectionList& keys) { return classicLength(keys) > ClassicLimit; }
    static QString write(const SelectionList& keys);

    static bool isLongForm(const QString& text);
    // The offsets the classic text would give for the same keys (7 x cells from the first
    // cell + row), in order. Nothing when the text is not the long form or a piece of it
    // is not a distance and rows as written: then no key may be pasted.
    static std::optional<std::vector<int32_t>> read(const QString& text);
};

} // namespace tavix
