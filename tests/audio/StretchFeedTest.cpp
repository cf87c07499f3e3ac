// The stretcher's feeder thread, driven from the test as the audio thread would drive it.
#include "StretchFeed.h"
#include "TestAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tavix {
namespace {

using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(StretchFeed, DoesNoWorkUntilAStartIsAskedAndNoneOnceParked)
{
    const auto song = test::makeSound(test::noise(44100 * 4, 2, 8000, 9), 2);
    StretchFeed feed(song, 50);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(feed.framesStretched(), 0);
    EXPECT_EQ(feed.readyFrames(), 0);

    feed.restart(22050);
    ASSERT_TRUE(waitUntil([&] { return feed.readyFrames() >= 4096; }, 10s));
    feed.park();
    // What the feeder had under way ends; then it rests.
    std::this_thread::sleep_for(50ms);
    const int64_t parked = feed.framesStretched();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(feed.framesStretched(), parked);
    EXPECT_EQ(feed.readyFrames(), 0);
}

} // namespace
} // namespace tavix
