// Listening aids: the metronome over the grid of cells and slowed playback with the pitch
// kept. Both are remembered choices of the window; the engine does the work.
#include "KE.h"

#include <QFile>
#include <QSettings>

#include <algorithm>
#include <array>

namespace tavix {

namespace {

const char* const MetronomeKey = "playback/metronome";

QByteArray clipBytes(const QString& resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void KE::applySavedListening()
{
    if (m_services.settings)
        if (auto settings = m_services.settings())
            m_state.metronome = settings->value(QLatin1String(MetronomeKey), false).toBool();
    if (m_state.metronome)
        openMetronomeClips();
    showListening();
}

void KE::openMetronomeClips()
{
    // Opened when the metronome is first wanted, so a run without it opens what it
    // always did. Each click plays from a block of its own that lives as long as it.
    const std::array<std::pair<QByteArray*, const char*>, 2> clips{
        {{&m_beatClickBlock, ":/SOUND/MB"}, {&m_measureClickBlock, ":/SOUND/MM"}}};
    for (size_t i = 0; i < clips.size(); ++i) {
        if (m_state.MetronomeSounds[i] != 0)
            continue;
        QByteArray& block = *clips[i].first;
        block = clipBytes(QString::fromLatin1(clips[i].second));
        if (!block.isEmpty())
            m_state.MetronomeSounds[i] = sound().FSOUND_Stream_Open(
                block.constData(), FSOUND_MEMORY_MODE, 0, int(block.size()));
    }
}

void KE::toggleMetronome()
{
    if (m_state.IsClosing)
        return;
    m_state.metronome = !m_state.metronome;
    if (m_state.metronome)
        openMetronomeClips();
    if (m_services.settings)
        if (auto settings = m_services.settings())
            settings->setValue(QLatin1String(MetronomeKey), m_state.metronome);
    replanHitSounds();
    showListening();
}

void KE::slowerPlayback()
{
    const auto& rates = EditorState::PlaybackRates;
    const auto it = std::find(rates.begin(), rates.end(), m_state.ratePercent);
    if (it != rates.begin() && it != rates.end())
        setPlaybackRate(*(it - 1));
}

void KE::fasterPlayback()
{
    const auto& rates = EditorState::PlaybackRates;
    const auto it = std::find(rates.begin(), rates.end(), m_state.ratePercent);
    if (it != rates.end() && it + 1 != rates.end())
        setPlaybackRate(*(it + 1));
}

void KE::setPlaybackRate(int percent)
{
    if (m_state.IsClosing || percent == m_state.ratePercent)
        return;
    // Positions stay in song time, so what is queued stays right; the engine takes the
    // change at once, also while the song plays.
    if (m_state.MusicStream != 0 && !sound().setPlaybackRate(m_state.MusicStream, percent)) {
        reportError(tr("the playback rate cannot be changed: %1").arg(sound().lastError()));
        return;
    }
    m_state.ratePercent = percent;
    showListening();
}

void KE::replanHitSounds()
{
    // What is queued was planned with or without the clicks: take back what is not heard
    // yet and plan again from where the music is.
    if (!m_state.IsPlaying || m_state.IsPaused || m_state.MusicStream == 0)
        return;
    SoundEngine& engine = sound();
    cancelPendingHits(engine.streamTimeExact(m_state.MusicStream));
    m_state.hitPlanner.beginSegment(
        currentTiming(), engine.FSOUND_Stream_GetTime(m_state.MusicStream), m_state.LastSoundBeat);
    scheduleHitSounds();
}

void KE::showListening()
{
    m_listening.setText(tr("Speed %1%\nMetronome %2")
                            .arg(m_state.ratePercent)
                            .arg(m_state.metronome ? tr("on") : tr("off")));
}

} // namespace tavix
