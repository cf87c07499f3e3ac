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
    uint8_t* keys = stretch.cell(r.first);
    const uint8_t* const end = keys + Rows * r.cells();
    // Mirroring swaps the keypad's columns (rows 1-3 with 4-6), flipping the ends of each.
    if (reflection == Reflection::Mirror) {
        for (; keys != end; keys += Rows)
            std::swap_ranges(keys, keys + 3, keys + 3);
    } else {
        for (; keys != end; keys += Rows) {
            std::swap(keys[0], keys[2]);
            std::swap(keys[3], keys[5]);
        }
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
    Stretch after(kep, span.first, span.last);
    // In one buffer, from the end the keys move toward: every cell has given its keys away
    // before a key lands in it, so a landing cell of the range is empty and one outside
    // keeps a key it holds (the keys merge). Cells whose keys would land outside the chart
    // hold none, as the check made sure.
    const int64_t first = std::max(r.first, span.first - cells);
    const int64_t last = std::min(r.last, span.last - cells);
    const auto move = [&](int64_t c) {
        uint8_t* from = after.cell(c);
        std::array<uint8_t, KeyRows> keys;
        std::copy_n(from, KeyRows, keys.begin());
        std::fill_n(from, KeyRows, 0);
        if (c < first || c > last)
            return;
        uint8_t* to = after.cell(c + cells);
        for (int row = 0; row < KeyRows; ++row)
            to[row] = to[row] != 0 ? to[row] : keys[size_t(row)];
    };
    if (cells > 0)
        for (int64_t c = r.last; c >= r.first; --c)
            move(c);
    else
        for (int64_t c = r.first; c <= r.last; ++c)
            move(c);
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
