#include "WaveformPeaks.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

// Blocks of about 1.5 ms, a power of two in frames: 64 at 44.1 and 48 kHz.
int64_t baseFramesFor(int sampleRate)
{
    int64_t frames = 16;
    while (double(frames) * 2.0 <= double(sampleRate) * 0.0015 * std::sqrt(2.0))
        frames *= 2;
    return frames;
}

int64_t floorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

int64_t ceilDiv(int64_t a, int64_t b)
{
    return -floorDiv(-a, b);
}

PeakRange toRange(int lo, int hi)
{
    // Arithmetic shifts round toward minus infinity on both ends alike.
    return {static_cast<int8_t>(lo >> 8), static_cast<int8_t>(hi >> 8)};
}

// Frames as a whole number within reach of every song, for times far outside one.
int64_t frameAt(double ms, double framesPerMs)
{
    const double f = std::floor(ms * framesPerMs);
    if (!(f > -1.0))
        return -1;
    return f < 9.0e15 ? static_cast<int64_t>(f) : int64_t{9'000'000'000'000'000};
}

} // namespace

WaveformPeaks::WaveformPeaks(int channels, int sampleRate, int64_t expectedFrames)
    : m_channels(std::max(channels, 1)), m_rate(std::max(sampleRate, 1)),
      m_baseFrames(baseFramesFor(m_rate)),
      m_capacityFrames(expectedFrames >= 0 ? std::min(expectedFrames, MaxFrames) : MaxFrames),
      m_length(expectedFrames >= 0 ? m_capacityFrames : -1)
{
    int64_t table = 0;
    for (int level = 0; level < Levels; ++level) {
        Level& l = m_levels[size_t(level)];
        l.capacity = ceilDiv(m_capacityFrames, blockFrames(level));
        l.pieces.resize(size_t(ceilDiv(l.capacity, PieceBlocks)));
        table += int64_t(l.pieces.size() * sizeof(l.pieces[0]));
    }
    m_allocatedBytes.store(table, std::memory_order_relaxed);
}

void WaveformPeaks::push(int level, PeakRange range)
{
    Level& l = m_levels[size_t(level)];
    if (l.written >= l.capacity)
        return;
    const int64_t piece = l.written / PieceBlocks;
    auto& slot = l.pieces[size_t(piece)];
    if (!slot) {
        // A song of known length gets a last piece of just the size it needs.
        const int64_t size = m_length.load(std::memory_order_relaxed) >= 0
                                 ? std::min(PieceBlocks, l.capacity - piece * PieceBlocks)
                                 : PieceBlocks;
        slot = std::make_unique<PeakRange[]>(size_t(size));
        m_allocatedBytes.fetch_add(size * int64_t(sizeof(PeakRange)), std::memory_order_relaxed);
    }
    slot[size_t(l.written % PieceBlocks)] = range;
    ++l.written;
    if (level + 1 >= Levels)
        return;
    Level& up = m_levels[size_t(level) + 1];
    up.pending.include(range);
    if (++up.pendingCount == Factor) {
        const PeakRange gathered = up.pending;
        up.pending = PeakRange::none();
        up.pendingCount = 0;
        push(level + 1, gathered);
    }
}

void WaveformPeaks::publish()
{
    for (Level& l : m_levels)
        l.published.store(l.written, std::memory_order_release);
}

