#pragma once

#include "DecodedSound.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavix::test {

// A complete sound over the given interleaved samples.
std::shared_ptr<DecodedSound> makeSound(const std::vector<int16_t>& samples, int channels,
                                        int rate = 44100);

// Deterministic test signals, interleaved.
std::vector<int16_t> ramp(int64_t frames, int channels, int16_t start = 1);
std::vector<int16_t> noise(int64_t frames, int channels, int amplitude, uint32_t seed);
std::vector<int16_t> sine(int64_t frames, int channels, double hz, int rate, double amplitude);
std::vector<int16_t> constant(int64_t frames, int channels, int16_t value);

// Writes samples with libsndfile; `format` is an SF_FORMAT_* combination. False if this
// build of libsndfile cannot write it.
bool writeSoundFile(const std::string& path, int format, int channels, int rate,
                    const std::vector<int16_t>& samples);
// The whole file read straight through by libsndfile, converted like the decoder does.
std::vector<int16_t> readStraight(const std::string& path, int* channels = nullptr,
                                  int* rate = nullptr);
std::vector<unsigned char> readBytes(const std::string& path);

// A fresh folder under the system's temporary folder, removed at destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// The frames of a sound, interleaved, as far as it is written.
std::vector<int16_t> soundSamples(const DecodedSound& sound);

} // namespace tavix::test
