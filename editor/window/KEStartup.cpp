// Start-up and shutdown of the editor window.
#include "KE.h"

#include "FrameTick.h"
#include "GData.h"
#include "KeyInput.h"
#include "LatencyDialog.h"
#include "NumberReading.h"
#include "ScriptTemplates.h"
#include "TempoDialog.h"
#include "TempoOfferWiring.h"

namespace tavix {

void KE::startUp()
{
    // 1. The script templates.
    loadScriptTemplates(m_kep);
    // 2. The toolbar's home positions.
    InitNeC1();
    // 3. Script mode from the command line.
    m_kep.ScriptMode = commandLineHasScriptSwitch(m_services.commandLine);
    // 4. No selection.
    m_gestures.select(emptySelection());
    // 5. The sound engine; its result is not examined, a failed engine hands out 0s. The
    // output latency calibrated in an earlier run applies from the start.
    sound().FSOUND_Init(44100, 32, 0);
    applySavedLatency();
    // 6. The offset term from the offset text.
    m_session.setOffsetVal(offsetTerm(leadingNumber(sOff().text())));
    // 7, 8. Fifteen key-sound streams over one block, and the marker sound.
    m_session.openSounds();
    // The metronome as it was left (its clips are opened once it is first on).
    applySavedListening();
    // 9. The keyboard.
    m_Keyboard = std::make_unique<KeyInput>(m_kep, m_services.keySource());
    m_session.useKeyboard(*m_Keyboard);
    m_keyEvents =
        std::make_unique<KeyEventForwarding>(*this, *m_Keyboard, [this] { return !closing(); });

    m_frameHz = m_services.frameHz ? *m_services.frameHz : FrameTick::rateFor(screen());
    m_session.setPassRate(m_frameHz);
    // Beyond the original: the view as the user left it.
    loadViewChoices();
}

void KE::shutdown()
{
    if (closing())
        return;
    // Nothing may draw or play once the streams are gone.
    if (m_latencyDialog)
        delete m_latencyDialog;
    if (m_tempoDialog)
        delete m_tempoDialog; // stops a detection going on
    if (m_tempoOffer)
        m_tempoOffer->stop();
    m_frames.stop();
    m_decoding.stop();
    releaseStreams();
    if (m_services.quit)
        m_services.quit();
}

} // namespace tavix
