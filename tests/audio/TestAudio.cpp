#include "TestAudio.h"

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

namespace tavix::test {

std::shared_ptr<DecodedSound> makeSound(const std::vector<int16_t>& samples, int channels, int rate)
{
    const auto frames = static_cast<int64_t>(samples.size()) / channels;
    auto sound = std::make_shared<DecodedSound>(channels, rate, frames);
    sound->append(samples.data(), frames);
    sound->finish();
    return sound;
}

std::vector<int16_t> ramp(int64_t frames, int channels, int16_t start)
{
    std::vector<int16_t> out(static_cast<size_t>(frames * channels));
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(f * channels + c)] =
                static_cast<int16_t>((start + f) % 20000 * (c == 0 ? 1 : -1));
    return out;
}

std::vector<int16_t> noise(int64_t frames, int channels, int amplitude, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> dist(-amplitude, amplitude);
    std::vector<int16_t> out(static_cast<size_t>(frames * channels));
    for (auto& s : out)
        s = static_cast<int16_t>(dist(random));
    return out;
}

std::vector<int16_t> sine(int64_t frames, int channels, double hz, int rate, double amplitude)
{
    std::vector<int16_t> out(static_cast<size_t>(frames * channels));
    for (int64_t f = 0; f < frames; ++f) {
        const double v = amplitude * std::sin(2.0 * std::numbers::pi * hz * f / rate);
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(f * channels + c)] = static_cast<int16_t>(std::lround(v));
    }
    return out;
}

std::vector<int16_t> constant(int64_t frames, int channels, int16_t value)
{
    return std::vector<int16_t>(static_cast<size_t>(frames * channels), value);
}

bool writeSoundFile(const std::string& path, int format, int channels, int rate,
                    const std::vector<int16_t>& samples)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info))
        return false;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const auto frames = static_cast<sf_count_t>(samples.size()) / channels;
    const sf_count_t written = sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    return written == frames;
}

std::vector<int16_t> readStraight(const std::string& path, int* channels, int* rate)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    if (channels)
        *channels = info.channels;
    if (rate)
        *rate = info.samplerate;
    std::vector<int16_t> out;
    std::vector<float> buffer(static_cast<size_t>(4096 * info.channels));
    sf_count_t got = 0;
    while ((got = sf_readf_float(file, buffer.data(), 4096)) > 0) {
        for (sf_count_t i = 0; i < got * info.channels; ++i) {
            const float v = std::nearbyint(buffer[static_cast<size_t>(i)] * 32768.0f);
            out.push_back(static_cast<int16_t>(std::fmax(-32768.0f, std::fmin(32767.0f, v))));
        }
    }
    sf_close(file);
    return out;
}

std::vector<unsigned char> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Mixer::Stream* IdMixer::find(StreamId id) const
{
    auto it = m_streams.find(id);
    return it == m_streams.end() ? nullptr : it->second.get();
}

bool IdMixer::addStream(StreamId id, std::shared_ptr<const DecodedSound> sound)
{
    if (!sound || m_streams.count(id))
        return false;
    auto stream = std::make_unique<Mixer::Stream>(std::move(sound));
    if (!m_mixer.addStream(*stream))
        return false;
    m_streams.emplace(id, std::move(stream));
    return true;
}

bool IdMixer::removeStream(StreamId id)
{
    Mixer::Stream* s = find(id);
    if (!s || !m_mixer.removeStream(*s))
        return false;
    m_streams.erase(id);
    return true;
}

bool IdMixer::play(int channel, StreamId id)
{
    Mixer::Stream* s = find(id);
    return s && m_mixer.play(channel, *s);
}

bool IdMixer::stop(StreamId id)
{
    Mixer::Stream* s = find(id);
    return s && m_mixer.stop(*s);
}

bool IdMixer::seek(StreamId id, int64_t frame)
{
    Mixer::Stream* s = find(id);
    return s && m_mixer.seek(*s, frame);
}

void IdMixer::setMutedBelow(StreamId id, int64_t frame)
{
    if (Mixer::Stream* s = find(id))
        m_mixer.setMutedBelow(*s, frame);
}

bool IdMixer::setLoop(StreamId id, int64_t from, int64_t to)
{
    Mixer::Stream* s = find(id);
    return s && m_mixer.setLoop(*s, from, to);
}

bool IdMixer::playAt(int channel, StreamId effect, StreamId music, int64_t musicFrame)
{
    Mixer::Stream* e = find(effect);
    Mixer::Stream* m = find(music);
    return e && m && m_mixer.playAt(channel, *e, *m, musicFrame);
}

void IdMixer::cancelScheduled(StreamId music)
{
    if (Mixer::Stream* m = find(music))
        m_mixer.cancelScheduled(*m);
}

int64_t IdMixer::position(StreamId id) const
{
    const Mixer::Stream* s = find(id);
    return s ? s->timeline().pos : 0;
}

int64_t IdMixer::lengthFrames(StreamId id) const
{
    const Mixer::Stream* s = find(id);
    return s ? s->sound().lengthFrames() : -1;
}

int IdMixer::channelOf(StreamId id) const
{
    const Mixer::Stream* s = find(id);
    return s ? s->timeline().channel : -1;
}

double IdMixer::heardPosition(StreamId id, double heardFrame) const
{
    const Mixer::Stream* s = find(id);
    return s ? s->timeline().heardPosition(heardFrame) : 0.0;
}

bool IdMixer::isAudible(StreamId id, double heardFrame) const
{
    const Mixer::Stream* s = find(id);
    return s && s->timeline().isAudible(heardFrame);
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tavix-audio-XXXXXX").string();
    if (mkdtemp(pattern.data()))
        m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    if (!m_path.empty())
        std::filesystem::remove_all(m_path, ignored);
}

std::vector<int16_t> soundSamples(const DecodedSound& sound)
{
    std::vector<int16_t> out;
    int64_t frame = 0;
    int64_t run = 0;
    while (const int16_t* p = sound.framesAt(frame, run)) {
        out.insert(out.end(), p, p + run * sound.channels());
        frame += run;
    }
    return out;
}

} // namespace tavix::test
