#include "OffsetShift.h"

#include <cmath>

namespace tavix {

std::optional<QString> shiftedOffsetText(double offsetVal, float beatRate, double lateMs)
{
    const double rate = beatRate;
    if (!(rate > 0.0) || !std::isfinite(rate) || !std::isfinite(lateMs) ||
        !std::isfinite(offsetVal))
        return std::nullopt;
    // lead = rate * term and term = (1.4 - offset) * 6000: a cell sounds lateMs later when
    // the lead shrinks by lateMs.
    const double term = offsetVal - lateMs / rate;
    const double offset = 1.4 - term / 6000.0;
    if (!std::isfinite(offset))
        return std::nullopt;
    return QString::number(offset, 'f', 3);
}

} // namespace tavix
