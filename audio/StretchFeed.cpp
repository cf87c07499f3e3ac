#include "StretchFeed.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <vector>

namespace tavix {

namespace {

constexpr int GenerationShift = 40;
constexpr uint64_t FrameMask = (uint64_t{1} << GenerationShift) - 1;
constexpr uint64_t ParkedFrame = FrameMask; // no run
constexpr uint32_t GenerationMask = 0xFFFFFF;
// The most the feeder hands the stretcher at once; set as its process size, so it never
// reallocates while a run goes on.
constexpr int InputPiece = 1024;

constexpr float SampleScale = 1.0f / 32768.0f;

} // namespace

StretchFeed::StretchFeed(std::shared_ptr<const DecodedSound> sound, int ratePercent)
    : m_sound(std::move(sound)), m_percent(std::clamp(ratePercent, 1, 99)),
      m_blocks(std::make_unique<Block[]>(RingBlocks)),
      m_thread([this](const std::stop_token& stop) { feed(stop); })
{
    static_assert(Parked == ParkedFrame);
}

StretchFeed::~StretchFeed()
{
    m_thread.request_stop();
    if (m_thread.joinable())
        m_thread.join();
}

uint64_t StretchFeed::pack(uint32_t generation, int64_t frame)
{
    return (uint64_t{generation & GenerationMask} << GenerationShift) |
           (static_cast<uint64_t>(frame) & FrameMask);
}

// ---- The audio thread ----------------------------------------------------------------------

void StretchFeed::newGeneration()
{
    m_generation = (m_generation + 1) & GenerationMask;
    if (m_generation == 0)
        m_generation = 1;
    m_readOffset = 0;
}

void StretchFeed::restart(int64_t songFrame)
{
    newGeneration();
    m_ended = false;
    m_request.store(pack(m_generation, std::clamp<int64_t>(songFrame, 0, ParkedFrame - 1)),
                    std::memory_order_release);
}

void StretchFeed::park()
{
    // One store: the feeder must never see a run asked for on the way to parking.
    newGeneration();
    m_ended = true;
    m_request.store(pack(m_generation, static_cast<int64_t>(ParkedFrame)),
                    std::memory_order_release);
}

void StretchFeed::dropStale()
{
    size_t tail = m_tail.load(std::memory_order_relaxed);
    const size_t head = m_head.load(std::memory_order_acquire);
    while (tail != head && m_blocks[tail % RingBlocks].generation != m_generation) {
        ++tail;
        m_readOffset = 0;
    }
    m_tail.store(tail, std::memory_order_release);
}

int StretchFeed::mixInto(float* dst, int frames, bool& ended)
{
    int done = 0;
    while (done < frames && !m_ended) {
        dropStale();
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail == m_head.load(std::memory_order_acquire))
            break;
        const Block& b = m_blocks[tail % RingBlocks];
        const int n = std::min(frames - done, b.frames - m_readOffset);
        const float* src = b.samples + ptrdiff_t{2} * m_readOffset;
        float* d = dst + ptrdiff_t{2} * done;
        for (int i = 0; i < 2 * n; ++i)
            d[i] += src[i];
        m_readOffset += n;
        done += n;
        if (m_readOffset >= b.frames) {
            m_ended = b.last;
            m_readOffset = 0;
            m_tail.store(tail + 1, std::memory_order_release);
        }
    }
    ended = m_ended;
    return done;
}

void StretchFeed::peekInto(float* dst, int frames)
{
    if (m_ended)
        return;
    dropStale();
    const size_t head = m_head.load(std::memory_order_acquire);
    int offset = m_readOffset;
    int done = 0;
    for (size_t i = m_tail.load(std::memory_order_relaxed); i != head && done < frames; ++i) {
        const Block& b = m_blocks[i % RingBlocks];
        const int n = std::min(frames - done, b.frames - offset);
        const float* src = b.samples + ptrdiff_t{2} * offset;
        float* d = dst + ptrdiff_t{2} * done;
        for (int k = 0; k < 2 * n; ++k)
            d[k] += src[k];
        done += n;
        offset = 0;
        if (b.last)
            break;
    }
}

int64_t StretchFeed::readyFrames()
{
    if (m_ended)
        return 0;
    dropStale();
    int64_t ready = -m_readOffset;
    const size_t head = m_head.load(std::memory_order_acquire);
    for (size_t i = m_tail.load(std::memory_order_relaxed); i != head; ++i)
        ready += m_blocks[i % RingBlocks].frames;
    return ready;
}

