// The chart's history in the window: the facts a step changes besides the grid, undo and
// redo, the " *" of unsaved changes, the question before they are lost, the autosave and
// the recovery of a chart a previous editor left behind.
#include "KE.h"

#include "Autosave.h"
#include "ChartReportWiring.h"

namespace tavix {

namespace {

const char* const Caption = "Zorvik Tavix Editor v1.68";

} // namespace

void KE::chartChanged()
{
    const QString caption = QString::fromUtf8(Caption);
    setWindowTitle(isModified() ? caption + QStringLiteral(" *") : caption);
    if (m_autosave)
        m_autosave->chartChanged(isModified());
    if (m_report)
        m_report->chartChanged();
}

WindowFacts KE::windowFacts(WindowFacts::Kind kind) const
{
    const WindowControls& controls = *m_controls;
    WindowFacts f;
    f.kind = kind;
    m_fields.putFacts(f);
    f.SongLenMs = m_session.songLenMs();
    f.timeBarMaximum = controls.TimeSet.maximum();
    f.chartTitle = controls.scriptFile.text();
    f.chartPath = m_document.path();
    f.ImportRow = m_kep.ImportRow;
    f.ImportCol = m_kep.ImportCol;
    f.ImportCell = m_kep.ImportCell;
    return f;
}

void KE::applyFacts(const WindowFacts& f)
{
    if (f.kind != WindowFacts::Kind::ChartFile) {
        m_fields.applyFacts(f);
        return;
    }
    scriptFile().setText(f.chartTitle);
    m_document.setPath(f.chartPath);
    m_kep.ImportRow = f.ImportRow;
    m_kep.ImportCol = f.ImportCol;
    m_kep.ImportCell = f.ImportCell;
    // What a chart opened without music gave the window; once a song is loaded its
    // length and rate are the song's.
    if (!hasMusic()) {
        m_kep.BeatRate = f.BeatRate;
        m_session.setSongLength(f.SongLenMs);
        TimeSet().setMaximum(f.timeBarMaximum);
    }
}

void KE::stepApplied(bool applied, const WindowFacts* facts)
{
    if (!applied)
        m_display.reportError(
            tr("a step of the history does not fit the chart as it is; it was left out"));
    if (facts)
        applyFacts(*facts);
}

void KE::undoEdit()
{
    const int32_t cells = m_kep.TotalBeats;
    if (editingAllowed() && !closing() && m_document.undo())
        afterUndoRedo(cells);
}

void KE::redoEdit()
{
    const int32_t cells = m_kep.TotalBeats;
    if (editingAllowed() && !closing() && m_document.redo())
        afterUndoRedo(cells);
}

void KE::afterUndoRedo(int32_t cellsBefore)
{
    // The selection ends, as after a paste: its indices may name other keys now.
    endSelection();
    if (m_kep.TotalBeats != cellsBefore)
        cBeat().setText(m_kep.beatCounterAtStart());
    chartChanged();
    scheduleFrame();
}

void KE::pauseForQuestion()
{
    // Nothing more is recorded behind the question, and the save can run.
    if (m_session.moving())
        PlayPause();
}

void KE::endOnSignal()
{
    if (closing())
        return;
    m_document.prepareChange();
    if (m_autosave)
        m_autosave->keepOnEnd(isModified());
    shutdown();
}

bool KE::offerRecovery()
{
    return !closing() && m_recovery.offer(m_autosave.get());
}

} // namespace tavix
