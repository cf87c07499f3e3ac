// The whole-keyboard source against a real X server: a key pressed with xdotool is seen
// while a window of another client has the focus (on the display DISPLAY names; skipped
// without one), and while another client grabs the keyboard (on an X server of its own).
#include "X11KeySource.h"
#include "KeP.h"
#include "KeyInput.h"
#include "PrivateXServer.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#undef KeyPress
#undef KeyRelease

using namespace tavix;
using tavix::test::PrivateXServer;
using namespace std::chrono_literals;

namespace {

struct DisplayCloser
{
    void operator()(Display* d) const { XCloseDisplay(d); }
};

bool haveDisplay()
{
    const char* name = std::getenv("DISPLAY");
    return name && *name;
}

bool haveXdotool()
{
    return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

// A bare window of its own client, mapped and given the input focus.
class FocusedWindow
{
public:
    FocusedWindow() : m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        Display* d = m_display.get();
        m_window = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0);
        XSelectInput(d, m_window, StructureNotifyMask | KeyPressMask);
        XMapRaised(d, m_window);
        XEvent ev;
        do
            XNextEvent(d, &ev);
        while (ev.type != MapNotify);
        XSetInputFocus(d, m_window, RevertToParent, CurrentTime);
        XSync(d, False);
    }
    ~FocusedWindow()
    {
        if (m_display && m_window)
            XDestroyWindow(m_display.get(), m_window);
    }
    bool hasFocus() const
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display.get(), &focus, &revert);
        return focus == m_window;
    }
    bool ok() const { return m_display && m_window; }

private:
    std::unique_ptr<Display, DisplayCloser> m_display;
    Window m_window = 0;
};

template <typename Pred> bool waitFor(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return pred();
}

TEST(X11KeySource, OpensNothingWithoutAServer)
{
    EXPECT_EQ(X11KeySource::open(":987654"), nullptr);
}

// One test for both keys: tests of one binary may run in parallel, and two of them
// pressing keys and taking the focus on the same server would disturb each other.
TEST(X11KeySource, KeypadSevenIsSeenWhileAnotherWindowHasTheFocus)
{
    if (!haveDisplay())
        GTEST_SKIP() << "no X display (DISPLAY is unset)";
    if (!haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    auto source = X11KeySource::open();
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->followsRawEvents()); // every server the suite runs on has XInput2
    // The source has no window of its own; the focus goes to a window of another client.
    FocusedWindow other;
    ASSERT_TRUE(other.ok());
    EXPECT_TRUE(other.hasFocus());

    KeP kep;
    KeyInput input(kep, std::move(source));
    input.GetKey();
    ASSERT_EQ(kep.KeyState[0x47], 0);
    input.takePresses();

    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(std::system("xdotool keydown KP_7"), 0);
    const auto after = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitFor([&] {
        input.GetKey();
        return kep.KeyState[0x47] != 0;
    }));
    EXPECT_EQ(kep.KeyState[0x47] & 0x80, 0x80);
    EXPECT_EQ(kep.KeyState[0x08], 0); // not the main keyboard's 7

    // xdotool may press a modifier (Num Lock) along with it; keypad 7 goes down once.
    std::vector<KeyPress> seven;
    std::string codes;
    for (const KeyPress& p : input.takePresses()) {
        codes += std::to_string(p.code) + " ";
        if (p.code == 0x47)
            seven.push_back(p);
    }
    ASSERT_EQ(seven.size(), 1u) << "codes pressed: " << codes;
    EXPECT_GE(seven[0].when, before);
    EXPECT_LE(seven[0].when, after + 1s);

    ASSERT_EQ(std::system("xdotool keyup KP_7"), 0);
    EXPECT_TRUE(waitFor([&] {
        input.GetKey();
        return kep.KeyState[0x47] == 0;
    }));
    for (const KeyPress& p : input.takePresses())
        EXPECT_NE(p.code, 0x47) << "a release is not a press";

    // The main keyboard's 7 has a code of its own (8), which records nothing.
    ASSERT_EQ(std::system("xdotool keydown 7"), 0);
    EXPECT_TRUE(waitFor([&] {
        input.GetKey();
        return kep.KeyState[0x08] != 0;
    }));
    EXPECT_EQ(kep.KeyState[0x47], 0);
    ASSERT_EQ(std::system("xdotool keyup 7"), 0);
    EXPECT_TRUE(waitFor([&] {
        input.GetKey();
        return kep.KeyState[0x08] == 0;
    }));
}

// Typed while another client holds a keyboard grab (a menu, a screen locker, a game): the
// keys still arrive, and a release made during the grab is not lost, so the key's next
// press counts. On an X server of its own, so the grab reaches no other test.
TEST(X11KeySource, KeysTypedDuringAnotherClientsGrabAreSeen)
{
    PrivateXServer x;
    if (!x.start())
        GTEST_SKIP() << "needs Xvfb";
    if (!haveXdotool())
        GTEST_SKIP() << "xdotool is not installed";
    const auto xdotool = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(x.environment());
        p.start(QStringLiteral("xdotool"), args);
        return p.waitForFinished(10000) && p.exitCode() == 0;
    };
    const QByteArray name = x.display().toLocal8Bit();
    auto source = X11KeySource::open(name.constData());
    ASSERT_NE(source, nullptr);
    KeP kep;
    KeyInput input(kep, std::move(source));
    const auto pressesOf = [&](uint8_t code) {
        int n = 0;
        for (const KeyPress& p : input.takePresses())
            n += p.code == code;
        return n;
    };
    const auto keyIs = [&](uint8_t code, bool down) {
        return waitFor([&] {
            input.GetKey();
            return (kep.KeyState[code] != 0) == down;
        });
    };

    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("KP_7")}));
    ASSERT_TRUE(keyIs(0x47, true));
    EXPECT_EQ(pressesOf(0x47), 1);

    std::unique_ptr<Display, DisplayCloser> grabber(XOpenDisplay(name.constData()));
    ASSERT_TRUE(grabber);
    ASSERT_EQ(XGrabKeyboard(grabber.get(), DefaultRootWindow(grabber.get()), False, GrabModeAsync,
                            GrabModeAsync, CurrentTime),
              GrabSuccess);
    XSync(grabber.get(), False);
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("KP_7")}));
    EXPECT_TRUE(keyIs(0x47, false)) << "a release during the grab was lost";
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("KP_4")}));
    EXPECT_TRUE(keyIs(0x4B, true)) << "a press during the grab was lost";
    EXPECT_EQ(pressesOf(0x4B), 1);
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("KP_4")}));
    XUngrabKeyboard(grabber.get(), CurrentTime);
    XSync(grabber.get(), False);

    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("KP_7")}));
    EXPECT_TRUE(keyIs(0x47, true));
    EXPECT_EQ(pressesOf(0x47), 1) << "the key stayed down since the grab";
    ASSERT_TRUE(xdotool({QStringLiteral("keyup"), QStringLiteral("KP_7")}));
}

} // namespace
