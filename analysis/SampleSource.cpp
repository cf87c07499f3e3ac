#include "SampleSource.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

template <typename T> SampleSource::BlockReader wholeBlock(std::span<const T> samples, int channels)
{
    const int64_t frames = channels > 0 ? int64_t(samples.size()) / channels : 0;
    return [samples, channels, frames](int64_t frame) -> SampleSource::Block {
        if (frame < 0 || frame >= frames)
            return {};
        return {samples.data() + frame * channels, frames - frame};
    };
}

template <typename T>
void mixDown(const T* in, int channels, int64_t frames, float scale, float* out)
{
    const float perChannel = scale / float(channels);
    for (int64_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c)
            sum += float(in[f * channels + c]);
        // A damaged float sample must not poison every sum after it.
        out[f] = std::isfinite(sum) ? sum * perChannel : 0.0f;
    }
}

} // namespace

SampleSource::SampleSource(std::span<const int16_t> interleaved, int channels, int rate)
    : SampleSource(Format::Int16, channels, rate,
                   channels > 0 ? int64_t(interleaved.size()) / channels : 0,
                   wholeBlock(interleaved, channels))
{
}

SampleSource::SampleSource(std::span<const float> interleaved, int channels, int rate)
    : SampleSource(Format::Float, channels, rate,
                   channels > 0 ? int64_t(interleaved.size()) / channels : 0,
                   wholeBlock(interleaved, channels))
{
}

SampleSource::SampleSource(Format format, int channels, int rate, int64_t frames,
                           BlockReader reader)
    : m_format(format), m_channels(std::max(channels, 0)), m_rate(std::max(rate, 0)),
      m_frames(channels > 0 && rate > 0 && reader ? std::max<int64_t>(frames, 0) : 0),
      m_reader(std::move(reader))
{
}

int64_t SampleSource::readMono(int64_t frame, int64_t count, float* out) const
{
    int64_t done = 0;
    count = std::min(count, m_frames - frame);
    while (done < count) {
        const Block block = m_reader(frame + done);
        const int64_t n = std::min(block.frames, count - done);
        if (n <= 0 || !block.data)
            break;
        if (m_format == Format::Int16)
            mixDown(static_cast<const int16_t*>(block.data), m_channels, n, 1.0f / 32768.0f,
                    out + done);
        else
            mixDown(static_cast<const float*>(block.data), m_channels, n, 1.0f, out + done);
        done += n;
    }
    return done;
}

} // namespace tavix
