#include "KeyEventForwarding.h"

#include "KeyInput.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace tavix {

KeyEventForwarding::KeyEventForwarding(QWidget& window, KeyInput& keyboard,
                                       std::function<bool()> active)
    : m_window(window), m_keyboard(keyboard), m_active(std::move(active))
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

KeyEventForwarding::~KeyEventForwarding()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool KeyEventForwarding::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (!m_active())
        return false;
    if (type == QEvent::WindowActivate || type == QEvent::WindowDeactivate) {
        if (watched == &m_window)
            m_keyboard.windowFocusChanged(type == QEvent::WindowActivate);
        return false;
    }
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto& key = static_cast<const QKeyEvent&>(*event);
        // A key event travels from the focus widget up to the window; it is offered once,
        // at its first receiver.
        QWidget* first = QApplication::focusWidget();
        if (!first)
            first = &m_window;
        if (widget && widget == first && widget->window() == &m_window && !key.isAutoRepeat())
            m_keyboard.windowKeyEvent(key, type == QEvent::KeyPress);
    }
    return false;
}

} // namespace tavix
