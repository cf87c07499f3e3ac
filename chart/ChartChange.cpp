#include "ChartChange.h"

#include "KeP.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

namespace tavix {

ChartChange::ChartChange(uint32_t sizeBefore, uint32_t sizeAfter, uint32_t count,
                         const std::vector<uint8_t>& steps, const std::vector<uint8_t>& differences)
    : m_sizeBefore(sizeBefore), m_sizeAfter(sizeAfter), m_count(count),
      m_indexBytes(uint32_t(steps.size())), m_differenceBytes(uint32_t(differences.size()))
{
    assert(m_differenceBytes == 0 || m_differenceBytes == m_count);
    uint8_t* out = m_store.local;
    if (onHeap()) {
        m_store.heap = new uint8_t[storedBytes()];
        out = m_store.heap;
    }
    if (!steps.empty())
        std::memcpy(out, steps.data(), steps.size());
    if (!differences.empty())
        std::memcpy(out + m_indexBytes, differences.data(), differences.size());
}

ChartChange::ChartChange(const ChartChange& other)
    : m_sizeBefore(other.m_sizeBefore), m_sizeAfter(other.m_sizeAfter), m_count(other.m_count),
      m_indexBytes(other.m_indexBytes), m_differenceBytes(other.m_differenceBytes)
{
    if (other.onHeap()) {
        m_store.heap = new uint8_t[storedBytes()];
        std::memcpy(m_store.heap, other.m_store.heap, storedBytes());
    } else {
        m_store = other.m_store;
    }
}

ChartChange::ChartChange(ChartChange&& other) noexcept
    : m_sizeBefore(other.m_sizeBefore), m_sizeAfter(other.m_sizeAfter), m_count(other.m_count),
      m_indexBytes(other.m_indexBytes), m_differenceBytes(other.m_differenceBytes),
      m_store(other.m_store)
{
    other.m_count = other.m_indexBytes = other.m_differenceBytes = 0;
    other.m_sizeAfter = other.m_sizeBefore;
}

ChartChange& ChartChange::operator=(ChartChange other) noexcept
{
    std::swap(m_sizeBefore, other.m_sizeBefore);
    std::swap(m_sizeAfter, other.m_sizeAfter);
    std::swap(m_count, other.m_count);
    std::swap(m_indexBytes, other.m_indexBytes);
    std::swap(m_differenceBytes, other.m_differenceBytes);
    std::swap(m_store, other.m_store);
    return *this;
}

ChartChange::~ChartChange()
{
    if (onHeap())
        delete[] m_store.heap;
}

size_t ChartChange::memoryBytes() const
{
    return sizeof(*this) + (onHeap() ? storedBytes() : 0);
}

bool ChartChange::apply(KeP& kep, uint32_t from, uint32_t to) const
{
    std::vector<uint8_t>& grid = kep.KeyGrid.m_bytes;
    if (grid.size() != from)
        return false;
    // Both states are seen as zero-extended to the larger size, where the differences
    // live; the elements beyond the final size are 0 once they are applied.
    grid.resize(std::max(from, to), 0);
    if (m_differenceBytes == 0) {
        // Every difference is 1, as keys toggled, set or cleared make them: a step of one
        // byte at a time, kept in locals that the grid's bytes cannot alias.
        uint8_t* const g = grid.data();
        const uint8_t* p = bytes();
        int64_t index = 0;
        for (uint32_t i = 0, n = m_count; i < n; ++i) {
            const uint8_t b = *p;
            if (b < 0x80) {
                ++p;
                index += int64_t(b >> 1) ^ -int64_t(b & 1);
            } else {
                index += readStep(p);
            }
            assert(size_t(index) < grid.size());
            g[index] ^= 1;
        }
    } else {
        forEachElement([&](uint32_t index, uint8_t difference) {
            assert(index < grid.size());
            grid[index] ^= difference;
        });
    }
    grid.resize(to);
    if (grid.capacity() > 2 * size_t(to) + (size_t(1) << 16))
        grid.shrink_to_fit();
    kep.TotalBeats = cellsOf(to);
    return true;
}

} // namespace tavix
