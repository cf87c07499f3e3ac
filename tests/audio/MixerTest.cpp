#include "Mixer.h"
#include "TestAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tavix {
namespace {

using test::constant;
using test::makeSound;
using test::ramp;

// Renders `frames` in pieces of `block` and returns the interleaved stereo output.
std::vector<int16_t> renderFrames(test::IdMixer& mixer, int frames, int block = 256)
{
    std::vector<int16_t> out(static_cast<size_t>(2 * frames));
    for (int done = 0; done < frames;) {
        const int n = std::min(block, frames - done);
        mixer.render(out.data() + 2 * done, n);
        done += n;
    }
    return out;
}

int16_t left(const std::vector<int16_t>& out, int64_t frame)
{
    return out[static_cast<size_t>(2 * frame)];
}
int16_t right(const std::vector<int16_t>& out, int64_t frame)
{
    return out[static_cast<size_t>(2 * frame + 1)];
}

// First frame from `from` on whose left sample is not 0, -1 if none.
int64_t firstSound(const std::vector<int16_t>& out, int64_t from = 0)
{
    for (int64_t f = from; 2 * f < static_cast<int64_t>(out.size()); ++f)
        if (left(out, f) != 0)
            return f;
    return -1;
}

// ---- Voices and channels -------------------------------------------------------------

TEST(MixerVoices, SilenceWhenNothingPlays)
{
    test::IdMixer mixer(32);
    const auto out = renderFrames(mixer, 1000);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t s) { return s == 0; }));
    EXPECT_EQ(mixer.mixFrame(), 1000);
    EXPECT_FALSE(mixer.busy());
}

TEST(MixerVoices, StereoStreamComesOutSampleForSample)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(3000, 2);
    ASSERT_TRUE(mixer.addStream(1, makeSound(samples, 2)));
    ASSERT_TRUE(mixer.play(16, 1));
    const auto out = renderFrames(mixer, 3000, 97);
    EXPECT_EQ(out, samples);
}

TEST(MixerVoices, MonoStreamGoesToBothSides)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(500, 1, 100);
    mixer.addStream(1, makeSound(samples, 1));
    mixer.play(0, 1);
    const auto out = renderFrames(mixer, 500);
    for (int64_t f = 0; f < 500; ++f) {
        ASSERT_EQ(left(out, f), samples[static_cast<size_t>(f)]) << f;
        ASSERT_EQ(right(out, f), samples[static_cast<size_t>(f)]) << f;
    }
}

TEST(MixerVoices, ChannelsAddUp)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(400, 1, 1000), 1));
    mixer.addStream(2, makeSound(constant(200, 2, -300), 2));
    mixer.play(3, 1);
    mixer.play(7, 2);
    const auto out = renderFrames(mixer, 400);
    EXPECT_EQ(left(out, 0), 700);
    EXPECT_EQ(left(out, 199), 700);
    EXPECT_EQ(left(out, 200), 1000); // the short one has ended
    EXPECT_EQ(right(out, 399), 1000);
}

TEST(MixerVoices, StartsAtTheFirstFrameMixedAfterTheCall)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(100, 1, 5000), 1));
    renderFrames(mixer, 333);
    mixer.play(0, 1);
    const auto out = renderFrames(mixer, 200);
    EXPECT_EQ(left(out, 0), 5000);
    EXPECT_EQ(left(out, 99), 5000);
    EXPECT_EQ(left(out, 100), 0);
}

TEST(MixerVoices, PlayFromTheCurrentPosition)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(2000, 1);
    mixer.addStream(1, makeSound(samples, 1));
    ASSERT_TRUE(mixer.seek(1, 1234));
    EXPECT_EQ(mixer.position(1), 1234);
    mixer.play(0, 1);
    const auto out = renderFrames(mixer, 10);
    EXPECT_EQ(left(out, 0), samples[1234]);
    EXPECT_EQ(left(out, 9), samples[1243]);
    EXPECT_EQ(mixer.position(1), 1244);
}

