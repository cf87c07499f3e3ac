// Music that outruns its decoding stalls and resumes; starts over it and the position
// heard must stay exact through any number of such breaks.
#include "Mixer.h"
#include "TestAudio.h"

#include <gtest/gtest.h>

namespace tavix {
namespace {

using test::constant;
using test::makeSound;

std::vector<int16_t> render(test::IdMixer& mixer, int frames)
{
    std::vector<int16_t> out(static_cast<size_t>(2 * frames));
    mixer.render(out.data(), frames);
    return out;
}

TEST(MusicStall, AStartDueJustAfterTheMusicResumesLandsOnItsFrame)
{
    test::IdMixer mixer(32);
    auto music = std::make_shared<DecodedSound>(1, 44100, -1);
    const auto silence = constant(20000, 1, 0);
    music->append(silence.data(), 1000);
    mixer.addStream(1, music);
    mixer.addStream(2, makeSound(constant(30, 1, 5000), 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 1100);
    render(mixer, 1024); // stalls at song frame 1000
    music->append(silence.data(), 19000);
    // It takes up song frame 1000 at the first frame of this callback: the start is due
    // 100 frames into it.
    const auto out = render(mixer, 1024);
    int64_t onset = -1;
    for (int64_t f = 0; f < 1024 && onset < 0; ++f)
        if (out[static_cast<size_t>(2 * f)] != 0)
            onset = f;
    EXPECT_EQ(onset, 100);
}

TEST(MusicStall, ManyStallsInsideTheLatencyKeepTheHeardPositionExact)
{
    // A ramp: every sample heard tells the song frame it is (its value less one).
    test::IdMixer mixer(32);
    auto music = std::make_shared<DecodedSound>(1, 44100, -1);
    const auto samples = test::ramp(20000, 1, 1);
    mixer.addStream(1, music);
    mixer.play(16, 1);
    std::vector<int16_t> heard; // left side, frame by frame
    int64_t appended = 0;
    for (int round = 0; round < 150; ++round) {
        // The decoder a little behind: a few frames short of what each callback takes.
        const int64_t n = 37 + round % 5;
        music->append(samples.data() + appended, n);
        appended += n;
        const auto out = render(mixer, 64);
        for (size_t i = 0; i < out.size(); i += 2)
            heard.push_back(out[i]);
    }
    // Held through each gap at the frame it goes on with.
    std::vector<double> expected(heard.size());
    double next = 0;
    int gaps = 0;
    for (size_t m = 0; m < heard.size(); ++m) {
        if (heard[m] != 0)
            next = heard[m]; // the frame after this one
        gaps += m > 0 && heard[m] != 0 && heard[m - 1] == 0;
    }
    for (size_t m = heard.size(); m-- > 0;) {
        if (heard[m] != 0)
            next = heard[m] - 1;
        expected[m] = heard[m] != 0 ? heard[m] - 1 : next;
    }
    ASSERT_GT(gaps, 60);
    for (size_t m = 0; m < heard.size(); ++m)
        ASSERT_DOUBLE_EQ(mixer.heardPosition(1, static_cast<double>(m)), expected[m]) << m;
}

} // namespace
} // namespace tavix
