// What a chart was made with, kept beside it: written with every save, and given back
// when the chart opens, as the user would have given it: the song first, then the tempo and
// offset commits, then the chart, all one step.
#include "KE.h"

#include "ChartFile.h"
#include "ChartHistory.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "OpenFailureText.h"
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

void KE::keepChartNotes(const QString& chartPath)
{
    ChartSideFile::Notes notes;
    notes.songPath = m_state.MusicStream != 0 ? absolutePath(m_musicPath) : QString();
    notes.tempoText = m_sBpmB.text();
    notes.bpm = localeNumber(m_services.locale, notes.tempoText);
    notes.offsetText = m_slSetOff.text();
    QString error;
    if (!ChartSideFile::write(chartPath, notes, m_services.chartNotesDir, &error))
        m_services.messages.warning(
            this, tr("Save File"),
            tr("The chart was saved, but its song, tempo and offset could not be kept beside it "
               "in \"%1\": %2.")
                .arg(QDir::toNativeSeparators(ChartSideFile::besidePath(chartPath)), error));
}

QString KE::findSong(const QString& songPath, const QString& chartPath)
{
    const QFileInfo song(songPath);
    if (song.isFile())
        return song.absoluteFilePath();
    // Moved together with the chart, the song is likely beside it still.
    const QFileInfo beside(QFileInfo(chartPath).dir().filePath(song.fileName()));
    if (beside.isFile())
        return beside.absoluteFilePath();
    cCommonDialog dialog(m_services.chooser);
    dialog.DialogTitle = tr("Where is the song \"%1\"?").arg(song.fileName());
    dialog.CancelError = true;
    dialog.hwnd = this;
    dialog.flags = 0x1800;
    dialog.InitDir = QFileInfo(chartPath).absolutePath();
    dialog.Filter =
        QStringLiteral("Music File (*.Ogg,*.Mp3,*.Wav)|*.Ogg;*.Mp3;*.Wav|All Files (*.*)|*.*");
    dialog.FilterIndex = 1;
    return dialog.ShowOpen() ? dialog.filename : QString();
}

bool KE::openChartWithNotes(const QString& name, const QString& title,
                            const ChartSideFile::Notes& notes, bool keepSong)
{
    if (m_state.IsPlaying || m_state.IsClosing)
        return false;
    // A chart that does not open leaves the song, tempo and offset as they were: it is read
    // once on the side before any of them changes.
    {
        KeP trial;
        trial.ImportRow = m_kep.ImportRow;
        trial.ImportCol = m_kep.ImportCol;
        trial.ImportCell = m_kep.ImportCell;
        ChartEdit edit(trial);
        ChartResult result;
        try {
            result = LoadChart(edit, name);
        } catch (const std::bad_alloc&) {
            m_services.messages.warning(this, tr("Open File"),
                                        OpenFailureText::chartTooLarge(name));
            return false;
        }
        if (!result.ok()) {
            m_services.messages.warning(this, tr("Open File"),
                                        OpenFailureText::chart(name, result));
            return false;
        }
    }

    flushRecording();
    m_history->beginGroup(tr("Open Chart"));
    const QString tempo = notes.tempoTextIn(m_services.locale);
    const QString tempoBox = m_sBpm.text();
    const bool songOpen = m_state.MusicStream != 0;
    if (!keepSong && !notes.songPath.isEmpty() &&
        (!songOpen || absolutePath(notes.songPath) != absolutePath(m_musicPath))) {
        const QString song = findSong(notes.songPath, name);
        if (!song.isEmpty()) {
            // The song sized at the chart's tempo; a native chart replaces what it cuts.
            if (!tempo.isEmpty())
                m_sBpm.setText(tempo);
            openMusicFile(song, QFileInfo(song).fileName(),
                          !hasExtension(name, QLatin1StringView(".zts")));
        }
    }
    if (!tempo.isEmpty()) {
        m_sBpm.setText(tempo);
        commitTempo();
        // Refused, the box shows what it held before.
        if (m_sBpmB.text() != tempo) {
            m_sBpm.setText(tempoBox);
            m_sBpm.setVisible(false);
            m_sBpmB.setVisible(true);
        }
    }
    if (!notes.offsetText.isEmpty()) {
        const QString offsetBox = m_sOff.text();
        m_sOff.setText(notes.offsetText);
        commitOffset();
        if (m_slSetOff.text() != notes.offsetText)
            m_sOff.setText(offsetBox);
    }
    const bool opened = openChart(name, title, name);
    m_history->endGroup();
    chartChanged();
    return opened;
}

} // namespace tavix