TEST(MixerVoices, PlayingAgainOnTheSameChannelCarriesOn)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(1000, 2);
    mixer.addStream(1, makeSound(samples, 2));
    mixer.play(2, 1);
    auto out = renderFrames(mixer, 300);
    ASSERT_TRUE(mixer.play(2, 1));
    EXPECT_EQ(mixer.position(1), 300);
    const auto rest = renderFrames(mixer, 700);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, samples);
}

TEST(MixerVoices, MovingToAnotherChannelLeavesNoGap)
{
    const auto samples = ramp(1000, 2);
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(samples, 2));
    mixer.play(4, 1);
    auto out = renderFrames(mixer, 250);
    ASSERT_TRUE(mixer.play(9, 1));
    EXPECT_EQ(mixer.channelOf(1), 9);
    const auto rest = renderFrames(mixer, 750);
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(out, samples);
}

TEST(MixerVoices, FreeChannelIsPickedForNegativeChannel)
{
    test::IdMixer mixer(2);
    mixer.addStream(1, makeSound(constant(10, 1, 1), 1));
    mixer.addStream(2, makeSound(constant(10, 1, 1), 1));
    mixer.addStream(3, makeSound(constant(10, 1, 1), 1));
    EXPECT_TRUE(mixer.play(-1, 1));
    EXPECT_TRUE(mixer.play(-1, 2));
    EXPECT_EQ(mixer.channelOf(1), 0);
    EXPECT_EQ(mixer.channelOf(2), 1);
    EXPECT_FALSE(mixer.play(-1, 3));
}

TEST(MixerVoices, UnknownStreamsAndChannelsAreRefused)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(10, 1, 1), 1));
    EXPECT_FALSE(mixer.play(0, 2));
    EXPECT_FALSE(mixer.play(32, 1));
    EXPECT_FALSE(mixer.stop(2));
    EXPECT_FALSE(mixer.seek(2, 0));
    EXPECT_FALSE(mixer.playAt(0, 1, 2, 0));
    EXPECT_FALSE(mixer.playAt(0, 1, 1, 0));
    EXPECT_FALSE(mixer.addStream(1, makeSound(constant(10, 1, 1), 1)));
    EXPECT_FALSE(mixer.removeStream(2));
    EXPECT_EQ(mixer.position(2), 0);
    EXPECT_EQ(mixer.lengthFrames(2), -1);
}

TEST(MixerVoices, AStartOnABusyChannelFadesTheOtherStreamOut)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(5000, 1, 8000), 1));
    mixer.addStream(2, makeSound(constant(5000, 1, 100), 1));
    mixer.play(5, 1);
    renderFrames(mixer, 1000);
    mixer.play(5, 2);
    EXPECT_FALSE(mixer.isActive(1));
    EXPECT_EQ(mixer.position(1), 1000); // kept, as after a pause
    const auto out = renderFrames(mixer, 400);
    EXPECT_EQ(left(out, 0), 100 + 8000);
    EXPECT_EQ(left(out, 64), 100 + 8000 * 64 / 128);
    EXPECT_EQ(left(out, Mixer::FadeFrames), 100);
}

// ---- Stop, seek, end ------------------------------------------------------------------

TEST(MixerStop, FadesOutWithinAFewMillisecondsAndRewinds)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(10000, 2, 12000), 2));
    mixer.play(16, 1);
    renderFrames(mixer, 500);
    ASSERT_TRUE(mixer.stop(1));
    EXPECT_EQ(mixer.position(1), 0);
    EXPECT_FALSE(mixer.isActive(1));
    const auto out = renderFrames(mixer, 300);
    for (int f = 1; f < Mixer::FadeFrames; ++f) {
        ASSERT_LE(left(out, f), left(out, f - 1)) << f;
        ASSERT_LE(std::abs(left(out, f) - left(out, f - 1)), 12000 / Mixer::FadeFrames + 1) << f;
    }
    for (int f = Mixer::FadeFrames; f < 300; ++f)
        ASSERT_EQ(left(out, f), 0) << f;
    mixer.play(16, 1);
    EXPECT_EQ(mixer.position(1), 0);
}

