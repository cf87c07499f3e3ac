// The tempo and offset fields and the "Auto Space" arming.
#include "KE.h"

#include "NumberReading.h"

namespace tavix {

void KE::tempoLabelDoubleClicked()
{
    if (m_session.playing())
        return;
    // The box keeps the text it last held, and the focus stays where it was.
    sBpm().setVisible(true);
    sBpmB().setVisible(false);
}

void KE::commitTempo()
{
    if (m_fieldCommitting)
        return;
    m_fieldCommitting = true;
    // Every commit closes the box; a rejected text stays in it for the next music open.
    sBpmB().setVisible(true);
    sBpm().setVisible(false);
    m_fieldCommitting = false;

    const std::optional<float> rate = tempoRate(m_services.locale, sBpm().text());
    if (!rate)
        return;
    m_document.prepareChange();
    const WindowFacts before = windowFacts(WindowFacts::Kind::Tempo);
    sBpmB().setText(sBpm().text());
    m_kep.BeatRate = *rate;
    // The chart only grows here: keys keep their cells, whatever the new tempo.
    ChartEdit edit(m_kep);
    edit.growForSong(m_session.songLenMs());
    recordStep(QStringLiteral("Tempo"), edit.take(), before);
    cBeat().setText(m_kep.beatCounterAtStart());
    scheduleFrame();
}

void KE::offsetLabelDoubleClicked()
{
    if (m_session.playing())
        return;
    sOff().setVisible(true);
    slSetOff().setVisible(false);
}

void KE::commitOffset()
{
    if (m_fieldCommitting)
        return;
    // A text the locale does not take for a number leaves the box open as it is. The
    // text is accepted by the locale's rules, but read with "." whatever the locale says.
    const std::optional<double> term = offsetTermOf(m_services.locale, sOff().text());
    if (!term)
        return;
    m_document.prepareChange();
    const WindowFacts before = windowFacts(WindowFacts::Kind::Offset);
    m_fieldCommitting = true;
    slSetOff().setText(sOff().text());
    m_session.setOffsetVal(*term);
    sOff().setVisible(false);
    slSetOff().setVisible(true);
    m_fieldCommitting = false;
    // A step of its own when it changed the offset, so that it is undone in its turn.
    recordStep(QStringLiteral("Offset"), ChartEdit(m_kep).take(), before);
    scheduleFrame();
}

void KE::autoSpaceClicked()
{
    if (m_kep.TotalBeats < 1 || m_session.moving())
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
