#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

// A song as the chart checks take it: its length as the editor would give it, and the
// peak level of every stretch of msPerPeak milliseconds from its start.
struct SongForChecks
{
    int32_t lengthMs = 0;
    double msPerPeak = 0.0;
    std::vector<float> peaks; // the largest absolute sample of each stretch, 1 full scale

    // Decodes the whole song as the editor does. Nothing, and the reason in `why`, when
    // the file cannot be read as a song or this build of the tool reads no songs.
    static std::optional<SongForChecks> read(const QString& path, QString* why);
};

} // namespace tavix
