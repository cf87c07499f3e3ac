// The tempo dialog: the window opens it, tells it the song and takes its texts on Apply.
#include "KE.h"

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
        if (closing())
            return tr("The editor is closing.");
        return m_fields.applyTexts(tempo, offset);
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

} // namespace tavix
