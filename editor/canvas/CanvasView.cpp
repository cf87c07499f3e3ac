#include "CanvasView.h"

#include "KeP.h"
#include "Rounding.h"

#include <algorithm>
#include <cmath>
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

int32_t CanvasView::lastValue(const KeP& kep, int32_t barMaximum)
{
    const int32_t maximum = std::max(barMaximum, 0);
    const double rate = double(kep.BeatRate);
    const int64_t last = int64_t(kep.TotalBeats) - 1;
    if (!(rate > 0.0) || !std::isfinite(rate))
        return maximum;
    if (last < 0)
        return 0;
    // The last glyph ends 62 pixels after its cell's x; the canvas is 974 wide.
    const auto fits = [&](int32_t value) {
        const CanvasView view = at(kep, value);
        return 32 * (last - view.firstBeat) - view.pixOff + 62 <= 974;
    };
    return lowestFitting(double(last) - (974.0 - 62.0) / CellWidth, rate, maximum, fits);
}

int32_t CanvasView::lowestFitting(double cellsBefore, double beatRate, int32_t maximum,
                                  const std::function<bool(int32_t)>& fits)
{
    // Close by arithmetic, then exact by the view's own rounding.
    auto value =
        int32_t(std::clamp(std::floor(cellsBefore / beatRate / 100.0), 0.0, double(maximum)));
    while (value < maximum && !fits(value))
        ++value;
    while (value > 0 && fits(value - 1))
        --value;
    return value;
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
