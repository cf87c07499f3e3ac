// The tempo and offset fields and the "Auto Space" arming.
#include "KE.h"

#include "NumberReading.h"
#include "TempoLimits.h"

namespace tavix {

void KE::tempoLabelDoubleClicked()
{
    if (m_state.IsPlaying)
        return;
    // The box keeps the text it last held, and the focus stays where it was.
    m_sBpm.setVisible(true);
    m_sBpmB.setVisible(false);
}

void KE::commitTempo()
{
    if (m_fieldCommitting)
        return;
    // A number whose rate gives no usable grid (0, or so slow or fast that the song or the
    // chart cannot be held) is refused as a rejected offset is: the box stays open with it.
    if (tempoRate(m_services.locale, m_sBpm.text()) &&
        !TempoLimits::usableRate(m_services.locale, m_sBpm.text(), m_state.SongLenMs,
                                 m_kep.TotalBeats))
        return;
    m_fieldCommitting = true;
    // Every other commit closes the box; a text that is no number stays in it for the next
    // music open.
    m_sBpmB.setVisible(true);
    m_sBpm.setVisible(false);
    m_fieldCommitting = false;

    const std::optional<float> rate = tempoRate(m_services.locale, m_sBpm.text());
    if (!rate)
        return;
    flushRecording();
    const WindowFacts before = windowFacts(WindowFacts::Kind::Tempo);
    m_sBpmB.setText(m_sBpm.text());
    m_kep.BeatRate = *rate;
    // The chart only grows here: keys keep their cells, whatever the new tempo.
    ChartEdit edit(m_kep);
    edit.growForSong(m_state.SongLenMs);
    recordStep(QStringLiteral("Tempo"), edit.take(), before);
    m_cBeat.setText(m_kep.beatCounterAtStart());
    scheduleFrame();
}

void KE::offsetLabelDoubleClicked()
{
    if (m_state.IsPlaying)
        return;
    m_sOff.setVisible(true);
    m_slSetOff.setVisible(false);
}

void KE::commitOffset()
{
    if (m_fieldCommitting)
        return;
    // A text the locale does not take for a number leaves the box open as it is. The
    // text is accepted by the locale's rules, but read with "." whatever the locale says.
    const std::optional<double> term = offsetTermOf(m_services.locale, m_sOff.text());
    if (!term)
        return;
    flushRecording();
    const WindowFacts before = windowFacts(WindowFacts::Kind::Offset);
    m_fieldCommitting = true;
    m_slSetOff.setText(m_sOff.text());
    m_state.OffsetVal = *term;
    m_sOff.setVisible(false);
    m_slSetOff.setVisible(true);
    m_fieldCommitting = false;
    // A step of its own when it changed the offset, so that it is undone in its turn.
    recordStep(QStringLiteral("Offset"), ChartEdit(m_kep).take(), before);
    scheduleFrame();
}

void KE::autoSpaceClicked()
{
    if (m_kep.TotalBeats < 1 || (m_state.IsPlaying && !m_state.IsPaused))
        return;
    // The pointer is the armed state; there is no other flag.
    setCursor(Qt::SizeHorCursor);
}

bool KE::autoSpaceArmed() const
{
    return testAttribute(Qt::WA_SetCursor) && cursor().shape() == Qt::SizeHorCursor;
}

void KE::disarmAutoSpace()
{
    unsetCursor();
}

} // namespace tavix
