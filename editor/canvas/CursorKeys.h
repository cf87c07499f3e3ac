#pragma once

#include "CanvasZoom.h"
#include "EditCursor.h"
#include "RangeSelection.h"

#include <cstdint>
#include <optional>

namespace tavix {

class KeP;

// The keys that move the edit cursor, select from it and zoom the time axis: the cursor
// steps by the snap or by a measure onto the middle of a cell, the view turns a page when
// it leaves the canvas, a held Shift selects the cells it passes, and a zoom keeps the
// cursor (or the point asked for) where it stood on the screen. Only while the song is
// stopped or paused, as a click outside the rows.
class CursorKeys
{
public:
    // What the keys need of the window.
    class Host
    {
    public:
        virtual ~Host() = default;
        virtual const KeP& chart() const = 0;
        virtual bool editingAllowed() const = 0;
        virtual int32_t cursorMs() const = 0;
        // As a click outside the rows moves it: the music, the counters, the resume point.
        virtual void moveCursor(int32_t ms) = 0;
        virtual int32_t viewValue() const = 0;
        // The last value of the time bar at the zoom of now.
        virtual int32_t lastViewValue() const = 0;
        virtual void setViewValue(int32_t value) = 0;
        // A keyboard selection begins: the drag rectangle's selection ends.
        virtual void rangeSelectionBegins() = 0;
        virtual void zoomChanged(int cellWidth) = 0;
        virtual void redraw() = 0;
    };

    // The zoom is the view's, shared with everything that places or draws it.
    CursorKeys(Host& host, CanvasZoom& zoom, int canvasWidth)
        : m_host(host), m_zoom(zoom), m_canvasWidth(canvasWidth)
    {
    }

    EditCursor& cursor() { return m_cursor; }
    const EditCursor& cursor() const { return m_cursor; }
    RangeSelection& selection() { return m_selection; }
    const RangeSelection& selection() const { return m_selection; }

    // The cell the cursor is in.
    int64_t cursorCell() const;

    // One step of the snap, or a measure, back (-1) or on (+1); selecting the cells passed
    // when `select`, else ending a keyboard selection.
    void step(int direction, bool byMeasure, bool select);
    void selectAll();
    // The cursor `cells` later (earlier when negative), its selection with it: the keys
    // selected were shifted.
    void moveWithKeys(int64_t cells);
    // Zoom in (+1) or out (-1) by steps; `anchorX` is the canvas point to keep in place
    // (a wheel turned there), otherwise the cursor when it is on the canvas, else the
    // canvas's middle.
    void zoomBy(int steps, std::optional<float> anchorX = std::nullopt);
    // A turn of the wheel with Ctrl at canvas x.
    void zoomWheel(int angle, float anchorX);

    // Puts the cursor in `cell`, the view following when the cell is off the canvas.
    void placeCursor(int64_t cell);

private:
    void zoomTo(int width, std::optional<float> anchorX);

    Host& m_host;
    CanvasZoom& m_zoom;
    int m_canvasWidth;
    EditCursor m_cursor;
    RangeSelection m_selection;
};

} // namespace tavix
