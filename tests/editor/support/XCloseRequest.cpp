#include "XCloseRequest.h"

#include <X11/Xlib.h>

namespace tavix::test {

bool sendCloseRequest(const char* displayName, unsigned long window)
{
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return false;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &ev);
    XFlush(display);
    XCloseDisplay(display);
    return sent != 0;
}

} // namespace tavix::test
