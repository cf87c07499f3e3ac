#include "SongOpening.h"

#include "KeP.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "Rounding.h"
#include "cCommonDialog.h"

#include <QFileInfo>

namespace tavix {

namespace {

const char* const OpenMusicTitle = "Open Music";

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
                                            QWidget* owner, const QLocale& locale,
                                            const QString& path, const QString& tempoText)
{
    const QString shown = QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName();
    const QByteArray encodedPath = path.toUtf8();
    const StreamHandle stream =
        engine.FSOUND_Stream_Open(encodedPath.constData(), FSOUND_NORMAL, 0, 0);
    if (stream == 0) {
        QString reason = engine.lastError();
        if (reason.isEmpty())
            reason = tr("the sound engine cannot read it");
        messages.warning(owner, tr(OpenMusicTitle),
                         tr("The music file \"%1\" cannot be opened: %2.").arg(shown, reason));
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
    return OpenedSong{stream, songLenMs, rate, *cells};
}

} // namespace tavix
