#pragma once

#include <cstdint>

namespace tavix {

class ChartChange;
class ChartEdit;

// The number of cells, read by everyone and kept by the same editing interface as the
// grid, so that it always matches the grid's size.
class CellCount
{
public:
    constexpr CellCount() = default;
    constexpr CellCount(const CellCount&) = default;
    ~CellCount() = default;
    constexpr operator int32_t() const { return m_value; }

private:
    friend class ChartChange;
    friend class ChartEdit;
    constexpr CellCount& operator=(const CellCount&) = default;
    constexpr CellCount& operator=(int32_t value)
    {
        m_value = value;
        return *this;
    }

    int32_t m_value = 0;
};

} // namespace tavix
