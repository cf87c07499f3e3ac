// The editor's dialogs: the tempo dialog, which the window tells the song and whose texts
// it takes on Apply; the latency calibration, which plays clicks over the engine and, when
// saved, keeps the latency found in the settings and gives it to the engine; and the
// latency kept from an earlier run, handed to the engine at start-up.
#include "KE.h"

#include "LatencyDialog.h"
#include "TempoDialog.h"
#include "TempoOfferWiring.h"

namespace tavix {

TempoDialog* KE::tempoDialog() const
{
    return m_tempoDialog;
}

LatencyDialog* KE::latencyDialog() const
{
    return m_latencyDialog;
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
    host.songPath = [this] { return m_session.musicPath(); };
    host.detect = m_services.detectTempo;
    host.apply = [this](const QString& tempo, const QString& offset) {
        return applyTempoTexts(tempo, offset);
    };
    host.locale = m_services.locale;
    host.tempoText = sBpmB().text();
    host.offsetText = slSetOff().text();
    // What was offered for the song needs no second detection; what the dialog finds is
    // marked on the strip as an offer's would be.
    host.known = m_tempoOffer->known();
    host.found = [this](const QString& path, const TempoResult& result) {
        m_tempoOffer->found(path, result);
    };
    if (m_services.detectTempo) {
        host.detectOnOpen = m_tempoOffer->detectOnOpen();
        host.detectOnOpenChanged = [this](bool on) { m_tempoOffer->setDetectOnOpen(on); };
    }
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
    const QString refused = m_fields.applyTexts(tempo, offset);
    // A tempo applied from anywhere answers the offer in the strip.
    if (refused.isEmpty() && m_tempoOffer)
        m_tempoOffer->dismiss();
    return refused;
}

void KE::applySavedLatency()
{
    if (const auto ms = m_choices.latencyMs())
        sound().setCalibratedLatencyMs(*ms);
}

void KE::calibrateLatency()
{
    if (m_session.playing() || closing() || !m_Keyboard)
        return;
    if (m_latencyDialog) {
        m_latencyDialog->raise();
        return;
    }
    const auto& sounds = m_session.sounds().keySounds();
    std::vector<StreamHandle> clicks(sounds.begin(), sounds.begin() + KeySoundChannels);
    auto* dialog =
        new LatencyDialog(sound(), *m_Keyboard, std::move(clicks), m_services.settings, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_latencyDialog = dialog;
    dialog->open(); // modal to the window, so nothing plays or edits while it runs
}

} // namespace tavix
