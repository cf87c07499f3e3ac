// Start-up and shutdown of the editor window.
#include "KE.h"

#include "FrameTick.h"
#include "GData.h"
#include "KeyInput.h"
#include "LatencyDialog.h"
#include "NumberReading.h"
#include "ScriptTemplates.h"
#include "SoundEngine.h"
#include "TempoDialog.h"

#include <QFile>

#include <cstring>

namespace tavix {

namespace {

// The bytes of a sound resource copied into a zero-filled block of their own size.
QByteArray soundBlock(const QString& resource)
{
    QFile file(resource);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    QByteArray block(data.size(), '\0');
    if (!data.isEmpty())
        std::memcpy(block.data(), data.constData(), size_t(data.size()));
    return block;
}

} // namespace

void KE::startUp()
{
    // 1. The script templates.
    loadScriptTemplates(m_kep);
    // 2. The toolbar's home positions.
    InitNeC1();
    // 3. Script mode from the command line.
    m_kep.ScriptMode = commandLineHasScriptSwitch(m_services.commandLine);
    // 4. No selection.
    m_state.SelKeys = emptySelection();
    // 5. The sound engine; its result is not examined, a failed engine hands out 0s. The
    // output latency calibrated in an earlier run applies from the start.
    sound().FSOUND_Init(44100, 32, 0);
    applySavedLatency();
    // 6. The offset term from the offset text.
    m_state.OffsetVal = offsetTerm(leadingNumber(m_sOff.text()));
    // 7. Fifteen key-sound streams over one block, so up to fifteen can overlap.
    m_keySoundBlock = soundBlock(QStringLiteral(":/SOUND/PF"));
    for (int i = 0; i < EditorState::MarkerSound; ++i)
        m_state.KeySounds[size_t(i)] = sound().FSOUND_Stream_Open(
            m_keySoundBlock.constData(), FSOUND_MEMORY_MODE, 0, int(m_keySoundBlock.size()));
    // 8. The marker sound in a block of its own.
    m_markerSoundBlock = soundBlock(QStringLiteral(":/SOUND/SP"));
    m_state.KeySounds[EditorState::MarkerSound] = sound().FSOUND_Stream_Open(
        m_markerSoundBlock.constData(), FSOUND_MEMORY_MODE, 0, int(m_markerSoundBlock.size()));
    // The metronome as it was left (its clips are opened once it is first on).
    applySavedListening();
    // 9. The keyboard.
    m_Keyboard = std::make_unique<KeyInput>(m_kep, m_services.keySource());

    m_frameHz = m_services.frameHz ? *m_services.frameHz : FrameTick::rateFor(screen());
    // Beyond the original: the view as the user left it.
    loadViewChoices();
}

void KE::InitNeC1()
{
    for (int i = 0; i < EditorState::ButtonCount; ++i) {
        const QWidget& button = NeC1(i);
        m_state.BtnTop[size_t(i)] = button.y();
        m_state.BtnLeft[size_t(i)] = button.x();
    }
}

void KE::releaseStreams()
{
    SoundEngine& engine = sound();
    if (m_state.IsPlaying)
        engine.FSOUND_Stream_Stop(m_state.MusicStream);
    m_state.IsPlaying = false;
    m_state.IsPaused = false;
    if (m_state.MusicStream != 0)
        engine.FSOUND_Stream_Close(m_state.MusicStream);
    m_state.MusicStream = 0;
    m_state.IsClosing = true;
    for (StreamHandle& handle : m_state.KeySounds)
        engine.FSOUND_Stream_Close(handle);
    for (StreamHandle& handle : m_state.MetronomeSounds)
        if (handle != 0)
            engine.FSOUND_Stream_Close(handle);
    engine.FSOUND_Close();
}

void KE::shutdown()
{
    if (m_state.IsClosing)
        return;
    // Nothing may draw or play once the streams are gone.
    if (m_latencyDialog)
        delete m_latencyDialog;
    if (m_tempoDialog)
        delete m_tempoDialog; // stops a detection going on
    m_frameTick.stop();
    m_idleFrame.stop();
    m_decodeTimer.stop();
    releaseStreams();
    if (m_services.quit)
        m_services.quit();
}

} // namespace tavix
