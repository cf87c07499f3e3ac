#include "KeP.h"

#include "Rounding.h"

#include <algorithm>

namespace tavix {

bool KeP::anyKeySet(int32_t cell) const
{
    for (int r = 1; r <= 6; ++r)
        if (isSet(cell, r))
            return true;
    return false;
}

int32_t KeP::MsToBeat(int64_t ms) const
{
    return truncInt32(double(ms) * double(BeatRate));
}

int32_t KeP::MsToBeatHalf(int64_t ms) const
{
    const double rate = BeatRate;
    return truncInt32(double(ms) * rate + rate / 2.0);
}

int32_t KeP::MsToBeatNear(int64_t ms) const
{
    return nearestInt32(double(ms) * double(BeatRate));
}

float KeP::MsToBeatFrac(int64_t ms) const
{
    const double p = double(ms) * double(BeatRate);
    return float(p - truncReal(p));
}

float KeP::rateFromBpm(double bpm)
{
    return float(bpm / 1000.0 / 60.0 * 4.0);
}

std::optional<int64_t> KeP::cellsForSong(int32_t songLenMs) const
{
    return nearestTo<int64_t>(double(BeatRate) * double(songLenMs));
}

void KeP::reserveGrid(std::vector<uint8_t>& grid, size_t size)
{
    if (size <= grid.capacity())
        return;
    const size_t grown = grid.capacity() + grid.capacity() / 2;
    grid.reserve(std::min(gridSize(MaxCells), std::max(size, grown)));
}

int32_t KeP::songLenFromChart() const
{
    if (BeatRate == 0.0f)
        return 0;
    return nearestInt32(double(TotalBeats) / double(BeatRate));
}

MeasurePos KeP::measureOf(int32_t cell)
{
    return {cell / 16 + 1, (cell % 16) / 4, (cell % 16) % 4};
}

QString KeP::MstoMin(int64_t ms)
{
    const int64_t minutes = int64_t(truncReal(double(ms) / 1000.0 / 60.0));
    const int64_t seconds = int64_t(truncReal(double(ms) / 1000.0)) % 60;
    return QString::number(minutes) + QLatin1Char(':') +
           (QStringLiteral("0") + QString::number(seconds)).right(2);
}

QString KeP::fourDigits(int64_t n)
{
    return (QStringLiteral("000") + QString::number(n)).right(4);
}

QString KeP::beatCounter(int64_t ms) const
{
    return fourDigits(MsToBeat(ms)) + QLatin1Char('/') + fourDigits(TotalBeats);
}

QString KeP::beatCounterAtStart() const
{
    return QStringLiteral("0000/") + fourDigits(TotalBeats);
}

} // namespace tavix
