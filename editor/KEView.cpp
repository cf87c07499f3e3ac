// The song under the chart: the waveform and beat lines that the canvas draws, the
// overview strip, and moving the view with the keys, the wheel and the strip.
#include "KE.h"

#include "CanvasView.h"
#include "KeyCanvas.h"
#include "OverviewStrip.h"
#include "TavixKey.h"

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
            m_guidesShown = settings->value(GuidesSetting, true).toBool();
    }
    m_overview->setGuidesShown(m_guidesShown);
}

void KE::setGuidesShown(bool shown)
{
    m_overview->setGuidesShown(shown);
    if (shown == m_guidesShown)
        return;
    m_guidesShown = shown;
    if (m_services.settings) {
        const std::unique_ptr<QSettings> settings = m_services.settings();
        if (settings)
            settings->setValue(GuidesSetting, shown);
    }
    scheduleFrame();
}

bool KE::navigationAllowed() const
{
    return !m_state.IsClosing && !(m_state.IsPlaying && !m_state.IsPaused);
}

int32_t KE::lastViewValue() const
{
    return CanvasView::lastValue(m_kep, m_TimeSet.maximum());
}

void KE::navigate(ViewNavigator::Step step)
{
    if (!navigationAllowed())
        return;
    // Through the bar's own value, so the view moves as if the bar had been dragged; never
    // on past the chart's last canvas width, into the empty end of the song.
    m_TimeSet.setValue(m_navigator.step(step, m_TimeSet.value(), lastViewValue(), m_kep.BeatRate));
}

void KE::canvasWheel(QPoint angleDelta, Qt::KeyboardModifiers modifiers)
{
    if (!navigationAllowed())
        return;
    // Some systems turn Shift and the wheel into a sideways turn.
    const int angle = angleDelta.y() != 0 ? angleDelta.y() : angleDelta.x();
    m_TimeSet.setValue(m_navigator.wheel(angle, modifiers & Qt::ShiftModifier, m_TimeSet.value(),
                                         lastViewValue(), m_kep.BeatRate));
}

void KE::overviewChosen(int32_t timeSetValue)
{
    if (!navigationAllowed())
        return;
    m_TimeSet.setValue(std::min(timeSetValue, lastViewValue()));
}

void KE::prepareFrame()
{
    if (hasRenderer())
        renderer().setGuides({m_guidesShown, m_peaks, LeadMs()});
}

void KE::refreshOverview()
{
    OverviewStrip::View view;
    // Nothing is shown before a song or a chart is opened.
    if (m_state.LoopRunning || m_state.IsPlaying)
        view.timeSetMaximum = m_TimeSet.maximum();
    const CanvasView canvas = CanvasView::at(m_kep, m_TimeSet.value());
    view.viewFromMs = canvas.timeAt(0.0f, m_kep.BeatRate).value_or(canvas.scrollMs);
    view.viewToMs =
        canvas.timeAt(float(KeyCanvas::CanvasWidth), m_kep.BeatRate).value_or(canvas.scrollMs);
    view.playMs = m_state.IsPlaying ? m_state.PlayMs : -1;
    view.leadMs = LeadMs();
    m_overview->refresh(view);
}

} // namespace tavix
