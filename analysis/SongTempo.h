#pragma once

#include "TempoDetector.h"
#include "TempoResult.h"

#include <QString>

#include <stop_token>

namespace tavix {

// Tempo detection on a song file: decoded at the editor's mix rate, the way the editor
// plays it, so the window and tavix-tempo find the same beats.
struct SongTempo
{
    enum class Status { Done, Cancelled, Unreadable };
    Status status = Status::Done;
    // Why the file could not be used (Unreadable), without the file's name.
    QString reason;
    TempoResult result;

    bool done() const { return status == Status::Done; }
};

// The offset box's text for a result: three decimals with a point, whatever the locale,
// as the offset box reads it.
inline QString offsetText(const TempoResult& r)
{
    return QString::number(r.offset(), 'f', 3);
}

inline QString offsetText(const TempoCandidate& c)
{
    return QString::number(c.offset(), 'f', 3);
}

// Decodes `path` and detects its tempo; `progress` gets 0..1 over both, and a stop
// requested on `stop` ends either early with Status::Cancelled. Safe on any thread.
SongTempo detectSongTempo(const QString& path, const TempoOptions& options = {},
                          const std::stop_token& stop = {},
                          const TempoDetector::Progress& progress = {});

} // namespace tavix
