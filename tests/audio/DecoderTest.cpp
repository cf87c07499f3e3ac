#include "Decoder.h"
#include "Mixer.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace tavix {
namespace {

using test::readStraight;
using test::soundSamples;
using test::TempDir;
using test::writeSoundFile;

std::unique_ptr<Decoder> decodeFile(const std::string& path, QString* error = nullptr)
{
    QString ignored;
    auto decoder = Decoder::openFile(path, 44100, error ? error : &ignored);
    if (decoder)
        decoder->decodeAll();
    return decoder;
}

// Plays the sound from `frame` through a mixer and returns `frames` frames of one side.
std::vector<int16_t> playFrom(const std::shared_ptr<DecodedSound>& sound, int64_t frame, int frames,
                              int side)
{
    test::IdMixer mixer(4);
    mixer.addStream(1, sound);
    mixer.seek(1, frame);
    mixer.play(0, 1);
    std::vector<int16_t> out(static_cast<size_t>(2 * frames));
    mixer.render(out.data(), frames);
    std::vector<int16_t> one(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        one[static_cast<size_t>(i)] = out[static_cast<size_t>(2 * i + side)];
    return one;
}

// The same stretch taken from interleaved samples, as the mixer gives a lone voice.
std::vector<int16_t> stretch(const std::vector<int16_t>& samples, int channels, int64_t frame,
                             int frames, int side)
{
    std::vector<int16_t> one(static_cast<size_t>(frames), 0);
    for (int i = 0; i < frames; ++i) {
        const auto at = static_cast<size_t>((frame + i) * channels + std::min(side, channels - 1));
        if (at < samples.size())
            one[static_cast<size_t>(i)] = samples[at]; // a lone voice comes out untouched
    }
    return one;
}

// Seeks at awkward frames (chunk edges included) must give exactly the samples a straight
// decode has there.
void expectSeeksMatch(const std::shared_ptr<DecodedSound>& sound,
                      const std::vector<int16_t>& straight, int channels)
{
    const int64_t frames = static_cast<int64_t>(straight.size()) / channels;
    for (int64_t at : {int64_t{0}, int64_t{1}, int64_t{4095}, int64_t{4096}, int64_t{12345},
                       DecodedSound::ChunkFrames - 3, DecodedSound::ChunkFrames, frames / 2 + 17,
                       frames - 700}) {
        if (at < 0 || at >= frames)
            continue;
        for (int side = 0; side < 2; ++side)
            ASSERT_EQ(playFrom(sound, at, 600, side), stretch(straight, channels, at, 600, side))
                << "seek to " << at << " side " << side;
    }
}

// ---- Lossless formats ------------------------------------------------------------------

struct LosslessCase
{
    const char* name;
    int format;
    int channels;
};

class LosslessDecoding : public ::testing::TestWithParam<LosslessCase>
{
};

TEST_P(LosslessDecoding, DecodesEverySampleAndSeeksExactly)
{
    const LosslessCase c = GetParam();
    TempDir dir;
    const std::string path = dir.file(std::string("song.") + c.name);
    const int64_t frames = 100000; // more than one chunk
    const auto samples = test::noise(frames, c.channels, 20000, 7);
    ASSERT_TRUE(writeSoundFile(path, c.format, c.channels, 44100, samples));

    QString error;
    auto decoder = Decoder::openFile(path, 44100, &error);
    ASSERT_TRUE(decoder) << error.toStdString();
    EXPECT_TRUE(decoder->lengthExact());
    auto sound = decoder->sound();
    EXPECT_EQ(sound->lengthFrames(), frames); // known before any decoding
    EXPECT_EQ(sound->channels(), c.channels);
    decoder->decodeAll();
    EXPECT_TRUE(sound->isComplete());
    EXPECT_EQ(soundSamples(*sound), samples);
    expectSeeksMatch(sound, samples, c.channels);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LosslessDecoding,
    ::testing::Values(LosslessCase{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2},
                      LosslessCase{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1},
                      LosslessCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2},
                      LosslessCase{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1}),
    [](const auto& info) {
        return std::string(info.param.name) + (info.param.channels == 1 ? "Mono" : "Stereo");
    });

// ---- Lossy formats ----------------------------------------------------------------------

TEST(LossyDecoding, OggHasItsExactLengthAndSeeksMatchTheFullDecode)
{
    TempDir dir;
    const std::string path = dir.file("song.ogg");
    const int64_t frames = 150000;
    const auto samples = test::sine(frames, 2, 330, 44100, 12000);
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, 44100, samples));
    auto decoder = decodeFile(path);
    ASSERT_TRUE(decoder);
    EXPECT_TRUE(decoder->lengthExact());
    auto sound = decoder->sound();
    EXPECT_EQ(sound->lengthFrames(), frames);
    const auto straight = readStraight(path);
    ASSERT_EQ(static_cast<int64_t>(straight.size()), 2 * frames);
    EXPECT_EQ(soundSamples(*sound), straight);
    expectSeeksMatch(sound, straight, 2);
    // Lossy, but still the tone that was written.
    double error = 0;
    for (int64_t i = 20000; i < 21000; ++i)
        error += std::abs(straight[static_cast<size_t>(i)] - samples[static_cast<size_t>(i)]);
    EXPECT_LT(error / 1000, 400);
}

