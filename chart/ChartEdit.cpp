#include "ChartEdit.h"

#include "KeP.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tavix {

namespace {

// Zigzag: small steps either way take one byte; at most ten for any step.
uint8_t* writeStep(uint8_t* out, int64_t step)
{
    auto v = (uint64_t(step) << 1) ^ uint64_t(step >> 63);
    while (v >= 0x80) {
        *out++ = uint8_t(v) | 0x80;
        v >>= 7;
    }
    *out++ = uint8_t(v);
    return out;
}

void putStep(std::vector<uint8_t>& out, int64_t step)
{
    uint8_t bytes[10];
    out.insert(out.end(), bytes, writeStep(bytes, step));
}

} // namespace

uint32_t ChartEdit::gridSize() const
{
    return uint32_t(m_kep.KeyGrid.size());
}

void ChartEdit::begin()
{
    // The size before is taken at the first write, so an edit kept open across other
    // recorded changes (the keys of a playback run) starts from where they left the grid.
    if (m_started)
        return;
    m_started = true;
    m_sizeBefore = gridSize();
}

void ChartEdit::record(size_t index, uint8_t difference)
{
    if (difference == 0)
        return;
    if (m_count > 0 && int64_t(index) <= m_last)
        m_ascending = false;
    putStep(m_steps, int64_t(index) - m_last);
    m_last = int64_t(index);
    if (m_unit && difference != 1) {
        m_unit = false;
        m_differences.assign(m_count, 1);
    }
    if (!m_unit)
        m_differences.push_back(difference);
    ++m_count;
}

bool ChartEdit::set(int64_t index, uint8_t value)
{
    std::vector<uint8_t>& grid = m_kep.KeyGrid.m_bytes;
    if (index < 0 || index >= int64_t(grid.size()))
        return false;
    begin();
    uint8_t& element = grid[size_t(index)];
    record(size_t(index), uint8_t(element ^ value));
    element = value;
    return true;
}

bool ChartEdit::toggle(int64_t index)
{
    if (index < 0 || index >= int64_t(m_kep.KeyGrid.size()))
        return false;
    return set(index, m_kep.KeyGrid[size_t(index)] == 1 ? 0 : 1);
}

void ChartEdit::recordAndCopy(size_t first, uint8_t* old, const uint8_t* updated, size_t count)
{
    // Most of a transformed stretch keeps its bytes (empty cells, symmetric chords): words
    // that stay are passed over, and the steps of the changes gather in a buffer that
    // joins the record a few thousand at a time.
    constexpr size_t Flush = 4096;
    uint8_t steps[Flush + 8 * 10];
    uint8_t* end = steps;
    // The bookkeeping lives in locals while bytes are written: the compiler must assume
    // that a byte written through a pointer may land in a member, and reload them all.
    int64_t last = m_last;
    uint32_t recorded = m_count;
    bool ascending = m_ascending;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, old + i, 8);
        std::memcpy(&b, updated + i, 8);
        uint64_t changes = a ^ b;
        if (changes == 0)
            continue;
        while (changes != 0) {
            const int shift = __builtin_ctzll(changes) & ~7;
            const auto difference = uint8_t(changes >> shift);
            changes &= ~(uint64_t(0xFF) << shift);
            const auto index = int64_t(first + i + size_t(shift / 8));
            if (recorded > 0 && index <= last)
                ascending = false;
            end = writeStep(end, index - last);
            last = index;
            if (difference != 1 || !m_unit) {
                if (m_unit) {
                    m_unit = false;
                    m_differences.assign(recorded, 1);
                }
                m_differences.push_back(difference);
            }
            ++recorded;
        }
        std::memcpy(old + i, updated + i, 8);
        if (size_t(end - steps) >= Flush) {
            m_steps.insert(m_steps.end(), steps, end);
            end = steps;
        }
    }
    m_steps.insert(m_steps.end(), steps, end);
    m_last = last;
    m_count = recorded;
    m_ascending = ascending;
    for (; i < count; ++i) {
        record(first + i, uint8_t(old[i] ^ updated[i]));
        old[i] = updated[i];
    }
}

bool ChartEdit::writeSpan(int64_t first, std::span<const uint8_t> values)
{
    std::vector<uint8_t>& grid = m_kep.KeyGrid.m_bytes;
    if (first < 0 || first > int64_t(grid.size()) || values.size() > grid.size() - size_t(first))
        return false;
    begin();
    recordAndCopy(size_t(first), grid.data() + first, values.data(), values.size());
    return true;
}

