// The tempo dialog: the window opens it, tells it the song and takes its texts on Apply.
#include "KE.h"

#include "ChartHistory.h"
#include "NumberReading.h"
#include "TempoDialog.h"
#include "TempoLimits.h"

namespace tavix {

TempoDialog* KE::tempoDialog() const
{
    return m_tempoDialog;
}

void KE::openTempoDialog()
{
    if (m_state.IsClosing)
        return;
    if (m_tempoDialog) {
        m_tempoDialog->raise();
        m_tempoDialog->activateWindow();
        return;
    }
    TempoDialog::Host host;
    host.songPath = [this] { return m_musicPath; };
    host.detect = m_services.detectTempo;
    host.apply = [this](const QString& tempo, const QString& offset) {
        return applyTempoTexts(tempo, offset);
    };
    host.locale = m_services.locale;
    host.tempoText = m_sBpmB.text();
    host.offsetText = m_slSetOff.text();
    auto* dialog = new TempoDialog(std::move(host), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_tempoDialog = dialog;
    // Modeless: the song may play while the user taps along with it.
    dialog->show();
}

QString KE::applyTempoTexts(const QString& tempo, const QString& offset)
{
    if (m_state.IsClosing)
        return tr("The editor is closing.");
    if (m_state.IsPlaying && !m_state.IsPaused)
        return tr("The song is playing: pause or stop it, then Apply.");
    // Checked first, so that neither is committed when the other would be refused.
    if (!tempoRate(m_services.locale, tempo))
        return tr("\"%1\" is not a tempo.").arg(tempo);
    if (!TempoLimits::usableRate(m_services.locale, tempo, m_state.SongLenMs, m_kep.TotalBeats))
        return tr("At %1 BPM the grid cannot be used: a tempo needs at least 1 BPM, and the song "
                  "must fit a chart at it.")
            .arg(tempo);
    if (!offsetTermOf(m_services.locale, offset))
        return tr("\"%1\" is not an offset.").arg(offset);
    flushRecording();
    // Both boxes changed make two steps, undone as one. (One changed makes one step; an
    // empty macro would be an undo that does nothing.)
    const bool both =
        m_kep.TotalBeats > 0 && tempo != m_sBpmB.text() && offset != m_slSetOff.text();
    if (both)
        m_history->stack().beginMacro(tr("Tempo and Offset"));
    m_sBpm.setText(tempo);
    commitTempo();
    m_sOff.setText(offset);
    commitOffset();
    if (both)
        m_history->stack().endMacro();
    return {};
}

} // namespace tavix