TEST(LossyDecoding, Mp3LengthIsTheDecodedOne)
{
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    const int64_t frames = 88200;
    const auto samples = test::sine(frames, 2, 440, 44100, 12000);
    if (!writeSoundFile(path, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, 44100, samples))
        GTEST_SKIP() << "this libsndfile cannot write MP3";
    QString error;
    auto decoder = Decoder::openFile(path, 44100, &error);
    ASSERT_TRUE(decoder) << error.toStdString();
    EXPECT_FALSE(decoder->lengthExact());
    auto sound = decoder->sound();
    EXPECT_EQ(sound->lengthFrames(), -1); // unknown until decoded
    EXPECT_GT(sound->estimatedFrames(), 0);
    decoder->decodeAll();
    const auto decoded = soundSamples(*sound);
    EXPECT_EQ(sound->lengthFrames(), static_cast<int64_t>(decoded.size()) / 2);
    // Encoder delay and padding come to at most a few MP3 frames of 1152.
    EXPECT_NEAR(static_cast<double>(sound->lengthFrames()), static_cast<double>(frames), 3 * 1152);
    const auto straight = readStraight(path);
    ASSERT_EQ(decoded.size(), straight.size());
    EXPECT_EQ(decoded, straight);
    expectSeeksMatch(sound, decoded, 2);
}

// ---- Rates and channels -----------------------------------------------------------------

TEST(Resampling, FortyEightKilohertzBecomesTheMixRateWithTheExpectedLength)
{
    TempDir dir;
    const std::string path = dir.file("48k.wav");
    const int64_t frames = 96001;
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000,
                               test::sine(frames, 2, 1000, 48000, 10000)));
    auto decoder = Decoder::openFile(path, 44100, nullptr);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->sourceRate(), 48000);
    const int64_t expected = std::llround(frames * 44100.0 / 48000.0);
    EXPECT_EQ(decoder->sound()->lengthFrames(), expected);
    decoder->decodeAll();
    const auto out = soundSamples(*decoder->sound());
    ASSERT_EQ(static_cast<int64_t>(out.size()), 2 * expected);
    // Still a 1 kHz tone of the same level, now sampled at 44.1 kHz.
    double worst = 0;
    for (int64_t f = 1000; f < expected - 1000; ++f) {
        const double ideal = 10000 * std::sin(2 * 3.141592653589793 * 1000 * f / 44100.0);
        worst = std::max(worst, std::abs(out[static_cast<size_t>(2 * f)] - ideal));
    }
    EXPECT_LT(worst, 150);
}

TEST(Resampling, LowRateMonoDoublesItsFrames)
{
    TempDir dir;
    const std::string path = dir.file("22k.flac");
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 22050,
                               test::sine(22050, 1, 200, 22050, 8000)));
    auto decoder = decodeFile(path);
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->sound()->channels(), 1);
    EXPECT_EQ(decoder->sound()->lengthFrames(), 44100);
    EXPECT_EQ(decoder->sound()->availableFrames(), 44100);
}

TEST(Channels, BeyondStereoTheFirstTwoAreKept)
{
    TempDir dir;
    const std::string path = dir.file("quad.wav");
    std::vector<int16_t> samples;
    for (int f = 0; f < 1000; ++f)
        for (int c = 0; c < 4; ++c)
            samples.push_back(static_cast<int16_t>(f * 10 + c));
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4, 44100, samples));
    auto decoder = decodeFile(path);
    ASSERT_TRUE(decoder);
    const auto out = soundSamples(*decoder->sound());
    ASSERT_EQ(out.size(), 2000u);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 1);
    EXPECT_EQ(out[2 * 999], 9990);
    EXPECT_EQ(out[2 * 999 + 1], 9991);
}

// ---- Memory, progress, failures ---------------------------------------------------------

TEST(MemoryDecoding, ABlockDecodesLikeItsFileAndIsCopied)
{
    TempDir dir;
    const std::string path = dir.file("clip.wav");
    const auto samples = test::noise(5000, 1, 15000, 3);
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, samples));
    auto bytes = test::readBytes(path);
    auto decoder =
        Decoder::openMemory(bytes.data(), static_cast<int64_t>(bytes.size()), 44100, nullptr);
    ASSERT_TRUE(decoder);
    std::fill(bytes.begin(), bytes.end(), 0); // the caller's block may change or go
    decoder->decodeAll();
    EXPECT_EQ(soundSamples(*decoder->sound()), samples);
}

