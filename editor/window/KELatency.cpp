// Latency calibration: the dialog that measures the output latency, and the latency kept
// from an earlier run handed to the engine at start-up.
#include "KE.h"

#include "LatencyDialog.h"

namespace tavix {

void KE::applySavedLatency()
{
    if (!m_services.settings)
        return;
    if (auto settings = m_services.settings())
        sound().setCalibratedLatencyMs(LatencyDialog::savedLatencyMs(*settings));
}

LatencyDialog* KE::latencyDialog() const
{
    return m_latencyDialog;
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
