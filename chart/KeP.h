#pragma once

#include "CellCount.h"
#include "GridBytes.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

// Flat grid indices of a selection: element 0 holds nothing, elements 1..n the keys.
// The empty selection is the list with the single element 0.
using SelectionList = std::vector<int32_t>;

inline SelectionList emptySelection()
{
    return SelectionList(1, 0);
}
inline int32_t selectionCount(const SelectionList& s)
{
    return s.empty() ? 0 : int32_t(s.size()) - 1;
}

// Measure, beat within the measure and sixteenth within the beat of a cell.
struct MeasurePos
{
    int32_t measure = 1;   // counted from 1
    int32_t beat = 0;      // 0..3
    int32_t sixteenth = 0; // 0..3
};

// Keyboard key codes of the keypad keys that record into the chart, and their rows.
struct KeyRow
{
    uint8_t code;
    int row;
};
inline constexpr std::array<KeyRow, 8> KeyToRow{
    {{0x47, 1}, {0x4B, 2}, {0x4F, 3}, {0x49, 4}, {0x4D, 5}, {0x51, 6}, {0x4C, 7}, {0x52, 7}}};

// The row a keyboard key code enters, or nothing for a key that enters none.
constexpr std::optional<int> rowOfKeyCode(uint8_t code)
{
    for (const KeyRow& key : KeyToRow)
        if (key.code == code)
            return key.row;
    return std::nullopt;
}

// The program-wide chart values: the grid, its length and rate, the script-mode flag,
// the script importer's carried-over state, the keyboard buffers and the script
// templates. The application makes one; every test makes its own. The grid and its
// length are read here and changed only through ChartEdit, which records every change.
class KeP
{
public:
    static constexpr int RowsPerCell = 7;
    static constexpr int32_t MaxCells = 4'194'304;

    KeP() = default;
    KeP(const KeP&) = default;
    KeP(KeP&&) = default;
    // One chart is never assigned over another: that would change a grid unrecorded.
    KeP& operator=(const KeP&) = delete;
    KeP& operator=(KeP&&) = delete;

    // Element 0 belongs to no cell; cell c owns elements 7c+1..7c+7. An empty grid
    // means no grid exists yet; otherwise KeyGrid.size() == 7 * TotalBeats + 1.
    GridBytes KeyGrid;
    CellCount TotalBeats;
    float BeatRate = 0.0f; // cells per millisecond

    bool ScriptMode = false;

    int32_t ImportRow = 0;
    int32_t ImportCol = 0;
    int32_t ImportCell = 0;

    std::array<uint8_t, 256> KeyState{};
    std::array<uint8_t, 256> PrevKeyState{};

    QByteArray HeaderTemplate; // the SYLK header, as written
    QByteArray TitleTemplate;  // the SYLK column titles, as written

    bool hasGrid() const { return !KeyGrid.empty(); }
    int32_t upperIndex() const { return hasGrid() ? int32_t(KeyGrid.size()) - 1 : 0; }
    static int64_t flatIndex(int64_t cell, int row) { return cell * RowsPerCell + row; }
    uint8_t at(int32_t cell, int row) const { return KeyGrid[size_t(flatIndex(cell, row))]; }
    bool isSet(int32_t cell, int row) const { return at(cell, row) == 1; }
    bool anyKeySet(int32_t cell) const;

    // Conversions from milliseconds to cells; the product is formed in double from the
    // single-precision rate.
    int32_t MsToBeat(int64_t ms) const;
    int32_t MsToBeatHalf(int64_t ms) const;
    int32_t MsToBeatNear(int64_t ms) const;
    float MsToBeatFrac(int64_t ms) const;

    // BPM / 1000 / 60 * 4 in double, stored in single precision.
    static float rateFromBpm(double bpm);
    void setTempo(double bpm) { BeatRate = rateFromBpm(bpm); }

    // The cells a song of this length has at the current rate; nothing when the product
    // is not a number or beyond 64 bits.
    std::optional<int64_t> cellsForSong(int32_t songLenMs) const;
    int32_t songLenFromChart() const; // chart opened without music
    // The element count of a grid of `cells` cells.
    static size_t gridSize(int64_t cells) { return size_t(cells) * RowsPerCell + 1; }
    // Makes room for a grid of `size` elements that may keep growing a cell at a time:
    // geometrically, but never beyond the largest grid a chart may have.
    static void reserveGrid(std::vector<uint8_t>& grid, size_t size);

    static MeasurePos measureOf(int32_t cell);

    // "m:ss" of a position.
    static QString MstoMin(int64_t ms);
    // The last four characters of "000" followed by the number.
    static QString fourDigits(int64_t n);
    // "pppp/tttt" for a position: its cell, then TotalBeats.
    QString beatCounter(int64_t ms) const;
    // "0000/tttt", the counter after opening music or a chart, or stopping.
    QString beatCounterAtStart() const;
};

} // namespace tavix
