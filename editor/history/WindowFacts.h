#pragma once

#include <QString>

#include <cstdint>

namespace tavix {

// What a step changes in the window besides the grid. A tempo commit sets the tempo and
// the rate; an offset commit the offset and its term. A chart open sets the chart file
// shown and the script importer's carried-over state and, without music, the rate, the
// song length and the time bar's range that the chart's length gives; once music is loaded
// those belong to the song.
struct WindowFacts
{
    enum class Kind { Tempo, Offset, ChartFile };
    Kind kind = Kind::Tempo;
    QString tempoText;
    float BeatRate = 0.0f;
    QString offsetText;
    double OffsetVal = 0.0;
    int32_t SongLenMs = 0;
    int32_t timeBarMaximum = 0;
    QString chartTitle;
    QString chartPath;
    int32_t ImportRow = 0;
    int32_t ImportCol = 0;
    int32_t ImportCell = 0;

    bool operator==(const WindowFacts&) const = default;
};

} // namespace tavix
