// The X server of a test's own: its display is its own, and it stays as it is between the
// programs a test runs on it one after the other.
#include "PrivateXServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <X11/Xlib.h>

using namespace tavix::test;

namespace {

struct DisplayCloser
{
    void operator()(Display* d) const { XCloseDisplay(d); }
};
using DisplayHandle = std::unique_ptr<Display, DisplayCloser>;

} // namespace

TEST(PrivateXServer, TwoAtOnceHaveTheirOwnDisplaysAndOutliveTheirClients)
{
    PrivateXServer first;
    PrivateXServer second;
    if (!first.start())
        GTEST_SKIP() << "needs Xvfb";
    ASSERT_TRUE(second.start());
    EXPECT_NE(first.display(), second.display());

    // A client leaves a mark (an atom) and goes, as an editor run does. A server that
    // resets once its last client has left would drop the mark and, while resetting,
    // refuse the next program.
    const auto connect = [&] {
        return DisplayHandle(XOpenDisplay(first.display().toLocal8Bit().constData()));
    };
    {
        DisplayHandle d = connect();
        ASSERT_TRUE(d);
        XInternAtom(d.get(), "TAVIX_TEST_MARK", False);
        XSync(d.get(), False);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DisplayHandle d = connect();
    ASSERT_TRUE(d);
    EXPECT_NE(XInternAtom(d.get(), "TAVIX_TEST_MARK", True), Atom(None)) << "the server was reset";
}
