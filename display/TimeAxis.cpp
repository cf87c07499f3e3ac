#include "TimeAxis.h"

#include "KeP.h"
#include "Rounding.h"

#include <algorithm>

namespace tavix {

bool TimeAxis::isCellWidth(int width)
{
    return std::find(CellWidths.begin(), CellWidths.end(), width) != CellWidths.end();
}

int TimeAxis::zoomedIn(int width)
{
    for (const int w : CellWidths)
        if (w > width)
            return w;
    return CellWidths.back();
}

int TimeAxis::zoomedOut(int width)
{
    for (auto w = CellWidths.rbegin(); w != CellWidths.rend(); ++w)
        if (*w < width)
            return *w;
    return CellWidths.front();
}

TimeAxis TimeAxis::at(const KeP& kep, int32_t scrollMs, int cellWidth)
{
    TimeAxis axis;
    axis.cellWidth = isCellWidth(cellWidth) ? cellWidth : ClassicCellWidth;
    axis.scrollMs = scrollMs;
    axis.firstBeat = kep.MsToBeat(scrollMs);
    // A power of two times the fraction: exact, so 32 gives the classic x 64 / 2 to the bit.
    axis.pixOff = truncInt32(double(kep.MsToBeatFrac(scrollMs)) * axis.cellWidth);
    return axis;
}

int TimeAxis::glyphWidth() const
{
    return std::min(FullGlyph, 2 * cellWidth - 2);
}

int TimeAxis::markerHeight() const
{
    return glyphWidth() == FullGlyph
               ? FullMarkerHeight
               : (FullMarkerHeight * glyphWidth() + FullGlyph / 2) / FullGlyph;
}

double TimeAxis::cellStart(int64_t cell) const
{
    return double(LeftMargin) + double(cellWidth) * double(cell - firstBeat) - pixOff;
}

float TimeAxis::glyphLeft(int64_t cell) const
{
    const int64_t start = int64_t(cellWidth) * (cell - firstBeat) - pixOff;
    return float(start + LeftMargin + cellWidth / 2 - 1 - glyphWidth() / 2);
}

float TimeAxis::glyphTop(int row) const
{
    const int k = row - 1;
    return float(64 * k + (row <= 3 ? 0 : 14) + (FullGlyph - glyphWidth()) / 2);
}

double TimeAxis::pixelsAfterScroll(double sinceScrollMs, float beatRate) const
{
    return double(beatRate) * sinceScrollMs * double(cellWidth);
}

int64_t TimeAxis::cellAt(float x) const
{
    const double inCells = truncReal((double(x) + pixOff - LeftMargin) / cellWidth);
    return int64_t(nearestReal(inCells + firstBeat));
}

std::optional<int32_t> TimeAxis::timeAt(float x, float beatRate) const
{
    const double ms = (double(x) - LeftMargin) / cellWidth / double(beatRate) + scrollMs;
    return nearestTo<int32_t>(ms);
}

} // namespace tavix
