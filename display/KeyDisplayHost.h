#pragma once

#include "CellRange.h"
#include "DragState.h"
#include "KeP.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

namespace tavix {

// What the key display needs of the window: its drag state, the time bar, which the
// display moves to follow the play position, and the chart's owner, who alone changes
// the chart (the display only reads it); and the selections it shows beside the drag
// rectangle's: a range of cells chosen from the keyboard, and keys a command moved.
// How a test play judged a key, shown as a bar of colour under it.
struct KeyMark
{
    enum class Kind : uint8_t { OnTime, Early, Late, Missed };
    int32_t index = 0; // flat index of the key or confirm marker
    Kind kind = Kind::OnTime;
};
using KeyMarks = std::vector<KeyMark>; // by index, ascending

class KeyDisplayHost
{
public:
    virtual ~KeyDisplayHost() = default;
    virtual const DragState& dragState() const = 0;
    virtual void setTimeSetValue(int32_t value) = 0;
    // Every key of these cells is shown selected, the cells outlined.
    virtual CellRange selectedCells() const { return {}; }
    // These keys (flat indices, ascending) are shown selected; none when null.
    virtual const SelectionList* shownKeys() const { return nullptr; }
    // Whether the cell under the cursor is lit (with the guides): the edit cursor, where
    // keys typed go, while the song is stopped or paused.
    virtual bool cursorCellLit() const { return false; }
    // The cells a run loops, shown by a band over them; none when empty.
    virtual CellRange loopCells() const { return {}; }
    // The keys a test play has judged, marked; none when null.
    virtual const KeyMarks* judgedKeys() const { return nullptr; }
    // The display is set up for a chart of `TotalB` cells other than the chart's own
    // count: the owner makes the chart that long through its editing interface, or
    // says it cannot.
    virtual bool fitChart(int32_t TotalB) = 0;
};

// Where frames go: the canvas widget, or an image in tests.
class CanvasSurface
{
public:
    virtual ~CanvasSurface() = default;
    virtual QSize surfaceSize() const = 0;
    virtual void present(const QImage& frame) = 0;
};

} // namespace tavix
