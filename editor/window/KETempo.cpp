// The tempo dialog: the window opens it, tells it the song and takes its texts on Apply.
#include "KE.h"

#include "NumberReading.h"
#include "TempoDialog.h"

namespace tavix {

TempoDialog* KE::tempoDialog() const
{
    return m_tempoDialog;
}

void KE::openTempoDialog()
{
    if (closing())
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
    host.tempoText = sBpmB().text();
    host.offsetText = slSetOff().text();
    auto* dialog = new TempoDialog(std::move(host), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_tempoDialog = dialog;
    // Modeless: the song may play while the user taps along with it.
    dialog->show();
}

QString KE::applyTempoTexts(const QString& tempo, const QString& offset)
{
    if (closing())
        return tr("The editor is closing.");
    if (m_session.moving())
        return tr("The song is playing: pause or stop it, then Apply.");
    // Checked first, so that neither is committed when the other would be refused.
    if (!tempoRate(m_services.locale, tempo))
        return tr("\"%1\" is not a tempo.").arg(tempo);
    if (!offsetTermOf(m_services.locale, offset))
        return tr("\"%1\" is not an offset.").arg(offset);
    m_document.prepareChange();
    // Both boxes changed make two steps, undone as one. (One changed makes one step; an
    // empty macro would be an undo that does nothing.)
    const bool both =
        m_kep.TotalBeats > 0 && tempo != sBpmB().text() && offset != slSetOff().text();
    if (both)
        history().stack().beginMacro(tr("Tempo and Offset"));
    sBpm().setText(tempo);
    commitTempo();
    sOff().setText(offset);
    commitOffset();
    if (both)
        history().stack().endMacro();
    return {};
}

} // namespace tavix
