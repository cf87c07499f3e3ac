#include "CanvasView.h"

#include "KeP.h"
#include "Rounding.h"

#include <algorithm>
#include <limits>

namespace tavix {

CanvasView CanvasView::at(const KeP& kep, int32_t timeSetValue)
{
    CanvasView view;
    view.scrollMs = int32_t(std::clamp<int64_t>(int64_t(timeSetValue) * 100,
                                                std::numeric_limits<int32_t>::min(),
                                                std::numeric_limits<int32_t>::max()));
    view.firstBeat = kep.MsToBeat(view.scrollMs);
    view.pixOff = truncInt32(double(kep.MsToBeatFrac(view.scrollMs)) * 64.0 / 2.0);
    return view;
}

int CanvasView::rowAt(float y)
{
    const double v = y;
    // Rows 1 to 3 are 62 pixels high at a pitch of 64; rows 4 to 6 follow a 14-pixel strip.
    for (int i = 0; i < 6; ++i) {
        const double top = 64.0 * i + (i < 3 ? 0.0 : 14.0);
        if (v > top && v < top + 62.0)
            return i + 1;
    }
    if (v > 396.0 && v < 432.0)
        return ConfirmRow;
    return 0;
}

int64_t CanvasView::cellAt(float x) const
{
    const double inCells = truncReal((double(x) + pixOff - LeftMargin) / CellWidth);
    return int64_t(nearestReal(inCells + firstBeat));
}

std::optional<int32_t> CanvasView::timeAt(float x, float beatRate) const
{
    const double ms = (double(x) - LeftMargin) / CellWidth / double(beatRate) + scrollMs;
    return nearestTo<int32_t>(ms);
}

} // namespace tavix
