// Saving the chart and opening a chart file. A failure is told in a message box that
// names the file and the reason; a failed open changes nothing in the window.
#include "KE.h"

#include "ChartFile.h"
#include "ChartFileDialogs.h"
#include "ChartHistory.h"
#include "KeyCanvas.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "OpenFailureText.h"
#include "Rounding.h"
#include "ScriptReadBack.h"
#include "TavixKey.h"
#include "cCommonDialog.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <new>

namespace tavix {

namespace {

const char* const SaveTitle = "Save File";
const char* const OpenTitle = "Open File";

QString upToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool KE::saveChartCommand()
{
    // The armed auto-space gesture is the pointer's shape; saving puts it back first.
    disarmAutoSpace();
    if (m_state.IsPlaying && !m_state.IsPaused)
        return false;
    // The script exports even without a grid; the native file needs one.
    if (!m_kep.hasGrid() && !m_kep.ScriptMode) {
        m_services.messages.warning(
            this, tr(SaveTitle), tr("There is nothing to save yet: open a song or a chart first."));
        return false;
    }

    cCommonDialog dialog(m_services.chooser);
    ChartFileDialogs::setUpSave(dialog, this, m_startFolder.current(), m_kep.ScriptMode);
    if (!dialog.ShowSave())
        return false;
    const QString name = upToNul(dialog.filename);
    const auto filter = static_cast<int16_t>(dialog.FilterIndex);

    const ChartResult result = SaveChart(m_kep, name, filter);
    if (!result.ok()) {
        // The file that was there is untouched: the new one replaces it only once whole.
        m_services.messages.warning(
            this, tr(SaveTitle),
            tr("The chart was not saved to \"%1\": %2.")
                .arg(shownPath(result.path.isEmpty() ? name : result.path), result.reason));
        return false;
    }
    m_startFolder.remember(result.path);
    // The saved state is the clean state of the history; nothing is left to recover. A
    // script that does not give the chart back (empty cells after its last row, values
    // other than 0 and 1) is not the chart saved: it stays marked, and kept for recovery.
    flushRecording();
    const bool script = filter == 1 && m_kep.ScriptMode;
    if (!script || ScriptReadBack::givesBack(m_kep, result.path))
        m_history->markSaved();
    m_chartPath = result.path.isEmpty() ? name : result.path;
    chartChanged();
    keepChartNotes(m_chartPath);
    m_services.messages.information(this, tr(SaveTitle), QStringLiteral("File Save Complete"));
    return true;
}

void KE::openChartCommand()
{
    // The toolbar disables the button while playing; a shortcut could still get here.
    if (m_state.IsPlaying || m_state.IsClosing)
        return;
    if (!mayLeaveChart(tr("Save them before opening another chart?")))
        return;
    cCommonDialog dialog(m_services.chooser);
    ChartFileDialogs::setUpOpen(dialog, this, m_startFolder.current());
    if (!dialog.ShowOpen())
        return;
    openChartFile(upToNul(dialog.filename), dialog.FileTitle);
}

bool KE::openChartFile(const QString& name, const QString& title, bool keepSong)
{
    // A chart saved here brings back its song, tempo and offset; one without notes opens
    // alone, as any chart does.
    if (const auto notes = ChartSideFile::read(name, m_services.chartNotesDir))
        return openChartWithNotes(name, title, *notes, keepSong);
    return openChart(name, title, name);
}

bool KE::openChart(const QString& name, const QString& title, const QString& chartPath)
{
    if (m_state.IsPlaying || m_state.IsClosing)
        return false;

    // The chart is read through the editing interface, so the open is one step that can
    // be undone; a check that fails after the reading takes the change back, so a failure
    // at any point leaves chart, label and counters as they were.
    flushRecording();
    const WindowFacts before = windowFacts(WindowFacts::Kind::ChartFile);
    const bool hadKeys =
        std::any_of(m_kep.KeyGrid.begin(), m_kep.KeyGrid.end(), [](uint8_t v) { return v != 0; });
    ChartEdit edit(m_kep);
    ChartResult result;
    try {
        result = LoadChart(edit, name);
    } catch (const std::bad_alloc&) {
        // The reading allocates before it replaces anything: the chart is as it was.
        m_services.messages.warning(this, tr(OpenTitle), OpenFailureText::chartTooLarge(name));
        return false;
    }
    if (!result.ok()) {
        m_services.messages.warning(this, tr(OpenTitle), OpenFailureText::chart(name, result));
        return false;
    }
    const auto takeBack = [&] {
        edit.take().undo(m_kep);
        m_kep.ImportRow = before.ImportRow;
        m_kep.ImportCol = before.ImportCol;
        m_kep.ImportCell = before.ImportCell;
    };

    // Without music the chart's own length at the typed tempo sizes the window. This is
    // asked of the stream rather than of the length, which the first chart opened without
    // music sets: a second, longer chart must still be scrolled to its end.
    const bool noMusic = m_state.MusicStream == 0;
    float rate = m_kep.BeatRate;
    int32_t songLenMs = m_state.SongLenMs;
    if (noMusic) {
        const std::optional<float> tempo = tempoRate(m_services.locale, m_sBpm.text());
        if (!tempo || *tempo <= 0.0f) {
            takeBack();
            m_services.messages.warning(
                this, tr(OpenTitle),
                tr("The chart \"%1\" was not opened: without music its length comes from the "
                   "tempo, and the tempo \"%2\" is not a number above 0.")
                    .arg(shownPath(name), m_sBpm.text()));
            return false;
        }
        rate = *tempo;
        const std::optional<int32_t> length =
            nearestTo<int32_t>(double(m_kep.TotalBeats) / double(rate));
        if (!length) {
            const int32_t cells = m_kep.TotalBeats;
            takeBack();
            m_services.messages.warning(
                this, tr(OpenTitle),
                tr("The chart \"%1\" was not opened: at a tempo of %2 its %3 cells would last "
                   "longer than the editor can show.")
                    .arg(shownPath(name), m_sBpm.text())
                    .arg(cells));
            return false;
        }
        songLenMs = *length;
    }

    if (!chartPath.isEmpty())
        m_startFolder.remember(chartPath);
    if (noMusic) {
        m_kep.BeatRate = rate;
        m_state.SongLenMs = songLenMs;
        // The bar counts in steps of 100 ms.
        m_TimeSet.setMaximum(std::max(0, nearestInt32(double(songLenMs) / 100.0)));
        m_TimeSet.setValue(0);
    }
    // Both counters anew, for the cursor over the chart just read (whose length a chart
    // without music sets), so the time and the cell agree.
    m_cPos.setText(PosString(m_state.CursorMs));
    m_cBeat.setText(m_kep.beatCounter(m_state.CursorMs));
    try {
        renderer().Initialise(*m_Picture1, m_kep.TotalBeats);
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    m_scriptFile.setText(title);
    m_chartPath = chartPath;
    m_history->record(QStringLiteral("Open Chart"), edit.take(), before,
                      windowFacts(WindowFacts::Kind::ChartFile));
    // A native file is the chart exactly; a script is, when it went into an empty chart. A
    // file cut short is not: saving it gives another file.
    if (result.cutShort)
        m_history->markUnsaved();
    else if (hasExtension(name, QLatin1StringView(".zts")) || !hadKeys)
        m_history->markSaved();
    chartChanged();
    LoopRender();
    scheduleFrame();
    if (result.cutShort)
        m_services.messages.warning(
            this, tr(OpenTitle), tr("The chart \"%1\" is %2.").arg(shownPath(name), result.note));
    return true;
}

} // namespace tavix
