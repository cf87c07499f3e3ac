#include "CanvasDisplay.h"

#include "KeP.h"
#include "KeyCanvas.h"

#include <cstdio>
#include <exception>

namespace tavix {

TavixKey& CanvasDisplay::renderer()
{
    if (!m_renderer) {
        m_renderer = std::make_unique<TavixKey>(m_kep, m_host);
        m_renderer->setCellWidth(m_cellWidth);
    }
    return *m_renderer;
}

void CanvasDisplay::setCellWidth(int width)
{
    m_cellWidth = width;
    if (m_renderer)
        m_renderer->setCellWidth(width);
}

void CanvasDisplay::initialise()
{
    try {
        renderer().Initialise(m_canvas, m_kep.TotalBeats);
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
}

void CanvasDisplay::render(int32_t ms, int32_t curMs, bool GoP, double leadMs)
{
    try {
        if (m_renderer)
            m_renderer->setGuides({m_guidesShown, m_peaks, leadMs});
        renderer().Render(ms, curMs, GoP);
    } catch (const std::exception& e) {
        reportError(tr("a frame could not be drawn: %1").arg(QString::fromLocal8Bit(e.what())));
    }
}

SelectionList CanvasDisplay::selection()
{
    TavixKey& display = renderer();
    const int32_t n = display.SelectedKeys;
    SelectionList selection = emptySelection();
    if (n >= 1) {
        selection.resize(size_t(n) + 1);
        for (int32_t i = 1; i <= n; ++i)
            selection[size_t(i)] = display.GetKeyS(i);
    }
    return selection;
}

void CanvasDisplay::reportError(const QString& what)
{
    if (m_reported.contains(what))
        return;
    m_reported.insert(what);
    std::fprintf(stderr, "tavix-editor: %s\n", what.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace tavix