TEST(MixerStop, StopBeforeAnyFrameIsMixedIsSilent)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(1000, 1, 12000), 1));
    mixer.play(0, 1);
    mixer.stop(1);
    const auto out = renderFrames(mixer, 200);
    EXPECT_EQ(firstSound(out), -1);
}

TEST(MixerSeek, ClampsToTheStreamAndWorksWhilePlaying)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(4000, 1);
    mixer.addStream(1, makeSound(samples, 1));
    mixer.seek(1, -50);
    EXPECT_EQ(mixer.position(1), 0);
    mixer.seek(1, 999999);
    EXPECT_EQ(mixer.position(1), 4000);

    mixer.seek(1, 0);
    mixer.play(0, 1);
    renderFrames(mixer, 1000);
    ASSERT_TRUE(mixer.seek(1, 3000));
    EXPECT_TRUE(mixer.isActive(1));
    const auto out = renderFrames(mixer, 500);
    // The old position fades out under the new one; after the fade only the new remains.
    EXPECT_EQ(left(out, 0), samples[3000] + samples[1000]);
    for (int f = Mixer::FadeFrames; f < 500; ++f)
        ASSERT_EQ(left(out, f), samples[static_cast<size_t>(3000 + f)]) << f;
}

TEST(MixerSeek, SeekRightAfterAStartMovesTheStartSilently)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(4000, 1);
    mixer.addStream(1, makeSound(samples, 1));
    mixer.play(16, 1);
    mixer.seek(1, 2500);
    const auto out = renderFrames(mixer, 300);
    for (int f = 0; f < 300; ++f)
        ASSERT_EQ(left(out, f), samples[static_cast<size_t>(2500 + f)]) << f;
}

TEST(MixerEnd, PositionReachesTheLengthAndTheVoiceStops)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(1000, 2, 300), 2));
    mixer.play(16, 1);
    renderFrames(mixer, 1000, 128);
    EXPECT_EQ(mixer.position(1), 1000);
    EXPECT_FALSE(mixer.isActive(1)); // at once when the last frame is out
    const auto out = renderFrames(mixer, 200);
    EXPECT_EQ(firstSound(out), -1);
    EXPECT_EQ(mixer.position(1), 1000);
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 5000), 1000.0);
}

TEST(MixerEnd, PlayingAfterTheEndStartsFromTheBeginning)
{
    test::IdMixer mixer(32);
    const auto samples = ramp(300, 1, 7);
    mixer.addStream(1, makeSound(samples, 1));
    mixer.play(0, 1);
    renderFrames(mixer, 400);
    mixer.play(0, 1);
    EXPECT_EQ(mixer.position(1), 0);
    const auto out = renderFrames(mixer, 10);
    EXPECT_EQ(left(out, 0), samples[0]);
}

TEST(MixerEnd, StreamStillDecodingWaitsForItsFrames)
{
    test::IdMixer mixer(32);
    auto sound = std::make_shared<DecodedSound>(1, 44100, 3000);
    const auto samples = ramp(3000, 1);
    sound->append(samples.data(), 1000);
    mixer.addStream(1, sound);
    mixer.play(16, 1);
    auto out = renderFrames(mixer, 1500);
    EXPECT_EQ(mixer.position(1), 1000);
    EXPECT_TRUE(mixer.isActive(1));
    EXPECT_EQ(left(out, 999), samples[999]);
    EXPECT_EQ(left(out, 1000), 0);
    // The position holds while waiting, and is heard as held.
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1400), 1000.0);
    sound->append(samples.data() + 1000, 2000);
    sound->finish();
    out = renderFrames(mixer, 2100);
    EXPECT_EQ(left(out, 0), samples[1000]);
    EXPECT_EQ(left(out, 1999), samples[2999]);
    EXPECT_FALSE(mixer.isActive(1));
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1500 + 100), 1100.0);
}

// ---- Restart without a click ---------------------------------------------------------

