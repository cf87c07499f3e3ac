#include "DecodedSound.h"

#include <algorithm>
#include <cstring>

namespace tavix {

DecodedSound::DecodedSound(int channels, int sampleRate, int64_t expectedFrames)
    : m_channels(std::clamp(channels, 1, 2)), m_rate(sampleRate),
      m_capacity(expectedFrames >= 0 ? std::min(expectedFrames, MaxChunks * ChunkFrames)
                                     : MaxChunks * ChunkFrames),
      m_length(expectedFrames >= 0 ? m_capacity : -1)
{
    m_chunks.resize(static_cast<size_t>((m_capacity + ChunkFrames - 1) / ChunkFrames));
}

int64_t DecodedSound::chunkFramesFor(int64_t chunk) const
{
    // A stream of known length gets a last chunk of just the size it needs, so short
    // clips cost no more than their samples.
    if (m_length.load(std::memory_order_relaxed) >= 0)
        return std::min(ChunkFrames, m_capacity - chunk * ChunkFrames);
    return ChunkFrames;
}

int64_t DecodedSound::append(const int16_t* interleaved, int64_t frames)
{
    int64_t kept = 0;
    while (kept < frames && m_written < m_capacity) {
        const int64_t chunk = m_written >> ChunkShift;
        const int64_t inChunk = m_written & (ChunkFrames - 1);
        auto& slot = m_chunks[static_cast<size_t>(chunk)];
        const int64_t size = chunkFramesFor(chunk);
        if (!slot) {
            slot = std::make_unique<int16_t[]>(static_cast<size_t>(size * m_channels));
            m_allocatedBytes.fetch_add(size * m_channels * 2, std::memory_order_relaxed);
        }
        const int64_t n = std::min(frames - kept, size - inChunk);
        std::memcpy(slot.get() + inChunk * m_channels, interleaved + kept * m_channels,
                    static_cast<size_t>(n * m_channels) * sizeof(int16_t));
        kept += n;
        m_written += n;
        m_available.store(m_written, std::memory_order_release);
    }
    return kept;
}

void DecodedSound::finish(bool keepLength)
{
    if (keepLength && m_length.load(std::memory_order_relaxed) >= 0) {
        // Pad a short decode with silence so the length stays what was announced.
        std::vector<int16_t> silence(static_cast<size_t>(4096 * m_channels), 0);
        while (m_written < m_capacity)
            append(silence.data(), std::min<int64_t>(4096, m_capacity - m_written));
    } else {
        m_capacity = m_written;
        m_length.store(m_written, std::memory_order_release);
    }
    m_complete.store(true, std::memory_order_release);
}

const int16_t* DecodedSound::framesAt(int64_t frame, int64_t& contiguous) const
{
    const int64_t available = availableFrames();
    if (frame < 0 || frame >= available) {
        contiguous = 0;
        return nullptr;
    }
    const int64_t chunk = frame >> ChunkShift;
    const int64_t inChunk = frame & (ChunkFrames - 1);
    const int16_t* data = m_chunks[static_cast<size_t>(chunk)].get();
    if (!data) {
        contiguous = 0;
        return nullptr;
    }
    const int64_t chunkEnd = std::min((chunk + 1) * ChunkFrames, available);
    contiguous = chunkEnd - frame;
    return data + inChunk * m_channels;
}

void DecodedSound::releaseBefore(int64_t frame)
{
    const int64_t whole = std::clamp<int64_t>(frame >> ChunkShift, 0, int64_t(m_chunks.size()));
    for (int64_t chunk = 0; chunk < whole; ++chunk) {
        auto& slot = m_chunks[static_cast<size_t>(chunk)];
        if (slot) {
            m_allocatedBytes.fetch_sub(chunkFramesFor(chunk) * m_channels * 2,
                                       std::memory_order_relaxed);
            slot.reset();
        }
    }
}

double DecodedSound::progress() const
{
    if (isComplete())
        return 1.0;
    const int64_t length = lengthFrames();
    const int64_t total = length >= 0 ? length : m_estimate;
    if (total <= 0)
        return 0.0;
    return std::clamp(static_cast<double>(availableFrames()) / static_cast<double>(total), 0.0,
                      0.999);
}

int64_t DecodedSound::memoryBytes() const
{
    return m_allocatedBytes.load(std::memory_order_relaxed) +
           static_cast<int64_t>(m_chunks.size() * sizeof(m_chunks[0]));
}

} // namespace tavix
