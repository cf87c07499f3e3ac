// The limiter at the end of the mix: what it does to a pile-up of hits over music.
#include "Mixer.h"
#include "PeakLimiter.h"
#include "TestAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tavix {
namespace {

using test::constant;
using test::makeSound;

// Music at `level` with a pile-up reaching `peak` over [from, from + length), stereo.
std::vector<float> pileUp(int frames, float level, int from, int length, float peak)
{
    std::vector<float> s(static_cast<size_t>(2 * frames), level);
    for (int f = from; f < from + length; ++f)
        s[static_cast<size_t>(2 * f)] = s[static_cast<size_t>(2 * f + 1)] = peak;
    return s;
}

TEST(Limiter, LooksAheadSoTheGainNeverStepsAndRecoversWithinThePileUpsLength)
{
    for (const int length : {40, 3000}) {
        SCOPED_TRACE(length);
        const int frames = 20000;
        const int from = 5000;
        const float level = 0.9f;
        const auto in = pileUp(frames, level, from, length, 3.0f);
        auto out = in;
        PeakLimiter limiter(44100);
        const int lookahead = limiter.lookaheadFrames();
        EXPECT_GE(lookahead, 88);  // 2 ms or more
        EXPECT_LE(lookahead, 221); // 5 ms or less
        // In device-sized blocks, each told what follows it.
        for (int at = 0; at < frames; at += 256) {
            const int n = std::min(256, frames - at);
            const int ahead = std::min(lookahead, frames - at - n);
            limiter.process(out.data() + 2 * at, n, in.data() + 2 * (at + n), ahead);
        }
        double worstStep = 0;
        for (int f = 0; f < frames; ++f) {
            const float got = out[static_cast<size_t>(2 * f)];
            ASSERT_LE(std::abs(got), 1.0f) << f;
            const double gain = got / in[static_cast<size_t>(2 * f)];
            if (f > 0)
                worstStep =
                    std::max(worstStep, std::abs(gain - out[static_cast<size_t>(2 * f - 2)] /
                                                            in[static_cast<size_t>(2 * f - 2)]));
            // Bit for bit before the look-ahead reaches the pile-up, and again once as
            // long as the pile-up (at least the look-ahead) has passed after it.
            if (f < from - lookahead || f >= from + length + std::max(length, lookahead)) {
                ASSERT_EQ(got, level) << f;
            }
        }
        EXPECT_LE(worstStep, 1.0 / lookahead + 1e-6);
        EXPECT_LT(out[static_cast<size_t>(2 * (from - 1))], level); // ducked before it
        EXPECT_FLOAT_EQ(out[static_cast<size_t>(2 * from)], 1.0f);  // and at full scale on it
        EXPECT_EQ(limiter.gain(), 1.0f);
    }
}

TEST(Limiter, AMixDucksAheadOfAHitDueInItsNextCallback)
{
    // Music just below full scale and a loud hit scheduled 10 frames into a callback: the
    // callback before it already turns the music down.
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(44100, 2, 30000), 2));
    mixer.addStream(2, makeSound(constant(100, 1, 20000), 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 2 * 256 + 10);
    std::vector<int16_t> out(2 * 4096);
    for (int at = 0; at < 4096; at += 256)
        mixer.render(out.data() + 2 * at, 256);
    EXPECT_LT(out[2 * (2 * 256 - 1)], 30000);
    EXPECT_EQ(out[2 * (2 * 256 + 10)], 32767);
    // The gain, from what each frame would be unlimited, glides.
    const auto gain = [&](int f) {
        const int hit = f >= 2 * 256 + 10 && f < 2 * 256 + 110 ? 20000 : 0;
        return out[static_cast<size_t>(2 * f)] / double(30000 + hit);
    };
    for (int f = 1; f < 4096; ++f)
        ASSERT_LE(std::abs(gain(f) - gain(f - 1)), 0.01) << f;
    EXPECT_EQ(out[2 * 4095], 30000);
}

} // namespace
} // namespace tavix
