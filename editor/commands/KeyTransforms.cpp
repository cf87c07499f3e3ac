#include "KeyTransforms.h"

#include "ChartEdit.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace tavix {

namespace {

constexpr int KeyRows = 6;
constexpr int Rows = KeP::RowsPerCell;

// Rows 1-3 are the keypad's left column (7, 4, 1), rows 4-6 its right column (9, 6, 3).
constexpr std::array<int, 7> Mirrored{0, 4, 5, 6, 1, 2, 3};
constexpr std::array<int, 7> Flipped{0, 3, 2, 1, 6, 5, 4};

// The bytes of cells first..last, from row 1 of the first to the marker of the last.
struct Stretch
{
    int64_t firstIndex = 0;
    std::vector<uint8_t> bytes;

    Stretch(const KeP& kep, int64_t first, int64_t last)
        : firstIndex(KeP::flatIndex(first, 1)),
          bytes(kep.KeyGrid.data() + firstIndex,
                kep.KeyGrid.data() + KeP::flatIndex(last, Rows) + 1)
    {
    }
    uint8_t* cell(int64_t c) { return bytes.data() + (KeP::flatIndex(c, 1) - firstIndex); }
    const uint8_t* cell(int64_t c) const
    {
        return bytes.data() + (KeP::flatIndex(c, 1) - firstIndex);
    }
};

int64_t cellOfIndex(int64_t index)
{
    return (index - 1) / Rows;
}

int rowOfIndex(int64_t index)
{
    return int(index - Rows * cellOfIndex(index));
}

bool isKeyIndex(const KeP& kep, int64_t index)
{
    return index >= 1 && index < int64_t(kep.KeyGrid.size()) && rowOfIndex(index) <= KeyRows;
}

// Moves the listed keys to the indices `to` gives, keeping their values; a key landing on
// one that stays merges with it. Returns where they went, ascending.
template <class To> SelectionList moveKeys(ChartEdit& edit, const SelectionList& keys, To to)
{
    const KeP& kep = edit.chart();
    std::vector<std::pair<int64_t, uint8_t>> moving;
    for (int32_t i = 1; i < int32_t(keys.size()); ++i) {
        const int64_t k = keys[size_t(i)];
        if (isKeyIndex(kep, k) && kep.KeyGrid[size_t(k)] != 0)
            moving.emplace_back(k, kep.KeyGrid[size_t(k)]);
    }
    for (const auto& [k, value] : moving)
        edit.set(k, 0);
    SelectionList moved = emptySelection();
    for (const auto& [k, value] : moving) {
        const int64_t target = to(k);
        if (kep.KeyGrid[size_t(target)] == 0)
            edit.set(target, value);
        moved.push_back(int32_t(target));
    }
    std::sort(moved.begin() + 1, moved.end());
    moved.erase(std::unique(moved.begin() + 1, moved.end()), moved.end());
    return moved;
}

} // namespace

int KeyTransforms::reflectedRow(int row, Reflection reflection)
{
    if (row < 1 || row > KeyRows)
        return row;
    return reflection == Reflection::Mirror ? Mirrored[size_t(row)] : Flipped[size_t(row)];
}

void KeyTransforms::reflect(ChartEdit& edit, const CellRange& range, Reflection reflection)
{
    const CellRange r = range.within(edit.chart().TotalBeats);
    if (r.empty())
        return;
    Stretch stretch(edit.chart(), r.first, r.last);
    for (int64_t c = r.first; c <= r.last; ++c) {
        uint8_t* keys = stretch.cell(c);
        std::array<uint8_t, KeyRows> was;
        std::copy(keys, keys + KeyRows, was.begin());
        for (int row = 1; row <= KeyRows; ++row)
            keys[reflectedRow(row, reflection) - 1] = was[size_t(row - 1)];
    }
    edit.writeSpan(stretch.firstIndex, stretch.bytes);
}

SelectionList KeyTransforms::reflect(ChartEdit& edit, const SelectionList& keys,
                                     Reflection reflection)
{
    return moveKeys(edit, keys, [reflection](int64_t k) {
        const int row = rowOfIndex(k);
        return k - row + reflectedRow(row, reflection);
    });
}

