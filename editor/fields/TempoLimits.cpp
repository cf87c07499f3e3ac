#include "TempoLimits.h"

#include "KeP.h"
#include "NumberReading.h"
#include "Rounding.h"

#include <algorithm>

namespace tavix {

std::optional<float> TempoLimits::usableRate(const QLocale& locale, const QString& text,
                                             int32_t songLenMs, int32_t totalBeats)
{
    const std::optional<double> bpm = localeNumber(locale, text);
    const std::optional<float> rate = tempoRate(locale, text);
    if (!bpm || !rate || *bpm < MinBpm || !(*rate > 0.0f))
        return std::nullopt;
    const auto songCells = nearestTo<int64_t>(double(*rate) * double(songLenMs));
    if (!songCells || *songCells > KeP::MaxCells)
        return std::nullopt;
    // The chart never shrinks at a tempo commit: its end is the later of the two.
    const int64_t cells = std::max<int64_t>(*songCells, totalBeats);
    if (!nearestTo<int32_t>(double(cells) / double(*rate)))
        return std::nullopt;
    return rate;
}

} // namespace tavix