TEST(MixerRestart, ScheduledRestartOfASoundingEffectCrossfades)
{
    test::IdMixer mixer(32);
    const auto effect = test::sine(6000, 1, 440, 44100, 9000);
    // Restart where the sounding instance is near its peak, so a cut would jump far.
    int64_t old = 900;
    for (int64_t k = 900; k < 1100; ++k)
        if (std::abs(effect[static_cast<size_t>(k)]) > std::abs(effect[static_cast<size_t>(old)]))
            old = k;
    ASSERT_GT(std::abs(effect[static_cast<size_t>(old)]), 8500);
    const int64_t restart = 100 + old;
    mixer.addStream(1, makeSound(constant(100000, 1, 0), 1)); // silent music
    mixer.addStream(2, makeSound(effect, 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 100);
    mixer.playAt(0, 2, 1, restart); // again while the first is still sounding
    const auto out = renderFrames(mixer, 2000);
    EXPECT_EQ(left(out, 100), effect[0]);
    for (int i = 0; i < 300; ++i) {
        const double was = effect[static_cast<size_t>(old + i)];
        const double fading = i < Mixer::FadeFrames ? was * (Mixer::FadeFrames - i) / 128 : 0;
        ASSERT_EQ(left(out, restart + i), std::lround(effect[static_cast<size_t>(i)] + fading))
            << i;
    }
    // Neighbouring frames differ by no more than two tones at their steepest plus the
    // fade's own step; a cut would have jumped by the whole old sample.
    const double steepest = 9000 * 2 * 3.1416 * 440 / 44100;
    int worst = 0;
    for (int64_t f = restart - 5; f < restart + 300; ++f)
        worst = std::max(worst, std::abs(left(out, f) - left(out, f - 1)));
    EXPECT_LT(worst, 2 * steepest + 9000.0 / Mixer::FadeFrames + 2);
}

TEST(MixerRestart, ManyRestartsKeepOnlyABoundedNumberOfFades)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(200000, 1, 0), 1));
    mixer.addStream(2, makeSound(constant(50000, 1, 100), 1));
    mixer.play(16, 1);
    for (int i = 0; i < 200; ++i)
        mixer.playAt(0, 2, 1, 1000 + i); // one restart per frame
    const auto out = renderFrames(mixer, 1400);
    // At most MaxTails fading copies plus the new one, each below 100.
    for (int f = 0; f < 1400; ++f)
        ASSERT_LE(left(out, f), 100 * (Mixer::MaxTails + 1)) << f;
    EXPECT_EQ(left(out, 1399), 100); // everything faded but the last start
}

// ---- Scheduled starts ------------------------------------------------------------------

TEST(MixerSchedule, EffectStartsAtTheExactMusicFrame)
{
    for (int block : {1, 64, 97, 256, 512, 1000}) {
        test::IdMixer mixer(32);
        mixer.addStream(1, makeSound(constant(20000, 2, 0), 2));
        mixer.addStream(2, makeSound(constant(50, 1, 4000), 1));
        renderFrames(mixer, 77); // the mix timeline does not start with the music
        mixer.seek(1, 300);
        mixer.play(16, 1);
        const int64_t musicFrame = 300 + 1234;
        ASSERT_TRUE(mixer.playAt(3, 2, 1, musicFrame));
        EXPECT_EQ(mixer.pendingStarts(), 1);
        const auto out = renderFrames(mixer, 3000, block);
        EXPECT_EQ(firstSound(out), 1234) << "block " << block;
        EXPECT_EQ(left(out, 1234 + 49), 4000);
        EXPECT_EQ(left(out, 1234 + 50), 0);
        EXPECT_EQ(mixer.pendingStarts(), 0);
    }
}

TEST(MixerSchedule, ManyStartsOnOneChannelEachLandExactly)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(100000, 1, 0), 1));
    mixer.addStream(2, makeSound(constant(20, 1, 3000), 1));
    mixer.play(16, 1);
    std::vector<int64_t> frames;
    for (int i = 0; i < 60; ++i)
        frames.push_back(500 + i * 733 + (i % 7) * 3);
    for (int64_t f : frames)
        mixer.playAt(0, 2, 1, f);
    const auto out = renderFrames(mixer, 50000, 256);
    int64_t from = 0;
    for (int64_t f : frames) {
        const int64_t onset = firstSound(out, from);
        ASSERT_EQ(onset, f);
        from = onset + 20;
        ASSERT_EQ(left(out, onset + 19), 3000);
        ASSERT_EQ(left(out, onset + 20), 0);
    }
}

