// Listening aids: the metronome over the grid of cells and slowed playback with the pitch
// kept. Both are remembered choices of the window; the playback session does the work.
#include "KE.h"

#include <QSettings>

namespace tavix {

namespace {

const char* const MetronomeKey = "playback/metronome";

} // namespace

void KE::applySavedListening()
{
    if (m_services.settings)
        if (auto settings = m_services.settings())
            m_session.setMetronome(settings->value(QLatin1String(MetronomeKey), false).toBool());
    showListening();
}

void KE::toggleMetronome()
{
    if (closing())
        return;
    m_session.setMetronome(!m_session.metronome());
    if (m_services.settings)
        if (auto settings = m_services.settings())
            settings->setValue(QLatin1String(MetronomeKey), m_session.metronome());
    showListening();
}

void KE::slowerPlayback()
{
    if (const auto rate = PlaybackSession::slowerRate(m_session.ratePercent()))
        setPlaybackRate(*rate);
}

void KE::fasterPlayback()
{
    if (const auto rate = PlaybackSession::fasterRate(m_session.ratePercent()))
        setPlaybackRate(*rate);
}

void KE::setPlaybackRate(int percent)
{
    if (closing() || percent == m_session.ratePercent())
        return;
    if (!m_session.setPlaybackRate(percent)) {
        m_display.reportError(
            tr("the playback rate cannot be changed: %1").arg(sound().lastError()));
        return;
    }
    showListening();
}

void KE::showListening()
{
    listeningLabel().setText(tr("Speed %1%\nMetronome %2")
                                 .arg(m_session.ratePercent())
                                 .arg(m_session.metronome() ? tr("on") : tr("off")));
}

} // namespace tavix
