#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <type_traits>

namespace tavix {

// Hands the latest value of some state from one writer thread to one reader thread
// without locks and without either ever waiting: the writer fills a slot of its own and
// swaps it into the middle; the reader swaps the middle out when a newer value is there.
// The reader always sees a whole value, the newest published or one published earlier.
template <typename T> class TripleBuffer
{
    static_assert(std::is_trivially_copyable_v<T>, "values are copied between the threads");

public:
    TripleBuffer() = default;
    explicit TripleBuffer(const T& initial) { m_slots.fill(initial); }

    TripleBuffer(const TripleBuffer&) = delete;
    TripleBuffer& operator=(const TripleBuffer&) = delete;

    // Writer side: fills the writer's slot, then makes it the newest.
    void publish(const T& value)
    {
        m_slots[m_back] = value;
        m_back =
            m_middle.exchange(static_cast<uint8_t>(m_back | Fresh), std::memory_order_acq_rel) &
            IndexMask;
    }

    // Reader side: the newest value published (the initial one before any).
    const T& read()
    {
        if (m_middle.load(std::memory_order_relaxed) & Fresh)
            m_front = m_middle.exchange(m_front, std::memory_order_acq_rel) & IndexMask;
        return m_slots[m_front];
    }

private:
    static constexpr uint8_t IndexMask = 3;
    static constexpr uint8_t Fresh = 4;

    std::array<T, 3> m_slots{};
    uint8_t m_back = 0; // the writer's own
    alignas(64) std::atomic<uint8_t> m_middle{1};
    alignas(64) uint8_t m_front = 2; // the reader's own
};

} // namespace tavix