KeyTransforms::Overflow KeyTransforms::shiftOverflow(const KeP& kep, const CellRange& range,
                                                     int64_t cells)
{
    const int64_t total = kep.TotalBeats;
    const CellRange r = range.within(total);
    Overflow overflow{0, cells < 0};
    if (r.empty() || cells == 0)
        return overflow;
    // The cells whose keys would land before cell 0 or after the last cell.
    const CellRange out = cells < 0 ? CellRange{r.first, std::min(r.last, -cells - 1)}
                                    : CellRange{std::max(r.first, total - cells), r.last};
    for (int64_t c = out.first; c <= out.last; ++c)
        for (int row = 1; row <= KeyRows; ++row)
            overflow.keys += kep.at(int32_t(c), row) != 0;
    return overflow;
}

KeyTransforms::Overflow KeyTransforms::shiftOverflow(const KeP& kep, const SelectionList& keys,
                                                     int64_t cells)
{
    Overflow overflow{0, cells < 0};
    for (int32_t i = 1; i < int32_t(keys.size()); ++i) {
        const int64_t k = keys[size_t(i)];
        if (!isKeyIndex(kep, k) || kep.KeyGrid[size_t(k)] == 0)
            continue;
        const int64_t c = cellOfIndex(k) + cells;
        overflow.keys += c < 0 || c >= kep.TotalBeats;
    }
    return overflow;
}

bool KeyTransforms::shift(ChartEdit& edit, const CellRange& range, int64_t cells)
{
    const KeP& kep = edit.chart();
    const CellRange r = range.within(kep.TotalBeats);
    if (shiftOverflow(kep, r, cells))
        return false;
    if (r.empty() || cells == 0)
        return true;
    // One stretch from the first cell a key leaves or reaches to the last.
    const CellRange span =
        CellRange{std::min(r.first, r.first + cells), std::max(r.last, r.last + cells)}.within(
            kep.TotalBeats);
    const Stretch before(kep, span.first, span.last);
    Stretch after = before;
    for (int64_t c = r.first; c <= r.last; ++c)
        std::fill(after.cell(c), after.cell(c) + KeyRows, 0);
    for (int64_t c = r.first; c <= r.last; ++c) {
        const uint8_t* from = before.cell(c);
        if (c + cells < span.first || c + cells > span.last)
            continue; // only empty cells go out, as the overflow check made sure
        uint8_t* to = after.cell(c + cells);
        for (int row = 0; row < KeyRows; ++row)
            if (from[row] != 0 && to[row] == 0)
                to[row] = from[row];
    }
    edit.writeSpan(after.firstIndex, after.bytes);
    return true;
}

bool KeyTransforms::shift(ChartEdit& edit, SelectionList& keys, int64_t cells)
{
    if (shiftOverflow(edit.chart(), keys, cells))
        return false;
    keys = moveKeys(edit, keys, [cells](int64_t k) { return k + Rows * cells; });
    return true;
}

void KeyTransforms::clear(ChartEdit& edit, const CellRange& range)
{
    const CellRange r = range.within(edit.chart().TotalBeats);
    if (r.empty())
        return;
    Stretch stretch(edit.chart(), r.first, r.last);
    for (int64_t c = r.first; c <= r.last; ++c)
        std::fill(stretch.cell(c), stretch.cell(c) + KeyRows, 0);
    edit.writeSpan(stretch.firstIndex, stretch.bytes);
}

SelectionList KeyTransforms::keysOf(const KeP& kep, const CellRange& range)
{
    const CellRange r = range.within(kep.TotalBeats);
    SelectionList keys = emptySelection();
    for (int64_t c = r.first; c <= r.last; ++c)
        for (int row = 1; row <= KeyRows; ++row)
            if (kep.at(int32_t(c), row) != 0)
                keys.push_back(int32_t(KeP::flatIndex(c, row)));
    return keys;
}

} // namespace tavix
