#include "WindowHeightFit.h"

#include <QEvent>
#include <QLayout>
#include <QWidget>

namespace tavix {

WindowHeightFit::WindowHeightFit(QWidget& window) : QObject(&window), m_window(window)
{
    window.installEventFilter(this);
}

bool WindowHeightFit::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == &m_window &&
        (type == QEvent::Show || type == QEvent::LayoutRequest || type == QEvent::Resize)) {
        // The window's own handling first (a layout request activates the layout), then
        // the fit; the event is done with.
        static_cast<QObject&>(m_window).event(event);
        fit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void WindowHeightFit::fit()
{
    QLayout* layout = m_window.layout();
    if (!layout || m_fitting)
        return;
    m_fitting = true;
    const int width = m_window.width();
    const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                   : layout->totalMinimumSize().height();
    if (m_window.minimumHeight() != needed)
        m_window.setMinimumHeight(needed);
    if (m_window.height() < needed)
        m_window.resize(width, needed);
    m_fitting = false;
}

} // namespace tavix
