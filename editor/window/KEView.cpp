// The song under the chart: the waveform and beat lines that the canvas draws, the
// overview strip; the view's place moves with the keys, the wheel and the strip.
#include "KE.h"

#include "CanvasView.h"
#include "KeyCanvas.h"
#include "OverviewStrip.h"

namespace tavix {

void KE::loadViewChoices()
{
    if (const auto shown = m_choices.guidesShown())
        m_display.setGuidesShown(*shown);
    overview().setGuidesShown(m_display.guidesShown());
}

void KE::setGuidesShown(bool shown)
{
    overview().setGuidesShown(shown);
    if (shown == m_display.guidesShown())
        return;
    m_display.setGuidesShown(shown);
    m_choices.setGuidesShown(shown);
    scheduleFrame();
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
