#pragma once

#include "ChartChange.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tavix {

class KeP;

// The one way to change a chart's grid and cell count. Each write is made at once and
// recorded as it is made; take() hands out what was changed since the edit began (or
// since the last take) as a ChartChange, which can undo and redo it. Writes that leave an
// element as it was record nothing. One edit at a time may write a chart between two
// takes.
class ChartEdit
{
public:
    explicit ChartEdit(KeP& kep) : m_kep(kep) {}
    ChartEdit(const ChartEdit&) = delete;
    ChartEdit& operator=(const ChartEdit&) = delete;

    KeP& chart() { return m_kep; }
    const KeP& chart() const { return m_kep; }

    // One element; an index outside the grid is refused (false) and changes nothing.
    bool set(int64_t index, uint8_t value);
    // 1 becomes 0 and every other value 1.
    bool toggle(int64_t index);
    // Elements first .. first + values.size() - 1 take the values given, as if each were
    // set in turn, but fast enough for a whole chart: stretches that stay as they were are
    // passed over a word at a time. Refused (false, nothing written) unless every one of
    // them lies in the grid.
    bool writeSpan(int64_t first, std::span<const uint8_t> values);

    // Resizes, each keeping every value at its index: a shorter grid drops the cells
    // beyond its end, a longer one adds clear cells. Counts below 0 or above
    // KeP::MaxCells are refused and change nothing.
    bool resizeCells(int64_t cells);
    bool fitToSong(int32_t songLenMs);   // music opened: cut or extend to the song
    bool growForSong(int32_t songLenMs); // tempo committed: grow only
    bool growToHold(int64_t cell);       // script import: make `cell` exist
    void clearGrid();                    // back to "no grid"
    // The whole grid at once (a chart read from a file); only the elements that differ
    // are recorded. Refused unless the size is 0 or 7n + 1 with n up to KeP::MaxCells.
    bool replaceGrid(std::vector<uint8_t> grid);

    bool changed() const { return m_started && (m_count > 0 || gridSize() != m_sizeBefore); }
    // What was changed since the edit began or since the last take; the edit goes on.
    [[nodiscard]] ChartChange take();

private:
    uint32_t gridSize() const;
    void begin();
    void record(size_t index, uint8_t difference);
    // Records every element where old and new differ, old being overwritten with new.
    void recordAndCopy(size_t first, uint8_t* old, const uint8_t* updated, size_t count);
    void setSize(size_t size);
    void sortRecord();

    KeP& m_kep;
    bool m_started = false;
    uint32_t m_sizeBefore = 0;
    uint32_t m_count = 0;
    int64_t m_last = 0;
    bool m_ascending = true;
    bool m_unit = true;                 // every difference so far is 1
    std::vector<uint8_t> m_steps;       // indices, as zigzag steps from the one before
    std::vector<uint8_t> m_differences; // old XOR new, kept once one of them is not 1
};

} // namespace tavix
