#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavix {

class ChartChange;
class ChartEdit;

// The bytes of the chart grid as the program reads them. Only the chart's editing
// interface writes them: ChartEdit, which records every write, and ChartChange, which
// undoes and redoes what was recorded. So nothing changes the grid unrecorded.
class GridBytes
{
public:
    using value_type = uint8_t;
    using size_type = size_t;
    using const_iterator = std::vector<uint8_t>::const_iterator;
    using iterator = const_iterator;

    GridBytes() = default;
    GridBytes(const GridBytes&) = default;
    GridBytes(GridBytes&&) noexcept = default;
    ~GridBytes() = default;

    const uint8_t& operator[](size_t i) const { return m_bytes[i]; }
    size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    size_t capacity() const { return m_bytes.capacity(); }
    const uint8_t* data() const { return m_bytes.data(); }
    const uint8_t& back() const { return m_bytes.back(); }
    const_iterator begin() const { return m_bytes.begin(); }
    const_iterator end() const { return m_bytes.end(); }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    operator const std::vector<uint8_t>&() const { return m_bytes; }

    friend bool operator==(const GridBytes& a, const GridBytes& b)
    {
        return a.m_bytes == b.m_bytes;
    }
    friend bool operator==(const GridBytes& a, const std::vector<uint8_t>& b)
    {
        return a.m_bytes == b;
    }

private:
    friend class ChartChange;
    friend class ChartEdit;
    GridBytes& operator=(const GridBytes&) = default;
    GridBytes& operator=(GridBytes&&) noexcept = default;

    std::vector<uint8_t> m_bytes;
};

} // namespace tavix
