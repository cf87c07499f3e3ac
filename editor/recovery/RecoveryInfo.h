#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tavix {

// What a recovered chart belongs to, kept in the side file next to it: the chart file it
// was opened from or last saved to (empty when none), the song (both absolute paths), the
// tempo and offset texts, and the digest of the kept chart they were noted with.
struct RecoveryInfo
{
    QString chartPath;
    QString songPath;
    QString tempoText;
    QString offsetText;
    QDateTime savedAt;
    QByteArray chartDigest; // hex; empty in side files of earlier versions
};

} // namespace tavix
