#include "ViewPlace.h"

#include "CanvasZoom.h"
#include "KeP.h"

#include <QScrollBar>

#include <algorithm>

namespace tavix {

int32_t ViewPlace::lastValue() const
{
    return CanvasZoom::lastValue(m_kep, m_cellWidth(), m_bar.maximum());
}

void ViewPlace::step(ViewNavigator::Step step)
{
    if (m_allowed())
        m_bar.setValue(
            m_navigator.step(step, m_bar.value(), lastValue(), m_kep.BeatRate, m_cellWidth()));
}

void ViewPlace::wheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers)
{
    if (!m_allowed())
        return;
    // Some systems turn Shift and the wheel into a sideways turn.
    const int angle = angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x();
    m_bar.setValue(m_navigator.wheel(angle, modifiers & Qt::ShiftModifier, m_bar.value(),
                                     lastValue(), m_kep.BeatRate));
}

void ViewPlace::choose(int32_t value)
{
    if (m_allowed())
        m_bar.setValue(std::min(value, lastValue()));
}

void ViewPlace::follow(int32_t value)
{
    m_bar.setValue(std::min(value, lastValue()));
}

void ViewPlace::runEnded()
{
    if (m_bar.value() > lastValue())
        m_bar.setValue(lastValue());
}

} // namespace tavix
