// What a song's header says about its length, against what it holds.
#include "Decoder.h"
#include "FMod.h"
#include "TestAudio.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace tavix {
namespace {

using test::TempDir;

TEST(SongLength, TheWaveformOfACutOffFileEndsWhereItsAudioEnds)
{
    TempDir dir;
    const std::string whole = dir.file("song.flac");
    ASSERT_TRUE(test::writeSoundFile(whole, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
                                     test::sine(441000, 2, 440, 44100, 12000)));
    const auto bytes = test::readBytes(whole);
    const std::string cut = dir.file("cut.flac");
    std::ofstream(cut, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size() / 2));

    auto decoder = Decoder::openFile(cut, 44100, nullptr);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->peaks()->lengthFrames(), 441000); // the header's, until decoded
    decoder->decodeAll();
    const int64_t length = decoder->sound()->lengthFrames();
    ASSERT_LT(length, 400000);
    EXPECT_EQ(decoder->peaks()->lengthFrames(), length);
    // Past the real end there is no song to draw, not silence.
    std::array<PeakRange, 2> columns{};
    decoder->peaks()->columns(length * 1000.0 / 44100 - 5, 10, columns);
    EXPECT_FALSE(columns[0].empty());
    EXPECT_TRUE(columns[1].empty());
}

TEST(SongLength, AHeaderClaimingMoreThanASongMayHoldIsRefusedByName)
{
    // 2^31 frames of 8-bit mono, thirteen and a half hours, in a file that is all holes:
    // a short file whose header's sizes are made to claim them.
    TempDir dir;
    const std::string path = dir.file("endless.wav");
    ASSERT_TRUE(test::writeSoundFile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 44100,
                                     test::constant(1000, 1, 0)));
    ASSERT_EQ(std::string(reinterpret_cast<const char*>(test::readBytes(path).data()) + 36, 4),
              "data");
    const uint32_t frames = uint32_t{1} << 31;
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        const auto put = [&](std::streamoff at, uint32_t v) {
            const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
            file.seekp(at).write(bytes, 4);
        };
        put(4, 36 + frames); // RIFF, then the data chunk
        put(40, frames);
    }
    std::filesystem::resize_file(path, 44 + uintmax_t{frames});

    FMod engine{FMod::Options{AudioDevice::Kind::Manual, 256}};
    ASSERT_TRUE(engine.FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(engine.FSOUND_Stream_Open(path.c_str(), FSOUND_NORMAL, 0, 0), 0);
    EXPECT_TRUE(engine.lastError().contains(QString::fromStdString(path)))
        << engine.lastError().toStdString();
    EXPECT_TRUE(engine.lastError().contains(QStringLiteral("13:31:"))) // how long it claims
        << engine.lastError().toStdString();
}

} // namespace
} // namespace tavix