TEST(MixerSchedule, StartsWaitForTheMusicAndLateOnesSoundAtOnce)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(10000, 1, 0), 1));
    mixer.addStream(2, makeSound(constant(10, 1, 2000), 1));
    mixer.playAt(1, 2, 1, 10);
    auto out = renderFrames(mixer, 500);
    EXPECT_EQ(firstSound(out), -1); // the music does not play yet
    EXPECT_EQ(mixer.pendingStarts(), 1);
    mixer.seek(1, 400); // a seek drops it ...
    EXPECT_EQ(mixer.pendingStarts(), 0);
    mixer.playAt(1, 2, 1, 10); // ... this one is late when the music starts at 400
    mixer.play(16, 1);
    out = renderFrames(mixer, 100);
    EXPECT_EQ(firstSound(out), 0);
}

TEST(MixerSchedule, StopSeekCancelAndRemoveDropPendingStarts)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(10000, 1, 0), 1));
    mixer.addStream(2, makeSound(constant(10, 1, 2000), 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 5000);
    mixer.playAt(1, 2, 1, 6000);
    mixer.stop(1);
    EXPECT_EQ(mixer.pendingStarts(), 0);
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 5000);
    mixer.cancelScheduled(1);
    EXPECT_EQ(mixer.pendingStarts(), 0);
    mixer.playAt(0, 2, 1, 5000);
    mixer.removeStream(2);
    EXPECT_EQ(mixer.pendingStarts(), 0);
    const auto out = renderFrames(mixer, 8000);
    EXPECT_EQ(firstSound(out), -1);
}

TEST(MixerSchedule, StartsBeyondTheEndOfTheMusicNeverSound)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(1000, 1, 0), 1));
    mixer.addStream(2, makeSound(constant(10, 1, 2000), 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 999);  // the music's last frame
    mixer.playAt(1, 2, 1, 1000); // its length: never reached
    const auto out = renderFrames(mixer, 3000);
    EXPECT_EQ(firstSound(out), 999);
    EXPECT_EQ(firstSound(out, 1010), -1);
    EXPECT_EQ(mixer.pendingStarts(), 0);
}

TEST(MixerSchedule, MusicWaitingForDecodingHoldsItsStarts)
{
    test::IdMixer mixer(32);
    auto music = std::make_shared<DecodedSound>(1, 44100, 4000);
    const auto silence = constant(4000, 1, 0);
    music->append(silence.data(), 1000);
    mixer.addStream(1, music);
    mixer.addStream(2, makeSound(constant(10, 1, 2000), 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 1500);
    auto out = renderFrames(mixer, 2000);
    EXPECT_EQ(firstSound(out), -1);
    music->append(silence.data(), 3000);
    music->finish();
    out = renderFrames(mixer, 2000);
    EXPECT_EQ(firstSound(out), 500);
}

// ---- Full scale ------------------------------------------------------------------------

TEST(MixerFullScale, ALoneVoiceAtFullScaleComesOutBitForBit)
{
    auto samples = test::noise(20000, 2, 32767, 11);
    samples[100] = -32768;
    samples[101] = 32767;
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(samples, 2));
    mixer.play(16, 1);
    EXPECT_EQ(renderFrames(mixer, 20000, 333), samples);
    EXPECT_EQ(mixer.mixer().limiterGain(), 1.0f);
}