void WaveformPeaks::add(const int16_t* interleaved, int64_t frames)
{
    if (!interleaved || frames <= 0 || m_framesAdded >= m_capacityFrames)
        return;
    frames = std::min(frames, m_capacityFrames - m_framesAdded);
    m_framesAdded += frames;
    const int16_t* s = interleaved;
    while (frames > 0) {
        const int64_t n = std::min(frames, m_baseFrames - m_fill);
        const int64_t count = n * m_channels;
        int lo = m_lo;
        int hi = m_hi;
        for (int64_t i = 0; i < count; ++i) {
            const int v = s[i];
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
        s += count;
        frames -= n;
        m_fill += n;
        if (m_fill == m_baseFrames) {
            push(0, toRange(lo, hi));
            m_lo = 32767;
            m_hi = -32768;
            m_fill = 0;
        } else {
            m_lo = lo;
            m_hi = hi;
        }
    }
    publish();
}

void WaveformPeaks::finish(bool keepLength)
{
    if (m_complete.load(std::memory_order_relaxed))
        return;
    if (m_fill > 0) {
        push(0, toRange(m_lo, m_hi));
        m_fill = 0;
    }
    // Bottom up, so a block completed here still reaches the levels above it.
    for (int level = 1; level < Levels; ++level) {
        Level& l = m_levels[size_t(level)];
        if (l.pendingCount == 0)
            continue;
        const PeakRange gathered = l.pending;
        l.pending = PeakRange::none();
        l.pendingCount = 0;
        push(level, gathered);
    }
    if (!keepLength || m_length.load(std::memory_order_relaxed) < 0)
        m_length.store(m_framesAdded, std::memory_order_release);
    publish();
    m_complete.store(true, std::memory_order_release);
}

int64_t WaveformPeaks::blocks(int level) const
{
    return m_levels[size_t(level)].published.load(std::memory_order_acquire);
}

PeakRange WaveformPeaks::block(int level, int64_t index) const
{
    const Level& l = m_levels[size_t(level)];
    return l.pieces[size_t(index / PieceBlocks)][size_t(index % PieceBlocks)];
}

PeakRange WaveformPeaks::rangeOf(int level, int64_t first, int64_t end,
                                 const std::array<int64_t, Levels>& ready) const
{
    PeakRange range = PeakRange::none();
    const int64_t have = std::min(end, ready[size_t(level)]);
    for (int64_t j = first; j < have; ++j)
        range.include(block(level, j));
    if (have < end) {
        // Not complete at this level yet: the finer levels are further on, and what no
        // level holds yet is still being decoded.
        const int64_t from = std::max(first, have);
        if (level > 0)
            range.include(rangeOf(level - 1, from * Factor, end * Factor, ready));
        else
            range.include({0, 0});
    }
    return range;
}

void WaveformPeaks::columns(double startMs, double msPerColumn, std::span<PeakRange> out) const
{
    std::array<int64_t, Levels> ready{};
    for (int level = Levels - 1; level >= 0; --level)
        ready[size_t(level)] = blocks(level);
    const int64_t length = lengthFrames();
    const double framesPerMs = double(m_rate) / 1000.0;

    // The coarsest level whose blocks are no wider than a column.
    const double columnFrames = msPerColumn * framesPerMs;
    int level = 0;
    while (level + 1 < Levels && double(blockFrames(level + 1)) <= columnFrames)
        ++level;
    const int64_t size = blockFrames(level);

    for (size_t i = 0; i < out.size(); ++i) {
        const int64_t a = frameAt(startMs + double(i) * msPerColumn, framesPerMs);
        const int64_t b = frameAt(startMs + double(i + 1) * msPerColumn, framesPerMs);
        if (b <= 0 || (length >= 0 && a >= length)) {
            out[i] = PeakRange::none();
            continue;
        }
        const int64_t f0 = std::max<int64_t>(a, 0);
        int64_t f1 = length >= 0 ? std::min(b, length) : b;
        if (f1 <= f0)
            f1 = f0 + 1;
        int64_t first = ceilDiv(f0 - size / 2, size);
        int64_t end = ceilDiv(f1 - size / 2, size);
        if (end <= first) {
            first = (f0 + (f1 - f0) / 2) / size;
            end = first + 1;
        }
        out[i] = rangeOf(level, first, end, ready);
    }
}

int64_t WaveformPeaks::memoryBytes() const
{
    return m_allocatedBytes.load(std::memory_order_relaxed);
}

} // namespace tavix
