#pragma once

#include <bitset>
#include <cstdint>

namespace tavix {

// Keys typed at the edit cursor while the song is stopped or paused. Each press of an
// entry key (by its keypad key code) enters its row in the cursor's cell at once; a held
// key's repeats enter nothing. With advancing on, the cursor moves on by the snap once
// every entry key is let go, so keys pressed together land in one cell as a chord.
class StepEntry
{
public:
    bool advancing() const { return m_advancing; }
    void setAdvancing(bool on) { m_advancing = on; }

    // The row 1..7 a press enters, or 0 when it enters nothing (a key held already, or one
    // that is not an entry key).
    int press(uint8_t code);
    // True when this release ends an entry and the cursor is to move on.
    bool release(uint8_t code);
    // Every key counts as let go, with no move (the window lost the focus, the song plays).
    void reset();

private:
    std::bitset<256> m_held;
    bool m_entered = false;
    bool m_advancing = false;
};

} // namespace tavix
