// Mirror, flip, shift and clear of a selection on a chart with chords and markers: the
// exact bytes after each, and after its undo; shifts past either end refused untouched.
#include "KeyTransforms.h"
#include "ChartEdit.h"
#include "KeP.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace tavix;
using R = KeyTransforms::Reflection;

namespace {

// A chart written cell by cell: the rows each cell holds ("147": keys 7 and 9 and the
// marker), "-" for an empty cell.
KeP chart(const std::string& cells)
{
    KeP kep;
    kep.setTempo(100);
    std::istringstream in(cells);
    std::string cell;
    std::vector<uint8_t> grid(1, 0);
    while (in >> cell) {
        grid.resize(grid.size() + 7, 0);
        for (const char row : cell)
            if (row != '-')
                grid[grid.size() - 8 + size_t(row - '0')] = 1;
    }
    ChartEdit(kep).replaceGrid(grid);
    return kep;
}

std::vector<uint8_t> bytes(const std::string& cells)
{
    return chart(cells).KeyGrid.bytes();
}

// Runs an edit as one step; checks that its undo gives the chart back byte for byte.
template <class Edit> void expectStep(const std::string& before, const std::string& after, Edit f)
{
    KeP kep = chart(before);
    ChartEdit edit(kep);
    f(edit);
    const ChartChange step = edit.take();
    EXPECT_EQ(kep.KeyGrid, bytes(after));
    ASSERT_TRUE(step.undo(kep));
    EXPECT_EQ(kep.KeyGrid, bytes(before));
}

SelectionList keysAt(std::initializer_list<std::pair<int, int>> cellRows)
{
    SelectionList keys = emptySelection();
    for (const auto& [cell, row] : cellRows)
        keys.push_back(int32_t(KeP::flatIndex(cell, row)));
    return keys;
}

const std::string Chords = "147 2 357 6 - 1";

} // namespace

TEST(KeyTransforms, MirrorAndFlipOfARangeSwapTheRowsAndLeaveTheMarkers)
{
    expectStep(Chords, "147 5 267 3 - 1", [](ChartEdit& e) {
        KeyTransforms::reflect(e, CellRange{0, 4}, R::Mirror);
    });
    expectStep(Chords, "367 2 157 4 - 1", [](ChartEdit& e) {
        KeyTransforms::reflect(e, CellRange{0, 4}, R::Flip);
    });
    // A range reaching past the end takes what lies in the chart.
    expectStep(Chords, "147 2 357 6 - 4", [](ChartEdit& e) {
        KeyTransforms::reflect(e, CellRange{5, 50}, R::Mirror);
    });
    // A foreign value moves as it is.
    KeP kep = chart("-");
    ChartEdit(kep).set(KeP::flatIndex(0, 1), 2);
    ChartEdit edit(kep);
    KeyTransforms::reflect(edit, CellRange{0, 0}, R::Mirror);
    EXPECT_EQ(kep.at(0, 4), 2);
    EXPECT_EQ(kep.at(0, 1), 0);
}

TEST(KeyTransforms, TheKeysOfARectangleMoveAloneAndMergeWithOthers)
{
    SelectionList moved;
    // Key 7 of cell 0 lands on key 9, which was not selected; key 1 of cell 2 on row 6.
    expectStep(Chords, "47 2 567 6 - 1", [&](ChartEdit& e) {
        moved = KeyTransforms::reflect(e, keysAt({{0, 1}, {2, 3}}), R::Mirror);
    });
    EXPECT_EQ(moved, keysAt({{0, 4}, {2, 6}}));
    // Every key of a range, listed, does what the range does.
    for (const R reflection : {R::Mirror, R::Flip}) {
        KeP byRange = chart(Chords);
        KeP byList = chart(Chords);
        ChartEdit a(byRange), b(byList);
        KeyTransforms::reflect(a, CellRange{0, 5}, reflection);
        KeyTransforms::reflect(b, KeyTransforms::keysOf(byList, CellRange{0, 5}), reflection);
        EXPECT_EQ(byRange.KeyGrid, byList.KeyGrid);
    }
    EXPECT_EQ(KeyTransforms::keysOf(chart(Chords), CellRange{1, 2}),
              keysAt({{1, 2}, {2, 3}, {2, 5}}));
}

TEST(KeyTransforms, ShiftsMoveKeysByCellsAndAreRefusedAtTheEnds)
{
    // Cells 1-3 two later: the markers stay, cell 3's own key leaves, cell 5's stays.
    expectStep(Chords + " -", "147 - 7 2 35 16 -", [](ChartEdit& e) {
        EXPECT_TRUE(KeyTransforms::shift(e, CellRange{1, 3}, 2));
    });
    expectStep(Chords, "1247 - 357 6 - 1", [](ChartEdit& e) {
        SelectionList keys = keysAt({{1, 2}});
        EXPECT_TRUE(KeyTransforms::shift(e, keys, -1));
        EXPECT_EQ(keys, keysAt({{0, 2}}));
    });
    // Empty cells may go out: only keys are refused.
    expectStep(Chords + " -", "147 2 357 6 - - 1", [](ChartEdit& e) {
        EXPECT_TRUE(KeyTransforms::shift(e, CellRange{5, 6}, 1));
    });

    KeP kep = chart(Chords);
    const auto late = KeyTransforms::shiftOverflow(kep, CellRange{3, 5}, 2);
    EXPECT_EQ(late.keys, 1); // cell 5's key: cell 4 is empty and cell 3's lands on 5
    EXPECT_FALSE(late.pastStart);
    const auto early = KeyTransforms::shiftOverflow(kep, CellRange{0, 3}, -2);
    EXPECT_EQ(early.keys, 3);
    EXPECT_TRUE(early.pastStart);
    ChartEdit edit(kep);
    EXPECT_FALSE(KeyTransforms::shift(edit, CellRange{3, 5}, 2));
    EXPECT_FALSE(KeyTransforms::shift(edit, CellRange{0, 3}, -2));
    SelectionList keys = keysAt({{5, 1}});
    EXPECT_FALSE(KeyTransforms::shift(edit, keys, 1));
    EXPECT_EQ(keys, keysAt({{5, 1}}));
    EXPECT_FALSE(edit.changed());
    EXPECT_EQ(kep.KeyGrid, bytes(Chords));
}

TEST(KeyTransforms, ClearingARangeKeepsItsMarkers)
{
    expectStep(Chords, "147 - 7 - - 1", [](ChartEdit& e) {
        KeyTransforms::clear(e, CellRange{1, 4});
    });
    expectStep(Chords, "7 - 7 - - -", [](ChartEdit& e) {
        KeyTransforms::clear(e, CellRange{-3, 99});
    });
}
