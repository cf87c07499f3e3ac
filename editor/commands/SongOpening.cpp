#include "SongOpening.h"

#include "ChartTail.h"
#include "KeP.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "OpenFailureText.h"
#include "Rounding.h"
#include "cCommonDialog.h"

#include <QFileInfo>
#include <QStringList>

#include <new>

namespace tavix {

namespace {

const char* const OpenMusicTitle = "Open Music";

// "2 keys and 1 marker"
QString marksText(const ChartTail::Marks& marks)
{
    QStringList parts;
    if (marks.keys > 0)
        parts << (marks.keys == 1 ? SongOpening::tr("1 key")
                                  : SongOpening::tr("%1 keys").arg(marks.keys));
    if (marks.markers > 0)
        parts << (marks.markers == 1 ? SongOpening::tr("1 marker")
                                     : SongOpening::tr("%1 markers").arg(marks.markers));
    return parts.join(SongOpening::tr(" and "));
}

} // namespace

std::optional<SongOpening::Chosen> SongOpening::choose(FileChooser& chooser, QWidget* owner,
                                                       const QString& initDir)
{
    cCommonDialog dialog(chooser);
    dialog.DialogTitle = QStringLiteral("Open FIle");
    dialog.CancelError = true;
    dialog.hwnd = owner;
    dialog.flags = 0x1800;
    dialog.InitDir = initDir;
    dialog.Filter =
        QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav)|*.Ogg;*.Mp3;*.Wav|All Files (*.*)|*.*");
    dialog.FilterIndex = 1;
    if (!dialog.ShowOpen())
        return std::nullopt;
    return Chosen{dialog.filename, dialog.FileTitle};
}

std::optional<OpenedSong> SongOpening::open(SoundEngine& engine, MessageService& messages,
                                            QWidget* owner, const QLocale& locale, const KeP& kep,
                                            const QString& path, const QString& tempoText,
                                            bool askBeforeCutting)
{
    const QString shown = QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName();
    const QByteArray encodedPath = path.toUtf8();
    StreamHandle stream = 0;
    try {
        stream = engine.FSOUND_Stream_Open(encodedPath.constData(), FSOUND_NORMAL, 0, 0);
    } catch (const std::bad_alloc&) {
        messages.warning(owner, tr(OpenMusicTitle), OpenFailureText::songTooLarge(shown));
        return std::nullopt;
    }
    if (stream == 0) {
        messages.warning(owner, tr(OpenMusicTitle),
                         OpenFailureText::song(shown, path, engine.lastError()));
        return std::nullopt;
    }
    const int32_t songLenMs = engine.FSOUND_Stream_GetLengthMs(stream);
    const std::optional<float> tempo = tempoRate(locale, tempoText);
    if (!tempo) {
        engine.FSOUND_Stream_Close(stream);
        messages.warning(
            owner, tr(OpenMusicTitle),
            tr("The music file \"%1\" was not opened: the tempo \"%2\" is not a number.")
                .arg(shown, tempoText));
        return std::nullopt;
    }
    const float rate = *tempo;
    const auto cells = nearestTo<int64_t>(double(rate) * double(songLenMs));
    if (!cells || *cells < 0 || *cells > KeP::MaxCells) {
        engine.FSOUND_Stream_Close(stream);
        messages.warning(owner, tr(OpenMusicTitle),
                         tr("The music file \"%1\" was not opened: at a tempo of %2 it needs more "
                            "cells than a chart can hold (%3).")
                             .arg(shown, tempoText)
                             .arg(KeP::MaxCells));
        return std::nullopt;
    }
    // A shorter song cuts the chart; what it would drop is the user's to give up.
    const ChartTail::Marks dropped = ChartTail::from(kep, *cells);
    if (askBeforeCutting && dropped.any() &&
        !messages.askToGoOn(
            owner, tr(OpenMusicTitle),
            tr("%1 past the end of the song will be removed.").arg(marksText(dropped)) +
                QStringLiteral("\n\n") + tr("Open \"%1\" all the same?").arg(shown),
            tr("&Open and Remove"))) {
        engine.FSOUND_Stream_Close(stream);
        return std::nullopt;
    }
    return OpenedSong{stream, songLenMs, rate, *cells};
}

} // namespace tavix
