#pragma once

#include "KeyInput.h"

#include <memory>

namespace tavix {

// The whole keyboard through X11, whichever window has the focus. With XInput2, a
// background thread follows the raw key events, which also give the moment of each press;
// without it the key map is read at every snapshot. XInput 2.2 is asked for, as from 2.1
// on raw events keep arriving while another client grabs the keyboard.
class X11KeySource : public KeySource
{
public:
    // Null when the display cannot be opened (no X server, or none named).
    static std::unique_ptr<X11KeySource> open(const char* displayName = nullptr);
    ~X11KeySource() override;

    void readState(std::array<uint8_t, 256>& state) override;
    std::vector<KeyPress> takePresses() override;
    // Reads the key map (XQueryKeymap) into the state.
    void resync() override;

    // True when the raw key events are followed, false when the key map is polled.
    bool followsRawEvents() const;

    struct Impl;

private:
    explicit X11KeySource(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace tavix
