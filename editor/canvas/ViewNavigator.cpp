#include "ViewNavigator.h"

#include "Rounding.h"
#include "TimeAxis.h"

#include <algorithm>
#include <cmath>

namespace tavix {

int32_t ViewNavigator::moveByCells(double cells, int32_t value, int32_t maximum, float beatRate)
{
    const double rate = double(beatRate);
    if (!(rate > 0.0) || !std::isfinite(rate) || maximum <= 0)
        return std::clamp(value, 0, std::max(maximum, 0));
    double aim = m_aimMs && m_aimValue == value ? *m_aimMs : double(value) * 100.0;
    aim = std::clamp(aim + cells / rate, 0.0, double(maximum) * 100.0);
    const int32_t target = std::clamp(nearestInt32(aim / 100.0), 0, maximum);
    m_aimMs = aim;
    m_aimValue = target;
    return target;
}

int32_t ViewNavigator::step(Step step, int32_t value, int32_t maximum, float beatRate,
                            int cellWidth)
{
    const double page = cellsPerPage(cellWidth > 0 ? cellWidth : TimeAxis::ClassicCellWidth);
    switch (step) {
    case Step::BeatBack:
        return moveByCells(-CellsPerBeat, value, maximum, beatRate);
    case Step::BeatOn:
        return moveByCells(CellsPerBeat, value, maximum, beatRate);
    case Step::PageBack:
        return moveByCells(-page, value, maximum, beatRate);
    case Step::PageOn:
        return moveByCells(page, value, maximum, beatRate);
    case Step::Start:
        m_aimMs.reset();
        return 0;
    case Step::End:
        m_aimMs.reset();
        return std::max(maximum, 0);
    }
    return value;
}

int32_t ViewNavigator::wheel(int angle, bool byMeasure, int32_t value, int32_t maximum,
                             float beatRate)
{
    // Turning the wheel towards the user goes on in the song, as a page scrolls down.
    m_wheelAngle -= angle;
    const int notches = m_wheelAngle / 120;
    if (notches == 0)
        return value;
    m_wheelAngle -= notches * 120;
    const double cells = double(notches) * (byMeasure ? CellsPerMeasure : CellsPerBeat);
    return moveByCells(cells, value, maximum, beatRate);
}

} // namespace tavix
