#include "RecoveryQuestion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tavix {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("RecoveryQuestion", text);
}

} // namespace

QString RecoveryQuestion::text(const std::optional<RecoveryInfo>& info,
                               RecoverySet::Pairing pairing)
{
    const RecoveryInfo noted = info.value_or(RecoveryInfo{});
    const QString none = tr("(none)");
    QString song = noted.songPath.isEmpty() ? none : QDir::toNativeSeparators(noted.songPath);
    if (!noted.songPath.isEmpty() && !QFileInfo::exists(noted.songPath))
        song += tr(" (not found: the chart is restored without it)");
    const QString when = noted.savedAt.isValid()
                             ? noted.savedAt.toLocalTime().toString(Qt::TextDate)
                             : tr("unknown");
    QString text =
        tr("The editor ended without closing, and a chart with changes that were not saved "
           "was kept.\n\nChart: %1\nSong: %2\nKept at: %3")
            .arg(noted.chartPath.isEmpty() ? none : QDir::toNativeSeparators(noted.chartPath), song,
                 when);
    if (pairing == RecoverySet::Pairing::NoSideFile)
        text = tr("The editor ended without closing, and a chart with changes that were not "
                  "saved was kept. Its song, tempo and offset were not noted (the editor ended "
                  "while keeping them): it is restored with the song, tempo and offset open "
                  "now.");
    else if (pairing == RecoverySet::Pairing::Mismatched)
        text += tr("\n\nThe song, tempo and offset above were noted for an earlier copy of the "
                   "chart (the editor ended while keeping it): check them after restoring.");
    return text + tr("\n\nRestore it?");
}

} // namespace tavix
