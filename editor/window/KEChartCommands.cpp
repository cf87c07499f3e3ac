// Saving the chart and opening a chart file: the chart file commands do the work; the
// window shows the chart they read.
#include "KE.h"

namespace tavix {

bool KE::saveChartCommand()
{
    // The armed auto-space gesture is the pointer's shape; saving puts it back first.
    disarmAutoSpace();
    if (m_session.moving())
        return false;
    return m_chartFiles.save();
}

void KE::openChartCommand()
{
    // The toolbar disables the button while playing; a shortcut could still get here.
    if (m_session.playing() || closing())
        return;
    if (!mayLeaveChart(tr("Save them before opening another chart?")))
        return;
    if (const auto chosen = m_chartFiles.chooseChart())
        openChartFile(chosen->path, chosen->title);
}

bool KE::openChartFile(const QString& name, const QString& title, bool keepSong)
{
    return m_notes.open(name, title, keepSong);
}

bool KE::openChart(const QString& name, const QString& title, const QString& chartPath)
{
    if (m_session.playing() || closing())
        return false;
    return m_chartFiles.open(name, title, chartPath);
}

void KE::chartOpened()
{
    LoopRender();
    scheduleFrame();
}

void KE::showChart(const QString& title, std::optional<int32_t> songLenMs)
{
    if (songLenMs) {
        m_session.setSongLength(*songLenMs);
        setTimeBarLength(*songLenMs);
        TimeSet().setValue(0);
    }
    // Both counters anew, for the cursor over the chart just read (whose length a chart
    // without music sets), so the time and the cell agree.
    showCounters(m_session.cursorMs());
    m_display.initialise();
    scriptFile().setText(title);
}

} // namespace tavix
