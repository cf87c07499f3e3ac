// The chart's history in the window: every change as one step, undo and redo, the " *"
// of unsaved changes, the question before they are lost, the autosave and the recovery
// of a chart a previous editor left behind.
#include "KE.h"

#include "Autosave.h"
#include "ChartHistory.h"
#include "KeyCanvas.h"
#include "MessageService.h"
#include "NumberReading.h"
#include "RecoveryQuestion.h"
#include "RecoverySet.h"
#include "TavixKey.h"

#include <QFileInfo>

#include <exception>

namespace tavix {

namespace {

const char* const Caption = "Zorvik Tavix Editor v1.68";

} // namespace

void KE::recordStep(const QString& name, ChartChange change)
{
    m_history->record(name, std::move(change));
    chartChanged();
}

void KE::recordStep(const QString& name, ChartChange change, const WindowFacts& before)
{
    m_history->record(name, std::move(change), before, windowFacts(before.kind));
    chartChanged();
}

void KE::flushRecording()
{
    if (!m_runEdit)
        return;
    ChartChange keys = m_runEdit->take();
    m_runEdit.reset();
    recordStep(QStringLiteral("Record"), std::move(keys));
}

bool KE::isModified() const
{
    return !m_history->isClean() || (m_runEdit && m_runEdit->changed());
}

void KE::chartChanged()
{
    updateCaption();
    if (m_autosave)
        m_autosave->chartChanged(isModified());
}

void KE::updateCaption()
{
    const QString caption = QString::fromUtf8(Caption);
    setWindowTitle(isModified() ? caption + QStringLiteral(" *") : caption);
}

WindowFacts KE::windowFacts(WindowFacts::Kind kind) const
{
    WindowFacts f;
    f.kind = kind;
    f.tempoText = m_sBpmB.text();
    f.BeatRate = m_kep.BeatRate;
    f.offsetText = m_slSetOff.text();
    f.OffsetVal = m_state.OffsetVal;
    f.SongLenMs = m_state.SongLenMs;
    f.timeBarMaximum = m_TimeSet.maximum();
    f.chartTitle = m_scriptFile.text();
    f.chartPath = m_chartPath;
    f.ImportRow = m_kep.ImportRow;
    f.ImportCol = m_kep.ImportCol;
    f.ImportCell = m_kep.ImportCell;
    return f;
}

void KE::applyFacts(const WindowFacts& f)
{
    if (f.kind == WindowFacts::Kind::Tempo) {
        m_sBpmB.setText(f.tempoText);
        m_sBpm.setText(f.tempoText);
        m_kep.BeatRate = f.BeatRate;
        return;
    }
    if (f.kind == WindowFacts::Kind::Offset) {
        m_slSetOff.setText(f.offsetText);
        m_sOff.setText(f.offsetText);
        m_state.OffsetVal = f.OffsetVal;
        return;
    }
    m_scriptFile.setText(f.chartTitle);
    m_chartPath = f.chartPath;
    m_kep.ImportRow = f.ImportRow;
    m_kep.ImportCol = f.ImportCol;
    m_kep.ImportCell = f.ImportCell;
    // What a chart opened without music gave the window; once a song is loaded its
    // length and rate are the song's.
    if (m_state.MusicStream == 0) {
        m_kep.BeatRate = f.BeatRate;
        m_state.SongLenMs = f.SongLenMs;
        m_TimeSet.setMaximum(f.timeBarMaximum);
    }
}

void KE::stepApplied(bool applied, const WindowFacts* facts)
{
    if (!applied)
        reportError(tr("a step of the history does not fit the chart as it is; it was left out"));
    if (facts)
        applyFacts(*facts);
}

void KE::undoEdit()
{
    if (!editingAllowed() || m_state.IsClosing)
        return;
    flushRecording();
    if (!m_history->canUndo())
        return;
    const int32_t cells = m_kep.TotalBeats;
    m_history->undo();
    afterUndoRedo(cells);
}

void KE::redoEdit()
{
    if (!editingAllowed() || m_state.IsClosing)
        return;
    flushRecording();
    if (!m_history->canRedo())
        return;
    const int32_t cells = m_kep.TotalBeats;
    m_history->redo();
    afterUndoRedo(cells);
}

void KE::afterUndoRedo(int32_t cellsBefore)
{
    // The selection ends, as after a paste: its indices may name other keys now.
    endSelection();
    if (m_kep.TotalBeats != cellsBefore)
        m_cBeat.setText(m_kep.beatCounterAtStart());
    chartChanged();
    scheduleFrame();
}

bool KE::mayLeaveChart(const QString& question)
{
    flushRecording();
    if (!isModified())
        return true;
    // Nothing more is recorded behind the question, and the save can run.
    if (m_state.IsPlaying && !m_state.IsPaused)
        PlayPause();
    switch (m_services.messages.askToSave(this, tr("Unsaved Changes"),
                                          tr("The chart has changes that are not saved.") +
                                              QStringLiteral("\n\n") + question)) {
    case MessageService::SaveChoice::Save:
        return saveChartCommand();
    case MessageService::SaveChoice::Discard:
        return true;
    case MessageService::SaveChoice::Cancel:
        break;
    }
    return false;
}

RecoveryInfo KE::recoveryInfo() const
{
    // Absolute, so the next editor finds them wherever it is started from.
    const auto absolute = [](const QString& path) {
        return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    };
    RecoveryInfo info;
    info.chartPath = absolute(m_chartPath);
    info.songPath = m_state.MusicStream != 0 ? absolute(m_musicPath) : QString();
    info.tempoText = m_sBpmB.text();
    info.offsetText = m_slSetOff.text();
    return info;
}

void KE::endOnSignal()
{
    if (m_state.IsClosing)
        return;
    flushRecording();
    if (m_autosave) {
        if (isModified())
            m_autosave->writeNow();
        else
            m_autosave->discard();
    }
    shutdown();
}

bool KE::offerRecovery()
{
    if (m_services.recoveryDir.isEmpty() || m_state.IsClosing)
        return false;
    const std::unique_ptr<RecoverySet> left = RecoverySet::claimLeftBehind(m_services.recoveryDir);
    if (!left)
        return false;
    const std::optional<RecoveryInfo> noted = left->readInfo();
    const RecoverySet::Pairing pairing = left->pairing(noted);
    const bool restore = m_services.messages.askToRestore(this, tr("Recover Chart"),
                                                          RecoveryQuestion::text(noted, pairing));
    // A signal while the question was open ends the program: the files stay for the next
    // start, whatever the question's answer.
    if (m_state.IsClosing)
        return false;
    if (!restore) {
        left->remove();
        return false;
    }

    const RecoveryInfo info = noted.value_or(RecoveryInfo{});
    // The tempo and offset it was made with, as they were shown.
    if (!info.tempoText.isEmpty()) {
        m_sBpm.setText(info.tempoText);
        m_sBpmB.setText(info.tempoText);
    }
    if (!info.offsetText.isEmpty()) {
        m_sOff.setText(info.offsetText);
        m_slSetOff.setText(info.offsetText);
        m_state.OffsetVal = offsetTerm(leadingNumber(info.offsetText));
    }
    if (!info.songPath.isEmpty() && QFileInfo::exists(info.songPath))
        openMusicFile(info.songPath, QFileInfo(info.songPath).fileName());
    if (!openChart(left->chartPath(), QFileInfo(info.chartPath).fileName(), info.chartPath))
        return false; // the files stay for another try
    // A restored chart is saved nowhere: it stays modified, and is kept at once under this
    // editor's own name before the files left behind go.
    m_history->markUnsaved();
    chartChanged();
    if (m_autosave && m_autosave->writeNow())
        left->remove();
    return true;
}

} // namespace tavix
