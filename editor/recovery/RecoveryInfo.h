#pragma once

#include <QDateTime>
#include <QString>

namespace tavix {

// What a recovered chart belongs to, kept in the side file next to it: the chart file it
// was opened from or last saved to (empty when none), the song, and the tempo and offset
// texts.
struct RecoveryInfo
{
    QString chartPath;
    QString songPath;
    QString tempoText;
    QString offsetText;
    QDateTime savedAt;
};

} // namespace tavix
