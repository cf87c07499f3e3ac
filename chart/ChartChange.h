#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavix {

class KeP;

// What one change did to a chart: the grid's size before and after it, in elements (0
// is no grid), and every element whose value it changed, kept as the element's index
// and the difference of its old and new values (old XOR new, which gives either value
// from the other). A resize that drops cells keeps each dropped element that was not 0;
// cells a resize adds start at 0 and need nothing. Never a copy of the grid: indices are
// stored in ascending order, each as a variable-length step from the one before, and the
// value differences only when one of them is not 1, so a changed key costs about a byte.
class ChartChange
{
public:
    ChartChange() = default;
    ChartChange(const ChartChange& other);
    ChartChange(ChartChange&& other) noexcept;
    ChartChange& operator=(ChartChange other) noexcept;
    ~ChartChange();

    // Nothing changed: no element and no size.
    bool empty() const { return m_count == 0 && m_sizeBefore == m_sizeAfter; }
    uint32_t sizeBefore() const { return m_sizeBefore; }
    uint32_t sizeAfter() const { return m_sizeAfter; }
    int32_t cellsBefore() const { return cellsOf(m_sizeBefore); }
    int32_t cellsAfter() const { return cellsOf(m_sizeAfter); }
    uint32_t elementCount() const { return m_count; }
    // What the record occupies: itself and the bytes it holds.
    size_t memoryBytes() const;

    // Takes the change back from a chart as the change left it, or makes it again on a
    // chart as it was before it. Refused (false, nothing touched) when the grid's size
    // shows that the chart is not in that state.
    bool undo(KeP& kep) const { return apply(kep, m_sizeAfter, m_sizeBefore); }
    bool redo(KeP& kep) const { return apply(kep, m_sizeBefore, m_sizeAfter); }

    // Calls f(index, difference) for every changed element, in ascending index order.
    template <class F> void forEachElement(F&& f) const
    {
        const uint8_t* p = bytes();
        const uint8_t* differences = p + m_indexBytes;
        int64_t index = 0;
        for (uint32_t i = 0; i < m_count; ++i) {
            index += readStep(p);
            f(uint32_t(index), m_differenceBytes ? differences[i] : uint8_t(1));
        }
    }

private:
    friend class ChartEdit;

    // Indices as steps from the one before, then (only when some is not 1) one value
    // difference per element.
    ChartChange(uint32_t sizeBefore, uint32_t sizeAfter, uint32_t count,
                const std::vector<uint8_t>& steps, const std::vector<uint8_t>& differences);

    static int32_t cellsOf(uint32_t size) { return size == 0 ? 0 : int32_t((size - 1) / 7); }
    // One step between indices: a zigzag number in 7-bit groups, low group first.
    static int64_t readStep(const uint8_t*& p)
    {
        uint64_t v = 0;
        for (int shift = 0;; shift += 7) {
            const uint8_t b = *p++;
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return int64_t(v >> 1) ^ -int64_t(v & 1);
        }
    }

    bool apply(KeP& kep, uint32_t from, uint32_t to) const;
    size_t storedBytes() const { return size_t(m_indexBytes) + m_differenceBytes; }
    bool onHeap() const { return storedBytes() > sizeof(m_store); }
    const uint8_t* bytes() const { return onHeap() ? m_store.heap : m_store.local; }

    uint32_t m_sizeBefore = 0;
    uint32_t m_sizeAfter = 0;
    uint32_t m_count = 0;
    uint32_t m_indexBytes = 0;
    uint32_t m_differenceBytes = 0; // 0 or m_count
    // A single toggle fits in place; larger records live on the heap.
    union Store {
        uint8_t* heap;
        uint8_t local[8];
    } m_store{};
};

} // namespace tavix