TEST(MixerFullScale, TheLimiterTouchesOnlySumsBeyondFullScaleAndRecoversExactly)
{
    // Music just below full scale, one loud hit over it, then the music alone again.
    const auto music = constant(44100, 2, 30000);
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(music, 2));
    mixer.addStream(2, makeSound(constant(100, 1, 20000), 1));
    mixer.play(16, 1);
    mixer.playAt(0, 2, 1, 1000);
    const auto out = renderFrames(mixer, 44100);
    // Untouched until the limiter's look-ahead reaches the hit.
    for (int f = 0; f <= 1000 - PeakLimiter(44100).lookaheadFrames(); ++f)
        ASSERT_EQ(left(out, f), 30000) << f;
    // The sum (50000) is brought to full scale, not bent or wrapped...
    EXPECT_EQ(left(out, 1000), 32767);
    EXPECT_EQ(right(out, 1099), 32767);
    // ... and the music is ducked while the gain recovers, never louder than it was.
    EXPECT_LT(left(out, 1100), 30000);
    for (int f = 1101; f < 44100; ++f)
        ASSERT_GE(left(out, f), left(out, f - 1)) << f;
    // Back to the music untouched within a second.
    EXPECT_EQ(left(out, 44099), 30000);
    EXPECT_EQ(mixer.mixer().limiterGain(), 1.0f);
}

TEST(MixerFullScale, SixteenFullScaleHitsNeverWrap)
{
    for (int16_t level : {int16_t{32767}, int16_t{-32768}}) {
        test::IdMixer mixer(32);
        mixer.addStream(100, makeSound(constant(10000, 1, 0), 1));
        mixer.play(16, 100);
        for (int i = 0; i < 16; ++i) {
            mixer.addStream(i + 1, makeSound(constant(2000, 2, level), 2));
            mixer.playAt(i, i + 1, 100, 100 + i * 10);
        }
        const auto out = renderFrames(mixer, 3000);
        // Loud throughout (a lone hit a little less so, as the gain glides down ahead of
        // the ones that join it), never inverted.
        for (int f = 100; f < 2000; ++f) {
            ASSERT_EQ(left(out, f) > 0, level > 0) << f;
            ASSERT_GE(std::abs(left(out, f)), 10000) << f;
        }
        // Once all sixteen play, at full scale.
        for (int f = 250; f < 2000; ++f)
            ASSERT_GE(std::abs(left(out, f)), 32767) << f;
        EXPECT_EQ(left(out, 2400), 0);
    }
}

// ---- What the listener hears -----------------------------------------------------------

TEST(MixerHeard, StartAndSeekReadTheNewPositionAtOnce)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(100000, 1, 0), 1));
    renderFrames(mixer, 1000);
    mixer.setListenerFrame(744); // the device is 256 frames behind
    mixer.seek(1, 5000);
    mixer.play(16, 1);
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 744), 5000);
    renderFrames(mixer, 512);
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 900), 5000); // still before the start
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1200.5), 5200.5);
    // Never ahead of what has been mixed.
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 99999), 5512);

    mixer.setListenerFrame(1300);
    mixer.seek(1, 100);
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1300), 100);
    // A moment before the seek still maps onto the stretch before it.
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1250), 5250);
    EXPECT_TRUE(mixer.isAudible(1, 1300));
}

TEST(MixerHeard, AStreamThatEndedIsHeardUpToItsLength)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(1000, 1, 0), 1));
    mixer.play(16, 1);
    renderFrames(mixer, 1024);
    EXPECT_FALSE(mixer.isActive(1));
    EXPECT_TRUE(mixer.isAudible(1, 800));
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 800), 800);
    EXPECT_FALSE(mixer.isAudible(1, 1000));
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1000), 1000);
}

TEST(MixerHeard, StoppedStreamReadsItsRewoundPosition)
{
    test::IdMixer mixer(32);
    mixer.addStream(1, makeSound(constant(5000, 1, 0), 1));
    mixer.play(16, 1);
    renderFrames(mixer, 2000);
    mixer.stop(1);
    EXPECT_DOUBLE_EQ(mixer.heardPosition(1, 1990), 0);
    EXPECT_FALSE(mixer.isAudible(1, 1990));
}

