// Listening aids: the metronome over the grid of cells and slowed playback with the pitch
// kept. Both are remembered choices of the window; the playback session does the work.
#include "KE.h"

namespace tavix {

void KE::applySavedListening()
{
    if (const auto on = m_choices.metronome())
        m_session.setMetronome(*on);
    showListening();
}

void KE::toggleMetronome()
{
    if (closing())
        return;
    m_session.setMetronome(!m_session.metronome());
    m_choices.setMetronome(m_session.metronome());
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
