#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tavix {

class KeP;

// The chart's time axis on the canvas at one zoom: how wide a cell is, which cell stands
// at the grid's left edge (x = 16) and how far it has scrolled past it, and which cell,
// time and pixel answer one another. At 32 pixels a cell it is the classic canvas, with
// the classic arithmetic to the bit; the other widths scale the same formulas.
struct TimeAxis
{
    static constexpr int LeftMargin = 16;
    static constexpr int ClassicCellWidth = 32;
    static constexpr std::array<int, 4> CellWidths{8, 16, 32, 64};
    // A glyph is 62 pixels square at 32 and 64; narrower cells get narrower glyphs, so a
    // zoomed-out chart still shows one arrow per cell rather than a smear.
    static constexpr int FullGlyph = 62;
    static constexpr int FullMarkerHeight = 36;
    static constexpr int MarkerTop = 396;

    int cellWidth = ClassicCellWidth;
    int32_t scrollMs = 0;  // chart time at the left grid edge
    int32_t firstBeat = 0; // the cell at the left edge
    int32_t pixOff = 0;    // how far that cell has scrolled past the edge, 0 .. cellWidth - 1

    // The axis at a scroll position; a width that is not one of CellWidths is taken as 32.
    static TimeAxis at(const KeP& kep, int32_t scrollMs, int cellWidth);
    static bool isCellWidth(int width);
    // The next width in or out, or the same one at either end.
    static int zoomedIn(int width);
    static int zoomedOut(int width);

    int glyphWidth() const;
    int markerHeight() const;
    // Cell c's time starts at x = 16 + w (c - FirstBeat) - PixOff.
    double cellStart(int64_t cell) const;
    // Where cell c's glyph begins: at 32 pixels X(c) = 32 (c - FirstBeat) - PixOff, 16
    // pixels before the cell's time; the glyph is centred one pixel left of the cell's middle.
    float glyphLeft(int64_t cell) const;
    // The x of the glyph's centre, the point a drag rectangle must hold to select the key.
    float glyphCentre(int64_t cell) const { return glyphLeft(cell) + float(glyphWidth() / 2); }
    // The top of a key glyph of row 1..6 (glyphs narrower than the band sit in its middle).
    float glyphTop(int row) const;
    // The cells a frame walks: FirstBeat to FirstBeat + drawnSpan() (32 at the classic width).
    int64_t drawnSpan() const { return 1024 / cellWidth; }
    // The cursor's distance in pixels right of the grid edge for a time: C of the frame.
    double pixelsAfterScroll(double sinceScrollMs, float beatRate) const;

    // The cell a click at x falls in. The quotient is cut toward zero, so points left of
    // the grid edge still count to the first visible cell.
    int64_t cellAt(float x) const;
    // The chart time at x; nothing when the rate is such that the time does not fit.
    std::optional<int32_t> timeAt(float x, float beatRate) const;
};

} // namespace tavix
