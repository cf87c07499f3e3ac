#include "EditCursor.h"

#include "KeP.h"
#include "Rounding.h"
#include "TimeAxis.h"

#include <algorithm>
#include <cmath>

namespace tavix {

bool EditCursor::setSnap(int cells)
{
    if (std::find(Snaps.begin(), Snaps.end(), cells) == Snaps.end())
        return false;
    m_snap = cells;
    return true;
}

bool EditCursor::coarser()
{
    const auto at = std::find(Snaps.begin(), Snaps.end(), m_snap);
    if (at == Snaps.end() || at + 1 == Snaps.end())
        return false;
    m_snap = *(at + 1);
    return true;
}

bool EditCursor::finer()
{
    const auto at = std::find(Snaps.begin(), Snaps.end(), m_snap);
    if (at == Snaps.end() || at == Snaps.begin())
        return false;
    m_snap = *(at - 1);
    return true;
}

const char* EditCursor::snapName(int cells)
{
    switch (cells) {
    case 1:
        return "1/16";
    case 2:
        return "1/8";
    default:
        return "1/4";
    }
}

int64_t EditCursor::cellOf(const KeP& kep, int32_t cursorMs)
{
    return kep.MsToBeat(cursorMs);
}

std::optional<int32_t> EditCursor::timeOfCell(const KeP& kep, int64_t cell)
{
    const double rate = double(kep.BeatRate);
    if (!(rate > 0.0) || !std::isfinite(rate))
        return std::nullopt;
    std::optional<int32_t> ms = nearestTo<int32_t>((double(cell) + 0.5) / rate);
    if (!ms)
        return std::nullopt;
    // The single-precision rate can put the middle's millisecond a cell off at the edges
    // of very short cells: walk to the cell itself.
    for (int i = 0; i < 4 && kep.MsToBeat(*ms) > cell && *ms > INT32_MIN; ++i)
        --*ms;
    for (int i = 0; i < 4 && kep.MsToBeat(*ms) < cell && *ms < INT32_MAX; ++i)
        ++*ms;
    return ms;
}

int64_t EditCursor::stepped(int64_t cell, int direction, int step)
{
    const int64_t s = std::max(step, 1);
    // Floor division, so cells before the chart's start step the same way.
    const int64_t below = cell >= 0 ? cell / s * s : -((-cell + s - 1) / s) * s;
    if (direction > 0)
        return below + s;
    return below == cell ? cell - s : below;
}

std::optional<int32_t> EditCursor::followValue(const KeP& kep, const TimeAxis& view, int64_t cell,
                                               int canvasWidth, int32_t barMaximum)
{
    const double rate = double(kep.BeatRate);
    if (!(rate > 0.0) || !std::isfinite(rate))
        return std::nullopt;
    const double start = view.cellStart(cell);
    const bool beforeView = start < 0.0;
    const bool afterView = start + view.cellWidth > double(canvasWidth);
    if (!beforeView && !afterView)
        return std::nullopt;
    constexpr int64_t spare = 4;
    const int64_t shown =
        std::max<int64_t>((canvasWidth - TimeAxis::LeftMargin) / view.cellWidth, 1);
    // The cell that goes to the grid's left edge: the cursor a beat in from the edge it
    // crossed, so stepping on shows what comes and stepping back what came before.
    const int64_t left = afterView ? cell - std::min(spare, shown - 1)
                                   : cell - std::max<int64_t>(shown - 1 - spare, 0);
    // The bar counts 100 ms; rounding down shows that cell whole.
    const double ms = double(std::max<int64_t>(left, 0)) / rate;
    const double value = std::floor(ms / 100.0);
    return int32_t(std::clamp(value, 0.0, double(std::max(barMaximum, 0))));
}

} // namespace tavix
