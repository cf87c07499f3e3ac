#include "KeyInput.h"

#include "KeP.h"
#include "WindowKeySource.h"
#include "X11KeySource.h"

#include <QGuiApplication>

namespace tavix {

std::optional<uint8_t> keypadCode(const QKeyEvent& event)
{
    // Keypad keys carry the keypad modifier; with Num Lock off they report the cursor
    // keys printed under the digits, and keypad 5 reports Clear.
    if (!(event.modifiers() & Qt::KeypadModifier))
        return std::nullopt;
    switch (event.key()) {
    case Qt::Key_7:
    case Qt::Key_Home:
        return uint8_t(0x47);
    case Qt::Key_4:
    case Qt::Key_Left:
        return uint8_t(0x4B);
    case Qt::Key_1:
    case Qt::Key_End:
        return uint8_t(0x4F);
    case Qt::Key_9:
    case Qt::Key_PageUp:
        return uint8_t(0x49);
    case Qt::Key_6:
    case Qt::Key_Right:
        return uint8_t(0x4D);
    case Qt::Key_3:
    case Qt::Key_PageDown:
        return uint8_t(0x51);
    case Qt::Key_5:
    case Qt::Key_Clear:
        return uint8_t(0x4C);
    case Qt::Key_0:
    case Qt::Key_Insert:
        return uint8_t(0x52);
    default:
        return std::nullopt;
    }
}

std::unique_ptr<KeySource> makeSystemKeySource()
{
    // Under Wayland an X connection (XWayland) sees only keys meant for X windows, and the
    // offscreen platforms have no keyboard at all: the window's events are all there is.
    const bool x11Platform = !qGuiApp || QGuiApplication::platformName() == QLatin1String("xcb");
    if (x11Platform) {
        if (auto x11 = X11KeySource::open())
            return x11;
    }
    return std::make_unique<WindowKeySource>();
}

KeyInput::KeyInput(KeP& kep, std::unique_ptr<KeySource> source)
    : m_kep(kep), m_source(source ? std::move(source) : makeSystemKeySource())
{
}

void KeyInput::GetKey()
{
    m_source->readState(m_kep.KeyState);
}

std::vector<KeyPress> KeyInput::takePresses()
{
    return m_source->takePresses();
}

void KeyInput::windowKeyEvent(const QKeyEvent& event, bool down)
{
    m_source->windowKeyEvent(event, down);
}

void KeyInput::resync()
{
    m_source->resync();
}

void KeyInput::windowFocusChanged(bool focused)
{
    m_source->windowFocusChanged(focused);
}

} // namespace tavix
