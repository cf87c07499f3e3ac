#pragma once

#include "KeyInput.h"

namespace tavix {

// Key states from the window's own key events, for where the whole keyboard cannot be
// read (Wayland, offscreen): only the recording keypad keys are tracked, and only while
// the window has the focus.
class WindowKeySource : public KeySource
{
public:
    WindowKeySource();

    void readState(std::array<uint8_t, 256>& state) override;
    std::vector<KeyPress> takePresses() override;
    void windowKeyEvent(const QKeyEvent& event, bool down) override;
    // On the loss of the focus every key is let go: their releases go to another window.
    void windowFocusChanged(bool focused) override;

    // Lets go of every key, as when the window loses the focus and its releases go to
    // another window.
    void releaseAll();

private:
    std::array<uint8_t, 256> m_state{};
    std::vector<KeyPress> m_presses;
};

} // namespace tavix
