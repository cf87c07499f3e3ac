#pragma once

#include "DecodedSound.h"
#include "Mixer.h"

#include <cstdint>
#include <map>
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

// A mixer whose streams are named by numbers, made and owned here, as the tests refer to
// them; unknown numbers are refused like unknown streams.
class IdMixer
{
public:
    using StreamId = int32_t;
    explicit IdMixer(int channels = 32, int rate = 44100) : m_mixer(channels, rate) {}

    Mixer& mixer() { return m_mixer; }
    bool addStream(StreamId id, std::shared_ptr<const DecodedSound> sound);
    bool removeStream(StreamId id);
    bool play(int channel, StreamId id);
    bool stop(StreamId id);
    bool seek(StreamId id, int64_t frame);
    bool setLoop(StreamId id, int64_t from, int64_t to);
    void setMutedBelow(StreamId id, int64_t frame);
    bool playAt(int channel, StreamId effect, StreamId music, int64_t musicFrame);
    void cancelScheduled(StreamId music);
    void setListenerFrame(double frame) { m_mixer.setListenerFrame(frame); }

    int64_t position(StreamId id) const;
    int64_t lengthFrames(StreamId id) const;
    int channelOf(StreamId id) const;
    bool isActive(StreamId id) const { return channelOf(id) >= 0; }
    double heardPosition(StreamId id, double heardFrame) const;
    bool isAudible(StreamId id, double heardFrame) const;
    int pendingStarts() const { return m_mixer.pendingStarts(); }
    bool busy() const { return m_mixer.busy(); }
    int64_t mixFrame() const { return m_mixer.mixFrame(); }
    void render(int16_t* out, int frames) { m_mixer.render(out, frames); }

private:
    Mixer::Stream* find(StreamId id) const;

    std::map<StreamId, std::unique_ptr<Mixer::Stream>> m_streams;
    Mixer m_mixer;
};

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
