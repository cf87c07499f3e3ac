#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavix {

// The decoded samples of one stream: 16-bit interleaved frames at the mix rate, one or two
// channels, filled by a single writer (the decoder, possibly on a thread of its own) while
// any number of readers (the mixer) use the part already written.
//
// Storage is a fixed table of chunks that never moves: the writer publishes a frame count
// with release order after the frames are in place, so a reader that loaded the count
// with acquire order can read everything below it without a lock.
class DecodedSound
{
public:
    static constexpr int ChunkShift = 16;
    static constexpr int64_t ChunkFrames = int64_t{1} << ChunkShift; // about 1.5 s
    // The most a stream of unknown length can hold: about 3.4 hours at 44.1 kHz.
    static constexpr int64_t MaxChunks = 8192;

    // expectedFrames < 0: the length becomes known only when the writer finishes.
    DecodedSound(int channels, int sampleRate, int64_t expectedFrames);

    DecodedSound(const DecodedSound&) = delete;
    DecodedSound& operator=(const DecodedSound&) = delete;

    int channels() const { return m_channels; }
    int sampleRate() const { return m_rate; }

    // Writer side. Frames beyond a known length or beyond the capacity are dropped; the
    // return value says how many were kept.
    int64_t append(const int16_t* interleaved, int64_t frames);
    // Ends the writing. With keepLength a known length is kept (missing frames read as
    // silence); otherwise, or when the length is unknown, it becomes the frames written.
    void finish(bool keepLength = true);

    // Reader side.
    int64_t availableFrames() const { return m_available.load(std::memory_order_acquire); }
    bool isComplete() const { return m_complete.load(std::memory_order_acquire); }
    // -1 while unknown.
    int64_t lengthFrames() const { return m_length.load(std::memory_order_acquire); }
    // The writer's estimate for a stream of unknown length (0 if none).
    int64_t estimatedFrames() const { return m_estimate; }
    void setEstimatedFrames(int64_t frames) { m_estimate = frames; }
    // The frames from `frame` on, up to the end of their chunk or of the written part:
    // the pointer and how many frames it holds (0 and nullptr past the written part).
    const int16_t* framesAt(int64_t frame, int64_t& contiguous) const;

    // Frees the chunks wholly before `frame`. Only for a sound read once, from start to
    // end, on the writer's own thread (an analysis of a file, not playback): what has been
    // read is not needed again. A freed frame reads as nothing, like one not yet written.
    void releaseBefore(int64_t frame);

    double progress() const;
    // Bytes of sample memory held.
    int64_t memoryBytes() const;

private:
    int64_t chunkFramesFor(int64_t chunk) const;

    int m_channels;
    int m_rate;
    int64_t m_capacity;
    int64_t m_estimate = 0;
    std::vector<std::unique_ptr<int16_t[]>> m_chunks; // sized once; only elements change
    int64_t m_written = 0;                            // writer's own count
    std::atomic<int64_t> m_allocatedBytes{0};
    std::atomic<int64_t> m_available{0};
    std::atomic<int64_t> m_length;
    std::atomic<bool> m_complete{false};
};

} // namespace tavix