TEST(MemoryDecoding, EmptyOrGarbageBlocksAreRefused)
{
    QString error;
    EXPECT_FALSE(Decoder::openMemory(nullptr, 10, 44100, &error));
    EXPECT_FALSE(error.isEmpty());
    const std::string text = "this is not a sound file at all, only some words in a row";
    error.clear();
    EXPECT_FALSE(
        Decoder::openMemory(text.data(), static_cast<int64_t>(text.size()), 44100, &error));
    EXPECT_TRUE(error.contains("memory")) << error.toStdString();
}

TEST(Progress, GrowsWhileDecodingAndEndsAtOne)
{
    TempDir dir;
    const std::string path = dir.file("long.flac");
    const auto samples = test::noise(300000, 2, 5000, 11);
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, samples));
    auto decoder = Decoder::openFile(path, 44100, nullptr);
    ASSERT_TRUE(decoder);
    auto sound = decoder->sound();
    EXPECT_EQ(sound->progress(), 0.0);
    double previous = 0;
    int steps = 0;
    while (decoder->decodeSome(20000)) {
        const double now = sound->progress();
        ASSERT_GE(now, previous);
        ASSERT_LT(now, 1.0);
        EXPECT_EQ(sound->lengthFrames(), 300000);
        previous = now;
        ++steps;
    }
    EXPECT_GE(steps, 10);
    EXPECT_GT(previous, 0.9);
    EXPECT_EQ(sound->progress(), 1.0);
    EXPECT_EQ(soundSamples(*sound), samples);
}

TEST(Failures, AFileThatIsNotAudioGivesAReason)
{
    TempDir dir;
    const std::string path = dir.file("notes.txt");
    std::ofstream(path) << "Not a sound: just a line of text that goes on for a while.\n";
    QString error;
    EXPECT_FALSE(Decoder::openFile(path, 44100, &error));
    EXPECT_TRUE(error.contains("notes.txt")) << error.toStdString();
    EXPECT_GT(error.size(), QString("Cannot open \"%1\": ").arg(path.c_str()).size());
}

TEST(Failures, AMissingFileGivesAReason)
{
    QString error;
    EXPECT_FALSE(Decoder::openFile("/nonexistent/folder/song.ogg", 44100, &error));
    EXPECT_TRUE(error.contains("song.ogg"));
}

TEST(Failures, StoppingEarlyEndsTheSoundWhereDecodingStopped)
{
    TempDir dir;
    const std::string path = dir.file("long.wav");
    ASSERT_TRUE(writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100,
                               test::noise(200000, 2, 1000, 5)));
    auto decoder = Decoder::openFile(path, 44100, nullptr);
    ASSERT_TRUE(decoder);
    std::stop_source stop;
    stop.request_stop();
    decoder->decodeAll(stop.get_token());
    EXPECT_TRUE(decoder->sound()->isComplete());
    EXPECT_EQ(decoder->sound()->lengthFrames(), 0);
}

TEST(Failures, ACutOffFileEndsWhereItsAudioEnds)
{
    // Half of each file, as a download still under way leaves it.
    TempDir dir;
    for (const auto& [name, format] : {std::pair{"song.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
                                       std::pair{"song.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}}) {
        SCOPED_TRACE(name);
        const std::string whole = dir.file(name);
        ASSERT_TRUE(
            writeSoundFile(whole, format, 2, 44100, test::sine(441000, 2, 440, 44100, 12000)));
        const std::vector<unsigned char> bytes = test::readBytes(whole);
        const std::string cut = dir.file(std::string("cut-") + name);
        std::ofstream(cut, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size() / 2));
        const std::vector<int16_t> straight = readStraight(cut);
        ASSERT_GT(straight.size(), 2u * 44100);
        ASSERT_LT(straight.size(), 2u * 400000);

        auto decoder = decodeFile(cut);
        ASSERT_TRUE(decoder);
        const auto sound = decoder->sound();
        EXPECT_EQ(sound->lengthFrames(), static_cast<int64_t>(straight.size()) / 2);
        EXPECT_EQ(soundSamples(*sound), straight);
    }
}

TEST(MemoryDecoding, ChunksReadOnceAreFreedAndTheRestStaysReadable)
{
    const int64_t frames = 3 * DecodedSound::ChunkFrames + 100;
    DecodedSound sound(2, 44100, frames);
    const std::vector<int16_t> samples = test::constant(frames, 2, 7);
    sound.append(samples.data(), frames);
    const int64_t held = sound.memoryBytes();
    // Two whole chunks lie before this frame; the one it is in stays.
    sound.releaseBefore(2 * DecodedSound::ChunkFrames + 5);
    EXPECT_EQ(sound.memoryBytes(), held - 2 * DecodedSound::ChunkFrames * 2 * 2);
    int64_t contiguous = -1;
    EXPECT_EQ(sound.framesAt(DecodedSound::ChunkFrames, contiguous), nullptr);
    EXPECT_EQ(contiguous, 0);
    const int16_t* kept = sound.framesAt(2 * DecodedSound::ChunkFrames, contiguous);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(contiguous, DecodedSound::ChunkFrames);
    EXPECT_EQ(kept[0], 7);
}

} // namespace
} // namespace tavix
