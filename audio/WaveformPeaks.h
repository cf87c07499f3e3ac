#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tavix {

// The range of the samples in a stretch of a song, all channels together, in steps of
// 1/128 of full scale (-128..127). A stretch with no song in it is empty (lo > hi).
struct PeakRange
{
    int8_t lo = 0;
    int8_t hi = 0;

    static constexpr PeakRange none() { return {127, -128}; }
    bool empty() const { return lo > hi; }
    void include(PeakRange other)
    {
        lo = other.lo < lo ? other.lo : lo;
        hi = other.hi > hi ? other.hi : hi;
    }
};

// The peaks of a decoded song, for drawing its waveform at any scale: level 0 holds the
// range of every block of `baseBlockFrames()` frames (about 1.5 ms), each level above the
// range of `Factor` blocks of the one below, so a stretch of any length is read in a few
// values. Times are the song's own: the peaks follow the samples as they were stored, at
// whatever rate that was.
//
// One writer (the decoder, as it stores samples) and any number of readers at once,
// without locks: blocks never move once written, and each level publishes how many of
// its blocks are complete with release order after they are in place.
class WaveformPeaks
{
public:
    static constexpr int Factor = 4;
    static constexpr int Levels = 8;
    // Blocks per piece of storage; a song of known length gets its last piece cut to size.
    static constexpr int64_t PieceBlocks = 4096;
    // The most frames a song is given room for (3.4 h at 44.1 kHz), as its samples are.
    static constexpr int64_t MaxFrames = int64_t{1} << 29;

    // expectedFrames < 0: the length is known only once the writer finishes. More than
    // MaxFrames is taken as MaxFrames.
    WaveformPeaks(int channels, int sampleRate, int64_t expectedFrames);
    WaveformPeaks(const WaveformPeaks&) = delete;
    WaveformPeaks& operator=(const WaveformPeaks&) = delete;

    // Writer side: interleaved frames of `channels()` samples, in order. Frames beyond the
    // room given are ignored.
    void add(const int16_t* interleaved, int64_t frames);
    // No more frames: the last partial blocks are completed with what they hold. Without
    // keepLength (a file cut off before the length its header gave) the song ends where
    // its frames do.
    void finish(bool keepLength = true);

    // Reader side.
    int channels() const { return m_channels; }
    int sampleRate() const { return m_rate; }
    int64_t baseBlockFrames() const { return m_baseFrames; }
    int64_t blockFrames(int level) const { return m_baseFrames << (2 * level); }
    // Complete blocks of a level, published.
    int64_t blocks(int level) const;
    PeakRange block(int level, int64_t index) const; // index < blocks(level)
    bool isComplete() const { return m_complete.load(std::memory_order_acquire); }
    // Frames the song has, -1 while unknown.
    int64_t lengthFrames() const { return m_length.load(std::memory_order_acquire); }

    // Fills out[i] with the range of the song between the times startMs + i * msPerColumn
    // and startMs + (i + 1) * msPerColumn (ms of the song), reading at most a few blocks
    // per column: the blocks whose middle falls in the column, or the one under its middle
    // when it is narrower than a block. Stretches not decoded yet read as silence (0, 0);
    // those before the song's start or after its end as empty.
    void columns(double startMs, double msPerColumn, std::span<PeakRange> out) const;

    // Bytes of memory held for the peaks.
    int64_t memoryBytes() const;

private:
    struct Level
    {
        std::vector<std::unique_ptr<PeakRange[]>> pieces; // sized once; only elements change
        int64_t capacity = 0;                             // blocks
        int64_t written = 0;                              // writer's own count
        std::atomic<int64_t> published{0};
        PeakRange pending = PeakRange::none(); // the block being gathered from below
        int pendingCount = 0;
    };

    void push(int level, PeakRange range);
    void publish();
    PeakRange rangeOf(int level, int64_t first, int64_t end,
                      const std::array<int64_t, Levels>& ready) const;

    int m_channels;
    int m_rate;
    int64_t m_baseFrames;
    int64_t m_capacityFrames;
    std::array<Level, Levels> m_levels;
    // The base block being gathered, in full 16-bit steps.
    int m_lo = 32767;
    int m_hi = -32768;
    int64_t m_fill = 0;
    int64_t m_framesAdded = 0;
    std::atomic<int64_t> m_allocatedBytes{0};
    std::atomic<int64_t> m_length;
    std::atomic<bool> m_complete{false};
};

} // namespace tavix
