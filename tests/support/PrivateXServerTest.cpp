// The X server of a test's own: its display is its own, and it stays as it is between the
// programs a test runs on it one after the other.
#include "PrivateXServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace tavix::test;

namespace {

struct DisplayCloser
{
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

DisplayHandle connect(const PrivateXServer& server)
{
    return DisplayHandle(XOpenDisplay(server.display().toLocal8Bit().constData()));
}

} // namespace

TEST(PrivateXServer, TwoAtOnceHaveTheirOwnDisplaysAndOutliveTheirClients)
{
    PrivateXServer first;
    PrivateXServer second;
    if (!first.start())
        GTEST_SKIP() << "needs Xvfb";
    ASSERT_TRUE(second.start());
    EXPECT_NE(first.display(), second.display());

    for (const PrivateXServer* server : {&first, &second}) {
        SCOPED_TRACE(server->display().toStdString());
        // A client leaves a mark on the root window and goes, as an editor run does.
        {
            DisplayHandle d = connect(*server);
            ASSERT_TRUE(d);
            const Atom mark = XInternAtom(d.get(), "TAVIX_TEST_MARK", False);
            const unsigned char text[] = "here";
            XChangeProperty(d.get(), DefaultRootWindow(d.get()), mark, XA_STRING, 8,
                            PropModeReplace, text, 4);
            XSync(d.get(), False);
        }
        // With no client left, a server that resets would now drop the mark and refuse
        // connections for a moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        DisplayHandle d = connect(*server);
        ASSERT_TRUE(d);
        const Atom mark = XInternAtom(d.get(), "TAVIX_TEST_MARK", True);
        ASSERT_NE(mark, Atom(None)) << "the server was reset";
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        ASSERT_EQ(XGetWindowProperty(d.get(), DefaultRootWindow(d.get()), mark, 0, 16, False,
                                     XA_STRING, &type, &format, &items, &after, &data),
                  Success);
        EXPECT_EQ(items, 4u);
        if (data)
            XFree(data);
    }
}
