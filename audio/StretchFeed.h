#pragma once

#include "DecodedSound.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace tavix {

// A song played slower with its pitch kept: a feeder thread of its own runs Rubber Band
// (real-time mode, tuned for percussive material) over the decoded song and hands the
// stretched frames to the audio thread through a lock-free ring of fixed blocks.
//
// Why a feeder thread: the stretcher allocates, takes its time in bursts (one FFT frame
// of work yields several hundred output frames at once) and must be primed from well
// before the position, none of which belongs in the audio callback. The feeder keeps the
// ring up to RingBlocks * BlockFrames frames ahead (about 0.75 s at 44.1 kHz), so a burst
// of work there never reaches the device; the audio thread only copies floats out.
//
// A run: the audio thread calls restart(songFrame) when the music starts or seeks. That
// is one atomic store of a new generation number and the frame; the feeder sees it,
// resets the stretcher, primes it with the song's frames just before songFrame (silence
// before the song's start) and throws away the stretcher's start delay, so the first
// frame it delivers is songFrame itself and output frame k of the run plays the song at
// songFrame + k * rate. Every block carries the generation it was made for, and the
// audio thread drops blocks of older runs unread, so the ring never needs to be emptied
// by the side that does not own its read index. A run ends with exactly
// ceil((length - songFrame) / rate) frames (the stretcher's last output trimmed or padded
// with silence), so the song at 50% lasts exactly twice as long.
//
// Nothing the audio thread calls locks, allocates or waits.
class StretchFeed
{
public:
    static constexpr int BlockFrames = 256;
    static constexpr int RingBlocks = 128;

    // ratePercent from 1 to 99 (100 is played without a stretcher).
    StretchFeed(std::shared_ptr<const DecodedSound> sound, int ratePercent);
    ~StretchFeed();
    StretchFeed(const StretchFeed&) = delete;
    StretchFeed& operator=(const StretchFeed&) = delete;

    int ratePercent() const { return m_percent; }

    // ---- The audio thread ----
    // Begins a new run from `songFrame`; what the ring holds of earlier runs is dropped.
    void restart(int64_t songFrame);
    // The runs begun from now on play song frames [from, to) over and over once they reach
    // `to`, without end: the stretcher is fed the range again and again, so the jump is as
    // seamless as the music. to <= from: no loop.
    void setLoop(int64_t from, int64_t to)
    {
        m_loopFrom.store(from, std::memory_order_relaxed);
        m_loopTo.store(to, std::memory_order_relaxed);
    }
    // No run: the feeder idles.
    void park();
    // Adds up to `frames` stereo frames of the current run to `dst`; returns how many.
    // `ended` becomes true once the run's last frame has been taken.
    int mixInto(float* dst, int frames, bool& ended);
    // Adds up to `frames` of what mixInto would take next to `dst`, taking nothing.
    void peekInto(float* dst, int frames);
    // Frames of the current run ready in the ring (drops stale blocks on the way).
    int64_t readyFrames();
    // The current run's last frame is in the ring (or taken already): it will not stall.
    bool lastFrameReady();
    bool runEnded() const { return m_ended; }

    // Any thread: frames the feeder has put into the ring since construction (tests and
    // benchmarks), to tell a resting feeder from a busy one.
    int64_t framesStretched() const { return m_made.load(std::memory_order_relaxed); }

private:
    struct Block
    {
        uint32_t generation = 0;
        int32_t frames = 0;
        bool last = false;
        float samples[2 * BlockFrames]; // interleaved stereo
    };

    void feed(const std::stop_token& stop);
    void dropStale();

    static uint64_t pack(uint32_t generation, int64_t frame);
    void newGeneration();

    static constexpr uint64_t Parked = (uint64_t{1} << 40) - 1; // generation 0, no frame

    std::shared_ptr<const DecodedSound> m_sound;
    const int m_percent;
    std::unique_ptr<Block[]> m_blocks;
    alignas(64) std::atomic<size_t> m_head{0}; // written by the feeder
    alignas(64) std::atomic<size_t> m_tail{0}; // written by the audio thread
    // The run asked for: generation in the top 24 bits, the start frame below, all ones
    // when parked. A new feeder starts parked: it has nothing to stretch until asked.
    alignas(64) std::atomic<uint64_t> m_request{Parked};
    std::atomic<int64_t> m_made{0};

    // The audio thread's own.
    uint32_t m_generation = 0;
    int m_readOffset = 0;
    bool m_ended = false;

    std::jthread m_thread; // last: starts once everything above is in place
    // Set by the audio thread before the restart that takes them; the restart's release
    // store publishes them to the feeder.
    std::atomic<int64_t> m_loopFrom{0};
    std::atomic<int64_t> m_loopTo{0};
};

} // namespace tavix