void ChartEdit::setSize(size_t size)
{
    begin();
    std::vector<uint8_t>& grid = m_kep.KeyGrid.m_bytes;
    // Dropped elements are kept as they were, so the resize can be taken back.
    for (size_t i = size; i < grid.size(); ++i)
        record(i, grid[i]);
    KeP::reserveGrid(grid, size);
    grid.resize(size, 0);
    m_kep.TotalBeats = size == 0 ? 0 : int32_t((size - 1) / KeP::RowsPerCell);
}

bool ChartEdit::resizeCells(int64_t cells)
{
    if (cells < 0 || cells > KeP::MaxCells)
        return false;
    setSize(KeP::gridSize(cells));
    return true;
}

bool ChartEdit::fitToSong(int32_t songLenMs)
{
    const auto n = m_kep.cellsForSong(songLenMs);
    return n && resizeCells(*n);
}

bool ChartEdit::growForSong(int32_t songLenMs)
{
    const auto n = m_kep.cellsForSong(songLenMs);
    if (!n)
        return false;
    if (*n > m_kep.TotalBeats)
        return resizeCells(*n);
    return true;
}

bool ChartEdit::growToHold(int64_t cell)
{
    if (cell < 0)
        return false;
    if (cell >= m_kep.TotalBeats || !m_kep.hasGrid())
        return resizeCells(std::max<int64_t>(cell + 1, m_kep.TotalBeats));
    return true;
}

void ChartEdit::clearGrid()
{
    setSize(0);
    m_kep.KeyGrid.m_bytes.shrink_to_fit();
}

bool ChartEdit::replaceGrid(std::vector<uint8_t> grid)
{
    const size_t size = grid.size();
    if (size != 0 && ((size - 1) % KeP::RowsPerCell != 0 || size > KeP::gridSize(KeP::MaxCells)))
        return false;
    begin();
    const std::vector<uint8_t>& old = m_kep.KeyGrid.m_bytes;
    const size_t common = std::min(old.size(), size);
    size_t i = 0;
    // Charts read back are mostly what they replace: skip equal stretches a word at a time.
    for (; i + 8 <= common; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, old.data() + i, 8);
        std::memcpy(&b, grid.data() + i, 8);
        if (a == b)
            continue;
        for (size_t k = i; k < i + 8; ++k)
            record(k, uint8_t(old[k] ^ grid[k]));
    }
    for (; i < common; ++i)
        record(i, uint8_t(old[i] ^ grid[i]));
    const std::vector<uint8_t>& longer = old.size() > size ? old : grid;
    for (i = common; i < longer.size(); ++i)
        record(i, longer[i]);
    m_kep.KeyGrid.m_bytes = std::move(grid);
    m_kep.TotalBeats = size == 0 ? 0 : int32_t((size - 1) / KeP::RowsPerCell);
    return true;
}

void ChartEdit::sortRecord()
{
    // Writes out of order (or twice to one element): sort them, and fold each element's
    // differences into one; an element that came back to its old value drops out.
    std::vector<std::pair<uint32_t, uint8_t>> elements;
    elements.reserve(m_count);
    const uint8_t* p = m_steps.data();
    int64_t index = 0;
    for (uint32_t i = 0; i < m_count; ++i) {
        index += ChartChange::readStep(p);
        elements.emplace_back(uint32_t(index), m_unit ? 1 : m_differences[i]);
    }
    std::stable_sort(elements.begin(), elements.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_steps.clear();
    m_differences.clear();
    m_unit = true;
    m_count = 0;
    m_last = 0;
    for (size_t i = 0; i < elements.size();) {
        uint8_t difference = 0;
        size_t k = i;
        for (; k < elements.size() && elements[k].first == elements[i].first; ++k)
            difference ^= elements[k].second;
        record(elements[i].first, difference);
        i = k;
    }
    m_ascending = true;
}

ChartChange ChartEdit::take()
{
    const uint32_t size = gridSize();
    if (!m_started)
        return ChartChange(size, size, 0, {}, {});
    if (!m_ascending)
        sortRecord();
    ChartChange done(m_sizeBefore, size, m_count, m_steps, m_differences);
    m_started = false;
    m_count = 0;
    m_last = 0;
    m_ascending = true;
    m_unit = true;
    m_steps.clear();
    m_steps.shrink_to_fit();
    m_differences.clear();
    m_differences.shrink_to_fit();
    return done;
}

} // namespace tavix
