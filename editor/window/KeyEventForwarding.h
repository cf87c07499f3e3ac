#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace tavix {

class KeyInput;

// Hands the keyboard device what it learns from the window: the key events of every
// control of the window, each once at its first receiver (the device uses them only where
// it cannot read the keyboard itself), and the window gaining or losing the focus, when
// releases may have gone astray. Nothing once `active` says no.
class KeyEventForwarding : public QObject
{
public:
    KeyEventForwarding(QWidget& window, KeyInput& keyboard, std::function<bool()> active);
    ~KeyEventForwarding() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    KeyInput& m_keyboard;
    std::function<bool()> m_active;
};

} // namespace tavix
