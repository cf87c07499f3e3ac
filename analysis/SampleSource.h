#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace tavix {

// Decoded samples for analysis: interleaved frames of 16-bit or float samples at a given
// rate, held in one block or in consecutive blocks (as a decoding stream stores them), so
// the analysis reads a song where it already lies instead of copying it.
class SampleSource
{
public:
    enum class Format { Int16, Float };

    // A run of consecutive frames: `frames` interleaved frames from `data` on.
    struct Block
    {
        const void* data = nullptr;
        int64_t frames = 0;
    };
    // The block holding `frame` and the frames after it; an empty block past the end.
    using BlockReader = std::function<Block(int64_t frame)>;

    SampleSource(std::span<const int16_t> interleaved, int channels, int rate);
    SampleSource(std::span<const float> interleaved, int channels, int rate);
    SampleSource(Format format, int channels, int rate, int64_t frames, BlockReader reader);

    Format format() const { return m_format; }
    int channels() const { return m_channels; }
    int rate() const { return m_rate; }
    int64_t frames() const { return m_frames; }
    double durationMs() const { return m_rate > 0 ? 1000.0 * double(m_frames) / m_rate : 0.0; }

    // Up to `count` frames from `frame` on, as the mean of the channels in full scale
    // -1..1; returns how many were written to `out` (fewer only at the end).
    int64_t readMono(int64_t frame, int64_t count, float* out) const;

private:
    Format m_format;
    int m_channels;
    int m_rate;
    int64_t m_frames;
    BlockReader m_reader;
};

} // namespace tavix
