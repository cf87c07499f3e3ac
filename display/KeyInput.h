#pragma once

#include <QKeyEvent>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tavix {

class KeP;

// A key going down, with the moment it happened.
struct KeyPress
{
    uint8_t code = 0; // keyboard key code (0x47 keypad 7 ... 0x52 keypad 0)
    std::chrono::steady_clock::time_point when;
};

// Where key states come from: X11 for the whole keyboard, the window's own key events
// where X11 is absent, or a fake in tests.
class KeySource
{
public:
    virtual ~KeySource() = default;
    virtual void readState(std::array<uint8_t, 256>& state) = 0;
    // Presses seen since the last call, oldest first.
    virtual std::vector<KeyPress> takePresses() = 0;
    // The window's key events; sources that read the keyboard themselves ignore them.
    virtual void windowKeyEvent(const QKeyEvent&, bool /*down*/) {}
    // Reads the real state of every key again, where the source can: a key found up is
    // let go, so its next press counts; a key found down counts as held, not pressed.
    virtual void resync() {}
    // The window gained or lost the focus: a moment when releases may have gone astray.
    virtual void windowFocusChanged(bool /*focused*/) { resync(); }
};

// X11 when a display can be opened, otherwise the window's key events.
std::unique_ptr<KeySource> makeSystemKeySource();

// The keypad key code of a Qt key event, if it is one of the recording keys.
std::optional<uint8_t> keypadCode(const QKeyEvent& event);

// The keyboard device: GetKey snapshots all 256 keys into KeyState.
class KeyInput
{
public:
    KeyInput(KeP& kep, std::unique_ptr<KeySource> source);
    void GetKey();
    std::vector<KeyPress> takePresses();
    void windowKeyEvent(const QKeyEvent& event, bool down);
    void resync();
    void windowFocusChanged(bool focused);

private:
    KeP& m_kep;
    std::unique_ptr<KeySource> m_source;
};

} // namespace tavix
