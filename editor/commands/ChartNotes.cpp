#include "ChartNotes.h"

#include "ChartDocument.h"
#include "ChartFile.h"
#include "KeP.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "OpenFailureText.h"
#include "PlaybackSession.h"
#include "TimingFields.h"
#include "cCommonDialog.h"

#include <QDir>
#include <QFileInfo>

#include <new>

namespace tavix {

namespace {

QString absolutePath(const QString& path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

} // namespace

void ChartNotes::keep(const QString& chartPath)
{
    ChartSideFile::Notes notes;
    notes.songPath = absolutePath(m_p.session.musicPath());
    notes.tempoText = m_p.fields.tempoText();
    notes.bpm = localeNumber(m_locale, notes.tempoText);
    notes.offsetText = m_p.fields.offsetText();
    QString error;
    if (!ChartSideFile::write(chartPath, notes, m_folder, &error))
        m_p.messages.warning(
            m_owner, tr("Save File"),
            tr("The chart was saved, but its song, tempo and offset could not be kept beside it "
               "in \"%1\": %2.")
                .arg(QDir::toNativeSeparators(ChartSideFile::besidePath(chartPath)), error));
}

bool ChartNotes::open(const QString& name, const QString& title, bool keepSong)
{
    // A chart saved here brings back its song, tempo and offset; one without notes opens
    // alone, as any chart does.
    if (const auto notes = ChartSideFile::read(name, m_folder))
        return openWith(name, title, *notes, keepSong);
    return m_host.openChart(name, title, name);
}

QString ChartNotes::findSong(const QString& songPath, const QString& chartPath)
{
    const QFileInfo song(songPath);
    if (song.isFile())
        return song.absoluteFilePath();
    // Moved together with the chart, the song is likely beside it still.
    const QFileInfo beside(QFileInfo(chartPath).dir().filePath(song.fileName()));
    if (beside.isFile())
        return beside.absoluteFilePath();
    cCommonDialog dialog(m_p.chooser);
    dialog.DialogTitle = tr("Where is the song \"%1\"?").arg(song.fileName());
    dialog.CancelError = true;
    dialog.hwnd = m_owner;
    dialog.flags = 0x1800;
    dialog.InitDir = QFileInfo(chartPath).absolutePath();
    dialog.Filter =
        QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav)|*.Ogg;*.Mp3;*.Wav|All Files (*.*)|*.*");
    dialog.FilterIndex = 1;
    return dialog.ShowOpen() ? dialog.filename : QString();
}

bool ChartNotes::openWith(const QString& name, const QString& title,
                          const ChartSideFile::Notes& notes, bool keepSong)
{
    if (m_host.playingOrClosing())
        return false;
    KeP& kep = m_p.document.chart();
    // A chart that does not open leaves the song, tempo and offset as they were: it is read
    // once on the side before any of them changes.
    {
        KeP trial;
        trial.ImportRow = kep.ImportRow;
        trial.ImportCol = kep.ImportCol;
        trial.ImportCell = kep.ImportCell;
        ChartEdit edit(trial);
        ChartResult result;
        try {
            result = LoadChart(edit, name);
        } catch (const std::bad_alloc&) {
            m_p.messages.warning(m_owner, tr("Open File"), OpenFailureText::chartTooLarge(name));
            return false;
        }
        if (!result.ok()) {
            m_p.messages.warning(m_owner, tr("Open File"), OpenFailureText::chart(name, result));
            return false;
        }
    }

    m_p.document.prepareChange();
    ChartHistory& history = m_p.document.history();
    history.beginGroup(tr("Open Chart"));
    const QString tempo = notes.tempoTextIn(m_locale);
    const QString tempoBox = m_p.fields.tempoBoxText();
    const QString songOpen = m_p.session.musicPath();
    if (!keepSong && !notes.songPath.isEmpty() &&
        (songOpen.isEmpty() || absolutePath(notes.songPath) != absolutePath(songOpen))) {
        const QString song = findSong(notes.songPath, name);
        if (!song.isEmpty()) {
            // The song sized at the chart's tempo; a native chart replaces what it cuts.
            if (!tempo.isEmpty())
                m_p.fields.setTempoBoxText(tempo);
            m_host.openSong(song, QFileInfo(song).fileName(),
                            !hasExtension(name, QLatin1StringView(".zts")));
        }
    }
    if (!tempo.isEmpty())
        m_p.fields.commitNotedTempo(tempo, tempoBox);
    if (!notes.offsetText.isEmpty())
        m_p.fields.commitNotedOffset(notes.offsetText);
    const bool opened = m_host.openChart(name, title, name);
    history.endGroup();
    m_p.document.notifyChanged();
    return opened;
}

} // namespace tavix