TEST(MixerTimeline, SlowedStretchesReadBackInSongFrames)
{
    // Heard from mix frame 1000 at 50% from song frame 500, until mix frame 3000; then at
    // 25% from song frame 1500 (a rate change), open, the mixer at song frame 1600.
    Mixer::Timeline t;
    t.segments[0] = {1000, 500, 3000, 900.0, 50};
    t.segments[1] = {3000, 1500, -1, 3000.0, 25};
    t.segmentCount = 2;
    t.newest = 1;
    t.pos = 1600;
    t.channel = 16;
    EXPECT_DOUBLE_EQ(t.heardPosition(2000.0), 1000.0); // 1000 mix frames in, half as many
    EXPECT_DOUBLE_EQ(t.heardPosition(2999.0), 1499.5);
    EXPECT_DOUBLE_EQ(t.heardPosition(3200.0), 1550.0); // a quarter of 200
    // No further than the mixer has taken, whatever the clock says.
    EXPECT_DOUBLE_EQ(t.heardPosition(9000.0), 1600.0);
}

// ---- Loops ---------------------------------------------------------------------------

TEST(MixerLoop, TheRangeComesAgainSampleForSampleAndStartsLandInTheirPass)
{
    test::IdMixer mixer(32);
    ASSERT_TRUE(mixer.addStream(1, makeSound(ramp(10000, 2), 2)));
    ASSERT_TRUE(mixer.addStream(2, makeSound(constant(50, 2, 7000), 2)));
    EXPECT_FALSE(mixer.setLoop(1, 2000, 10001)); // past the song's end
    ASSERT_TRUE(mixer.setLoop(1, 2000, 5000));
    ASSERT_TRUE(mixer.seek(1, 1000));
    // A start 100 frames into the range in each of three passes, in loop time.
    for (int64_t pass = 0; pass < 3; ++pass)
        ASSERT_TRUE(mixer.playAt(0, 2, 1, 2100 + pass * 3000));
    ASSERT_TRUE(mixer.play(16, 1));
    const int frames = 1000 + 3 * 3000 + 500;
    const auto out = renderFrames(mixer, frames, 333);
    const auto songFrame = [](int64_t u) { return u < 5000 ? u : 2000 + (u - 2000) % 3000; };
    std::vector<int64_t> starts;
    for (int64_t o = 0; o < frames; ++o) {
        const int64_t src = songFrame(1000 + o);
        const int music = int((1 + src) % 20000);
        const int extra = left(out, o) - music;
        if (extra != 0 && (starts.empty() || o > starts.back() + 50))
            starts.push_back(o);
        ASSERT_TRUE(extra == 0 || extra == 7000) << o;
    }
    EXPECT_EQ(starts, (std::vector<int64_t>{1100, 4100, 7100}));
    // The position counts on through the jumps; a seek starts the count afresh.
    EXPECT_EQ(mixer.heardPosition(1, double(frames)), 1000.0 + frames);
    ASSERT_TRUE(mixer.seek(1, 2500));
    const auto after = renderFrames(mixer, 400); // past the old position's fade
    EXPECT_EQ(left(after, 399), 1 + 2500 + 399);
    EXPECT_EQ(mixer.heardPosition(1, double(mixer.mixFrame())), 2900.0);
}

TEST(MixerLoop, MutedFramesAreSilentButTimeAndStartsGoOn)
{
    // A count-in: the music from frame 1000 is heard from frame 1500 on; a click at 1200
    // sounds over the silence.
    test::IdMixer mixer(32);
    ASSERT_TRUE(mixer.addStream(1, makeSound(ramp(5000, 2), 2)));
    ASSERT_TRUE(mixer.addStream(2, makeSound(constant(50, 2, 7000), 2)));
    mixer.setMutedBelow(1, 1500);
    ASSERT_TRUE(mixer.seek(1, 1000));
    ASSERT_TRUE(mixer.playAt(0, 2, 1, 1200));
    ASSERT_TRUE(mixer.play(16, 1));
    const auto out = renderFrames(mixer, 1000, 128);
    for (int64_t o = 0; o < 1000; ++o) {
        const int click = o >= 200 && o < 250 ? 7000 : 0;
        const int music = o >= 500 ? int((1 + 1000 + o) % 20000) : 0;
        ASSERT_EQ(left(out, o), music + click) << o;
    }
    EXPECT_EQ(mixer.position(1), 2000);
}

} // namespace
} // namespace tavix
