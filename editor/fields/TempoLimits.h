#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace tavix {

// Whether a tempo gives a grid the editor can use. Below one beat a minute the cells are
// so long that the grid is no grid (at 0 it stands still); and the song must fit the
// largest chart at it, and the chart's last cell a position's 32-bit milliseconds.
class TempoLimits
{
public:
    static constexpr double MinBpm = 1.0;

    // The rate of a tempo text the locale takes for a number, when its grid is usable for a
    // song of `songLenMs` (0: none) and a chart of `totalBeats` cells; nothing otherwise.
    static std::optional<float> usableRate(const QLocale& locale, const QString& text,
                                           int32_t songLenMs, int32_t totalBeats);
};

} // namespace tavix
