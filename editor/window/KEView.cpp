// The song under the chart: the waveform and beat lines that the canvas draws, the
// overview strip, and moving the view with the keys, the wheel and the strip.
#include "KE.h"

#include "CanvasView.h"
#include "KeyCanvas.h"
#include "OverviewStrip.h"

#include <QSettings>

#include <algorithm>

namespace tavix {

namespace {

const QString GuidesSetting = QStringLiteral("view/waveformAndBeatLines");

} // namespace

void KE::loadViewChoices()
{
    if (m_services.settings) {
        const std::unique_ptr<QSettings> settings = m_services.settings();
        if (settings)
            m_display.setGuidesShown(settings->value(GuidesSetting, true).toBool());
    }
    overview().setGuidesShown(m_display.guidesShown());
}

void KE::setGuidesShown(bool shown)
{
    overview().setGuidesShown(shown);
    if (shown == m_display.guidesShown())
        return;
    m_display.setGuidesShown(shown);
    if (m_services.settings) {
        const std::unique_ptr<QSettings> settings = m_services.settings();
        if (settings)
            settings->setValue(GuidesSetting, shown);
    }
    scheduleFrame();
}

bool KE::navigationAllowed() const
{
    return !closing() && !m_session.moving();
}

int32_t KE::lastViewValue() const
{
    return CanvasView::lastValue(m_kep, m_controls->TimeSet.maximum());
}

void KE::navigate(ViewNavigator::Step step)
{
    if (!navigationAllowed())
        return;
    // Through the bar's own value, so the view moves as if the bar had been dragged; never
    // on past the chart's last canvas width, into the empty end of the song.
    TimeSet().setValue(m_navigator.step(step, TimeSet().value(), lastViewValue(), m_kep.BeatRate));
}

void KE::canvasWheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers)
{
    if (!navigationAllowed())
        return;
    // Some systems turn Shift and the wheel into a sideways turn.
    const int angle = angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x();
    TimeSet().setValue(m_navigator.wheel(angle, modifiers & Qt::ShiftModifier, TimeSet().value(),
                                         lastViewValue(), m_kep.BeatRate));
}

void KE::overviewChosen(int32_t timeSetValue)
{
    if (!navigationAllowed())
        return;
    TimeSet().setValue(std::min(timeSetValue, lastViewValue()));
}

void KE::refreshOverview()
{
    OverviewStrip::View view;
    // Nothing is shown before a song or a chart is opened.
    if (m_frames.loopRunning() || m_session.playing())
        view.timeSetMaximum = TimeSet().maximum();
    const CanvasView canvas = CanvasView::at(m_kep, TimeSet().value());
    view.viewFromMs = canvas.timeAt(0.0f, m_kep.BeatRate).value_or(canvas.scrollMs);
    view.viewToMs =
        canvas.timeAt(float(KeyCanvas::CanvasWidth), m_kep.BeatRate).value_or(canvas.scrollMs);
    view.playMs = m_session.playing() ? m_session.playMs() : -1;
    view.leadMs = LeadMs();
    overview().refresh(view);
}

} // namespace tavix
