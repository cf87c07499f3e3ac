#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <type_traits>

namespace tavix {

// A fixed-size queue from one producer thread to one consumer thread, without locks:
// neither side ever waits for the other, and nothing is allocated after construction.
// A push into a full queue fails at once; the producer decides what to do about it.
template <typename T> class SpscQueue
{
    static_assert(std::is_trivially_copyable_v<T>, "items are copied in and out by value");

public:
    // The capacity is rounded up to a power of two.
    explicit SpscQueue(size_t capacity) : m_size(roundUp(capacity)), m_items(new T[m_size]) {}

    SpscQueue(const SpscQueue&) = delete;
    SpscQueue& operator=(const SpscQueue&) = delete;

    size_t capacity() const { return m_size; }

    // Producer side. False when the queue is full.
    bool push(const T& item)
    {
        const size_t head = m_head.load(std::memory_order_relaxed);
        if (head - m_tail.load(std::memory_order_acquire) >= m_size)
            return false;
        m_items[head & (m_size - 1)] = item;
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer side. False when the queue is empty.
    bool pop(T& item)
    {
        const size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail == m_head.load(std::memory_order_acquire))
            return false;
        item = m_items[tail & (m_size - 1)];
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Either side; exact only on the consumer's side.
    bool empty() const
    {
        return m_tail.load(std::memory_order_acquire) == m_head.load(std::memory_order_acquire);
    }

private:
    static size_t roundUp(size_t n)
    {
        size_t size = 1;
        while (size < n)
            size <<= 1;
        return size;
    }

    const size_t m_size;
    std::unique_ptr<T[]> m_items;
    // Each index on a cache line of its own, so the two threads do not share one.
    alignas(64) std::atomic<size_t> m_head{0}; // written by the producer
    alignas(64) std::atomic<size_t> m_tail{0}; // written by the consumer
};

} // namespace tavix
