#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace tavix {

// Lets the requests of one audio device at a time into the mixer, without a lock. Each
// device the engine opens has a generation of its own; a request of any other than the
// current one is turned away (it gets silence), so a device being replaced, one that may
// still wake up after it was given up for stopped, never mixes beside its successor.
class RenderGate
{
public:
    // The audio thread, at each request: true if the device of `generation` may mix now;
    // then leave() when done. It never waits.
    bool enter(uint32_t generation)
    {
        uint64_t expected = uint64_t{generation} << 1;
        return m_state.compare_exchange_strong(expected, expected | 1, std::memory_order_acquire,
                                               std::memory_order_relaxed);
    }
    void leave(uint32_t generation)
    {
        m_state.store(uint64_t{generation} << 1, std::memory_order_release);
    }

    // From now on only the device of `generation` comes in. Waits for a request of the
    // one before that is under way, and takes over what it left in the mixer.
    void handTo(uint32_t generation)
    {
        uint64_t now = m_state.load(std::memory_order_acquire);
        for (;;) {
            if ((now & 1) == 0 &&
                m_state.compare_exchange_weak(now, uint64_t{generation} << 1,
                                              std::memory_order_acq_rel, std::memory_order_acquire))
                return;
            std::this_thread::yield();
            now = m_state.load(std::memory_order_acquire);
        }
    }

private:
    std::atomic<uint64_t> m_state{0}; // the current generation, and 1 while it mixes
};

} // namespace tavix
