#include "WindowKeySource.h"

namespace tavix {

WindowKeySource::WindowKeySource()
{
    m_presses.reserve(16);
}

void WindowKeySource::readState(std::array<uint8_t, 256>& state)
{
    state = m_state;
}

std::vector<KeyPress> WindowKeySource::takePresses()
{
    std::vector<KeyPress> taken;
    taken.swap(m_presses);
    m_presses.reserve(16);
    return taken;
}

void WindowKeySource::windowKeyEvent(const QKeyEvent& event, bool down)
{
    const std::optional<uint8_t> code = keypadCode(event);
    if (!code)
        return;
    // Auto-repeat sends releases and presses while the key stays down; neither is news.
    if (event.isAutoRepeat())
        return;
    uint8_t& s = m_state[*code];
    if (down) {
        if (s == 0)
            m_presses.push_back({*code, std::chrono::steady_clock::now()});
        s = 0x80;
    } else {
        s = 0;
    }
}

void WindowKeySource::windowFocusChanged(bool focused)
{
    if (!focused)
        releaseAll();
}

void WindowKeySource::releaseAll()
{
    m_state.fill(0);
}

} // namespace tavix
