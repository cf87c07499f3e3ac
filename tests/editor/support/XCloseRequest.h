#pragma once

namespace tavix::test {

// Sends a window the close request a window manager sends (WM_DELETE_WINDOW). Kept apart
// from the tests because Xlib's macros clash with GoogleTest's names.
bool sendCloseRequest(const char* display, unsigned long window);

} // namespace tavix::test
