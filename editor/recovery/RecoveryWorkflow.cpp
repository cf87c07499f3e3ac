#include "RecoveryWorkflow.h"

#include "Autosave.h"
#include "ChartDocument.h"
#include "MessageService.h"
#include "PlaybackSession.h"
#include "RecoveryQuestion.h"
#include "RecoverySet.h"
#include "TimingFields.h"

#include <QFileInfo>

#include <memory>

namespace tavix {

bool RecoveryWorkflow::offer(Autosave* autosave)
{
    if (m_dir.isEmpty())
        return false;
    const std::unique_ptr<RecoverySet> left = RecoverySet::claimLeftBehind(m_dir);
    if (!left)
        return false;
    const std::optional<RecoveryInfo> noted = left->readInfo();
    const RecoverySet::Pairing pairing = left->pairing(noted);
    const bool restore = m_p.messages.askToRestore(m_owner, tr("Recover Chart"),
                                                   RecoveryQuestion::text(noted, pairing));
    // A signal while the question was open ends the program: the files stay for the next
    // start, whatever the question's answer.
    if (m_host.ended())
        return false;
    if (!restore) {
        left->remove();
        return false;
    }

    const RecoveryInfo info = noted.value_or(RecoveryInfo{});
    // The tempo and offset it was made with, as they were shown.
    m_p.fields.restoreTexts(info.tempoText, info.offsetText);
    if (!info.songPath.isEmpty() && QFileInfo::exists(info.songPath))
        m_host.openSong(info.songPath, QFileInfo(info.songPath).fileName(), true);
    if (!m_host.openChart(left->chartPath(), QFileInfo(info.chartPath).fileName(), info.chartPath))
        return false; // the files stay for another try
    // A restored chart is saved nowhere: it stays modified, and is kept at once under this
    // editor's own name before the files left behind go.
    m_p.document.history().markUnsaved();
    m_p.document.notifyChanged();
    if (autosave && autosave->writeNow())
        left->remove();
    return true;
}

RecoveryInfo RecoveryWorkflow::info() const
{
    const auto absolute = [](const QString& path) {
        return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
    };
    RecoveryInfo info;
    info.chartPath = absolute(m_p.document.path());
    info.songPath = absolute(m_p.session.musicPath());
    info.tempoText = m_p.fields.tempoText();
    info.offsetText = m_p.fields.offsetText();
    return info;
}

} // namespace tavix
