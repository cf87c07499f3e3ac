#include "X11KeySource.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <thread>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
// Xlib names event types with macros that clash with ours.
#undef KeyPress
#undef KeyRelease

namespace tavix {

namespace {

// X key codes are the kernel's key codes plus 8, and the kernel's keypad codes are the
// codes the editor uses.
constexpr int KeycodeOffset = 8;

struct DisplayCloser
{
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

void stateFromKeymap(const char (&keys)[32], std::array<uint8_t, 256>& state)
{
    state.fill(0);
    for (int keycode = KeycodeOffset; keycode < 256; ++keycode)
        if (keys[keycode / 8] & (1 << (keycode % 8)))
            state[size_t(keycode - KeycodeOffset)] = 0x80;
}

} // namespace

struct X11KeySource::Impl
{
    DisplayHandle display;
    // Raw-event mode: the reader thread owns `display`, so the key map is asked for on a
    // connection of its own.
    DisplayHandle queries;
    bool raw = false;
    int xiOpcode = 0;

    std::mutex lock;
    std::array<uint8_t, 256> state{};
    std::vector<KeyPress> presses;

    // Raw-event mode: the thread that reads them and the pipe that wakes it to stop.
    std::thread reader;
    std::atomic<bool> stopping{false};
    Fd wakeRead;
    Fd wakeWrite;

    bool selectRawEvents();
    void readEvents();
    void keyEvent(int keycode, bool down);
    void pollKeymap();
    void resync();
};

bool X11KeySource::Impl::selectRawEvents()
{
    Display* dpy = display.get();
    int event = 0;
    int error = 0;
    if (!XQueryExtension(dpy, "XInputExtension", &xiOpcode, &event, &error))
        return false;
    // The version asked for decides what the server sends: up to 2.0, no raw events while
    // another client grabs the keyboard, so keys typed then would be lost and a release
    // lost that way would leave its key down. A server below 2.2 answers with its own.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(dpy, &major, &minor) != Success || major < 2)
        return false;

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    if (XISelectEvents(dpy, DefaultRootWindow(dpy), &mask, 1) != Success)
        return false;
    XSync(dpy, False);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    wakeRead = Fd(fds[0]);
    wakeWrite = Fd(fds[1]);
    return true;
}

void X11KeySource::Impl::keyEvent(int keycode, bool down)
{
    if (keycode < KeycodeOffset || keycode > 255)
        return;
    const auto code = uint8_t(keycode - KeycodeOffset);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard guard(lock);
    uint8_t& s = state[code];
    if (down && s == 0)
        presses.push_back({code, now});
    s = down ? 0x80 : 0;
}

void X11KeySource::Impl::readEvents()
{
    Display* dpy = display.get();
    pollfd fds[2] = {{ConnectionNumber(dpy), POLLIN, 0}, {wakeRead.get(), POLLIN, 0}};
    while (!stopping.load()) {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            XGenericEventCookie* cookie = &ev.xcookie;
            if (cookie->type != GenericEvent || cookie->extension != xiOpcode ||
                !XGetEventData(dpy, cookie))
                continue;
            if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
                const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
                keyEvent(raw->detail, cookie->evtype == XI_RawKeyPress);
            }
            XFreeEventData(dpy, cookie);
        }
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & (POLLERR | POLLHUP))
            return; // the server went away; the last known state stays
    }
}

void X11KeySource::Impl::pollKeymap()
{
    char keys[32] = {};
    XQueryKeymap(display.get(), keys);
    std::array<uint8_t, 256> now{};
    stateFromKeymap(keys, now);
    const auto when = std::chrono::steady_clock::now();
    std::lock_guard guard(lock);
    for (size_t code = 0; code < now.size(); ++code)
        if (now[code] != 0 && state[code] == 0)
            presses.push_back({uint8_t(code), when});
    state = now;
}

void X11KeySource::Impl::resync()
{
    Display* dpy = raw ? queries.get() : display.get();
    if (!dpy)
        return;
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    std::array<uint8_t, 256> now{};
    stateFromKeymap(keys, now);
    // Keys found down count as held: their presses were either taken already or missed.
    std::lock_guard guard(lock);
    state = now;
}

std::unique_ptr<X11KeySource> X11KeySource::open(const char* displayName)
{
    auto impl = std::make_unique<Impl>();
    impl->display.reset(XOpenDisplay(displayName));
    if (!impl->display)
        return nullptr;
    impl->presses.reserve(64);
    impl->raw = impl->selectRawEvents();

    // Keys already held count as held, not as pressed.
    char keys[32] = {};
    XQueryKeymap(impl->display.get(), keys);
    stateFromKeymap(keys, impl->state);

    if (impl->raw) {
        impl->queries.reset(XOpenDisplay(displayName));
        impl->reader = std::thread([d = impl.get()] { d->readEvents(); });
    }
    return std::unique_ptr<X11KeySource>(new X11KeySource(std::move(impl)));
}

X11KeySource::X11KeySource(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}

X11KeySource::~X11KeySource()
{
    if (d->reader.joinable()) {
        d->stopping = true;
        const char wake = 1;
        [[maybe_unused]] const auto written = ::write(d->wakeWrite.get(), &wake, 1);
        d->reader.join();
    }
}

bool X11KeySource::followsRawEvents() const
{
    return d->raw;
}

void X11KeySource::readState(std::array<uint8_t, 256>& state)
{
    if (!d->raw)
        d->pollKeymap();
    std::lock_guard guard(d->lock);
    state = d->state;
}

void X11KeySource::resync()
{
    d->resync();
}

std::vector<KeyPress> X11KeySource::takePresses()
{
    if (!d->raw)
        d->pollKeymap();
    std::vector<KeyPress> taken;
    std::lock_guard guard(d->lock);
    taken.swap(d->presses);
    d->presses.reserve(64);
    return taken;
}

} // namespace tavix
