// The tempo and offset fields, whose commits the fields themselves make, and the "Auto
// Space" arming.
#include "KE.h"

namespace tavix {

void KE::committed(WindowFacts::Kind kind)
{
    if (kind == WindowFacts::Kind::Tempo)
        cBeat().setText(m_kep.beatCounterAtStart());
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
