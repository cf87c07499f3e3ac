#include "RecoveryWorkflow.h"

#include "Autosave.h"
#include "MessageService.h"
#include "RecoveryQuestion.h"
#include "RecoverySet.h"

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
    const bool restore = m_messages.askToRestore(m_owner, tr("Recover Chart"),
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
    m_host.restoreTexts(info.tempoText, info.offsetText);
    if (!info.songPath.isEmpty() && QFileInfo::exists(info.songPath))
        m_host.openSong(info.songPath);
    if (!m_host.openChart(left->chartPath(), QFileInfo(info.chartPath).fileName(), info.chartPath))
        return false; // the files stay for another try
    m_host.markUnsaved();
    if (autosave && autosave->writeNow())
        left->remove();
    return true;
}

} // namespace tavix