bool StretchFeed::lastFrameReady()
{
    if (m_ended)
        return true;
    dropStale();
    const size_t head = m_head.load(std::memory_order_acquire);
    const size_t tail = m_tail.load(std::memory_order_relaxed);
    if (head == tail)
        return false; // the block before head may be being rewritten
    const Block& newest = m_blocks[(head - 1) % RingBlocks];
    return newest.generation == m_generation && newest.last;
}

// ---- The feeder thread ---------------------------------------------------------------------

void StretchFeed::feed(const std::stop_token& stop)
{
    using RubberBand::RubberBandStretcher;
    const int channels = m_sound->channels();
    const double ratio = 100.0 / m_percent; // output length over input length
    // Real time, so it can start anywhere and be fed piece by piece; crisp transients, the
    // percussive onset detector and the short window, as chart makers slow songs down to
    // hear the drums: the short window smears an onset over half the time the standard
    // one does (measured on noise bursts: within 2 ms at 75% and 50%, about 9 ms late at
    // 25%, against 4 and 17 ms).
    RubberBandStretcher stretcher(
        static_cast<size_t>(m_sound->sampleRate()), static_cast<size_t>(channels),
        RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionTransientsCrisp |
            RubberBandStretcher::OptionDetectorPercussive |
            RubberBandStretcher::OptionPitchHighQuality | RubberBandStretcher::OptionWindowShort |
            RubberBandStretcher::OptionThreadingNever,
        ratio);
    stretcher.setMaxProcessSize(InputPiece);

    std::array<std::vector<float>, 2> in;
    std::array<std::vector<float>, 2> out;
    for (int c = 0; c < 2; ++c) {
        in[static_cast<size_t>(c)].resize(InputPiece);
        out[static_cast<size_t>(c)].resize(BlockFrames);
    }
    const std::array<float*, 2> inPtr{in[0].data(), in[1].data()};
    const std::array<float*, 2> outPtr{out[0].data(), out[1].data()};

    uint64_t taken = ~uint64_t{0};
    bool active = false;
    uint32_t generation = 0;
    int64_t start = 0;
    int64_t inPos = 0;     // the next song frame to feed
    int64_t toDrop = 0;    // the stretcher's start delay, still to discard
    int64_t delivered = 0; // frames of the run put into blocks, published or staged
    int staged = 0;        // frames in the block being filled
    bool finalSent = false;
    int64_t loopFrom = 0; // the run's loop, if loopTo > loopFrom
    int64_t loopTo = 0;
    // Where song frame `frame` of the run is read from: the loop's range again past its end.
    const auto wrapped = [&](int64_t frame) {
        return loopTo > loopFrom && frame >= loopTo
                   ? loopFrom + (frame - loopFrom) % (loopTo - loopFrom)
                   : frame;
    };

    // Song frames [from, from + n) as planar floats; silence before the start and past
    // what is decoded.
    const auto readInput = [&](int64_t from, int n) {
        for (int i = 0; i < n;) {
            const int64_t frame = wrapped(from + i);
            int64_t run = 0;
            const int16_t* src = frame >= 0 ? m_sound->framesAt(frame, run) : nullptr;
            if (src && loopTo > loopFrom && frame < loopTo)
                run = std::min(run, loopTo - frame);
            if (!src) {
                const int gap =
                    frame < 0 ? static_cast<int>(std::min<int64_t>(-frame, n - i)) : n - i;
                for (int c = 0; c < channels; ++c)
                    std::fill_n(inPtr[static_cast<size_t>(c)] + i, gap, 0.0f);
                i += gap;
                continue;
            }
            const int m = static_cast<int>(std::min<int64_t>(run, n - i));
            for (int k = 0; k < m; ++k)
                for (int c = 0; c < channels; ++c)
                    inPtr[static_cast<size_t>(c)][i + k] =
                        static_cast<float>(src[k * channels + c]) * SampleScale;
            i += m;
        }
    };
    const auto ringFull = [&] {
        return m_head.load(std::memory_order_relaxed) - m_tail.load(std::memory_order_acquire) >=
               RingBlocks;
    };
    const auto slot = [&]() -> Block& {
        return m_blocks[m_head.load(std::memory_order_relaxed) % RingBlocks];
    };
    const auto publish = [&](bool last) {
        Block& b = slot();
        b.generation = generation;
        b.frames = staged;
        b.last = last;
        m_made.fetch_add(staged, std::memory_order_relaxed);
        m_head.store(m_head.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        staged = 0;
        if (last)
            active = false;
    };

    while (!stop.stop_requested()) {
        const uint64_t request = m_request.load(std::memory_order_acquire);
        if (request != taken) {
            taken = request;
            generation = static_cast<uint32_t>(request >> GenerationShift);
            active = (request & FrameMask) != ParkedFrame;
            staged = 0;
            if (!active)
                continue;
            start = static_cast<int64_t>(request & FrameMask);
            loopFrom = m_loopFrom.load(std::memory_order_relaxed);
            loopTo = m_loopTo.load(std::memory_order_relaxed);
            stretcher.reset();
            stretcher.setTimeRatio(ratio);
            // Primed with the song just before the start (silence before the song), so
            // the first frames come out as they would had it played through.
            const auto pad = static_cast<int64_t>(stretcher.getPreferredStartPad());
            for (int64_t from = start - pad; from < start;) {
                const int n = static_cast<int>(std::min<int64_t>(InputPiece, start - from));
                readInput(from, n);
                stretcher.process(inPtr.data(), static_cast<size_t>(n), false);
                from += n;
            }
            toDrop = static_cast<int64_t>(stretcher.getStartDelay());
            inPos = start;
            delivered = 0;
            finalSent = false;
            continue;
        }
        if (!active || ringFull()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(active ? 1 : 2));
            continue;
        }
        const bool looping = loopTo > loopFrom;
        const int64_t length = looping ? -1 : m_sound->lengthFrames();
        // The run's exact length in output frames, once the song's length is known; a loop
        // has none.
        const int64_t target =
            length >= 0 ? (std::max<int64_t>(length - start, 0) * 100 + m_percent - 1) / m_percent
                        : -1;
        if (target >= 0 && delivered >= target) {
            publish(true);
            continue;
        }
        Block& b = slot();
        const int room = BlockFrames - staged;
        const int available = stretcher.available();
        if (available > 0 || (finalSent && target >= 0)) {
            int got = 0;
            if (available > 0) {
                got = static_cast<int>(stretcher.retrieve(
                    outPtr.data(), static_cast<size_t>(std::min(available, room))));
            }
            int from = 0;
            if (toDrop > 0) {
                from = static_cast<int>(std::min<int64_t>(toDrop, got));
                toDrop -= from;
            }
            int keep = got - from;
            if (available <= 0) {
                // The stretcher is done: silence up to the run's length.
                keep = room;
                for (int c = 0; c < channels; ++c)
                    std::fill_n(outPtr[static_cast<size_t>(c)], keep, 0.0f);
                from = 0;
            }
            if (target >= 0)
                keep = static_cast<int>(std::min<int64_t>(keep, target - delivered));
            for (int k = 0; k < keep; ++k) {
                const float l = outPtr[0][from + k];
                const float r = channels == 2 ? outPtr[1][from + k] : l;
                const size_t at = 2 * static_cast<size_t>(staged + k);
                b.samples[at] = l;
                b.samples[at + 1] = r;
            }
            staged += keep;
            delivered += keep;
            if (staged == BlockFrames)
                publish(target >= 0 && delivered >= target);
            continue;
        }
        // The stretcher wants input.
        if (length >= 0 && inPos >= length) {
            stretcher.process(inPtr.data(), 0, true);
            finalSent = true;
            continue;
        }
        const int64_t decoded = looping && m_sound->availableFrames() >= loopTo
                                    ? InputPiece
                                    : m_sound->availableFrames() - wrapped(inPos);
        if (decoded <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // the decoder is behind
            continue;
        }
        const size_t wanted = std::max<size_t>(stretcher.getSamplesRequired(), 1);
        int64_t n = std::min<int64_t>({static_cast<int64_t>(wanted), InputPiece, decoded});
        if (length >= 0)
            n = std::min(n, length - inPos);
        readInput(inPos, static_cast<int>(n));
        stretcher.process(inPtr.data(), static_cast<size_t>(n), false);
        inPos += n;
    }
}

} // namespace tavix
