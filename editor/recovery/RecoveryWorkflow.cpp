#include "RecoveryWorkflow.h"

#include "Autosave.h"
#include "MessageService.h"
#include "RecoverySet.h"

#include <QDir>
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
    const RecoveryInfo info = left->readInfo().value_or(RecoveryInfo{});
    const QString none = tr("(none)");
    const QString when =
        info.savedAt.isValid() ? info.savedAt.toLocalTime().toString(Qt::TextDate) : tr("unknown");
    const QString text =
        tr("The editor ended without closing, and a chart with changes that were not saved "
           "was kept.\n\nChart: %1\nSong: %2\nKept at: %3\n\nRestore it?")
            .arg(info.chartPath.isEmpty() ? none : QDir::toNativeSeparators(info.chartPath),
                 info.songPath.isEmpty() ? none : QDir::toNativeSeparators(info.songPath), when);
    if (!m_messages.askToRestore(m_owner, tr("Recover Chart"), text)) {
        left->remove();
        return false;
    }

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
