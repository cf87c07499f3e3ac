#pragma once

#include "CellTiming.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavix {

class KeP;

enum class CheckKind {
    AfterSongEnd,     // keys in cells that begin once the song has ended
    BeforeMusicStart, // keys in the lead, before the music starts
    OverSilence,      // keys where the song is silent
    OddGridValue,     // elements holding a value other than 0 and 1
    MarkerOffPattern, // confirm markers off the every-32-cells pattern the others follow
    TooDense,         // more keys per second than the limit over a window
    QuickRepeat,      // the same key again sooner than the limit
};

// One thing a chart maker should look at, over cells first to last (both included).
struct CheckFinding
{
    CheckKind kind;
    int32_t first = 0;
    int32_t last = 0;
    QString message; // one line

    friend bool operator==(const CheckFinding&, const CheckFinding&) = default;
};

// The limits of the checks. The defaults flag what few players could hit and what a
// rhythm game's judging window could not tell apart.
struct CheckThresholds
{
    double denseKeysPerSecond = 12.0; // more than this ...
    double denseWindowMs = 2000.0;    // ... over this long is too dense
    double repeatMs = 60.0;           // the same key again sooner than this
    float silencePeak = 0.01f;        // a peak below this (about -40 dBFS) is silence ...
    double silenceMinMs = 250.0;      // ... when it lasts this long; shorter dips are the
                                      // gaps between notes
    int32_t markerSpacing = 32;       // as Auto Space lays the confirm markers
};

// The song's loudness as the caller measured it: peaks[i] is the largest absolute sample
// (1 is full scale) over the music's milliseconds [i * msPerPeak, (i + 1) * msPerPeak).
struct SongLevels
{
    double msPerPeak = 10.0;
    std::span<const float> peaks;
};

struct CheckInput
{
    CellTiming timing;                // the rate and the lead, as playback places the cells
    std::optional<double> songLenMs;  // no song-end check without it
    std::optional<SongLevels> levels; // no silence check without them
    CheckThresholds limits;
};

// The checks of a chart, each a linear pass over its cells (the silence check also over
// the levels). A key is an element of rows 1 to 6 holding 1; cell c begins at the music
// instant timing.cellMusicMs(c). Findings of one kind that touch, or that nothing clean of
// that kind separates, are merged into one over their range. The checks that need time
// find nothing without a rate above 0.
class ChartChecks
{
public:
    // Every check, by first cell and then by kind.
    static std::vector<CheckFinding> all(const KeP& kep, const CheckInput& in);

    static std::vector<CheckFinding> afterSongEnd(const KeP& kep, const CheckInput& in);
    static std::vector<CheckFinding> beforeMusicStart(const KeP& kep, const CheckInput& in);
    static std::vector<CheckFinding> overSilence(const KeP& kep, const CheckInput& in);
    static std::vector<CheckFinding> oddGridValues(const KeP& kep);
    // Only where a strict majority of the markers share one place in the pattern.
    static std::vector<CheckFinding> markersOffPattern(const KeP& kep, const CheckInput& in);
    static std::vector<CheckFinding> tooDense(const KeP& kep, const CheckInput& in);
    static std::vector<CheckFinding> quickRepeats(const KeP& kep, const CheckInput& in);
};

} // namespace tavix
