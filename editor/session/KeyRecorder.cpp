#include "KeyRecorder.h"

#include "KeP.h"
#include "KeyInput.h"
#include "Rounding.h"

namespace tavix {

void KeyRecorder::beginSegment(KeyInput& keys, Clock::time_point moment)
{
    m_segmentMoment = moment;
    // A key still held now shows as an edge in the first snapshot instead.
    keys.takePresses();
    m_unmatchedPresses.fill(0);
}

std::optional<ChartChange> KeyRecorder::take()
{
    if (!m_runEdit)
        return std::nullopt;
    ChartChange keys = m_runEdit->take();
    m_runEdit.reset();
    return keys;
}

bool KeyRecorder::resizeWithin(int64_t cells)
{
    if (!m_runEdit)
        return false;
    m_runEdit->resizeCells(cells);
    return true;
}

void KeyRecorder::setKey(int32_t cell, int row)
{
    if (cell < 0 || cell >= m_kep.TotalBeats)
        return;
    if (!m_runEdit)
        m_runEdit.emplace(m_kep);
    m_runEdit->set(KeP::flatIndex(cell, row), 1);
    if (onKey)
        onKey();
}

void KeyRecorder::record(KeyInput& keys, SoundEngine& engine, StreamHandle music, double leadMs,
                         int32_t recordCell, bool cellInChart)
{
    if (cellInChart)
        keys.GetKey();
    // Presses are taken after the snapshot, so every key-down the snapshot shows has its
    // press among these or earlier ones.
    const std::vector<KeyPress> presses = keys.takePresses();
    for (const KeyPress& press : presses) {
        const auto row = rowOfKeyCode(press.code);
        if (!row || press.when < m_segmentMoment)
            continue;
        uint8_t& unmatched = m_unmatchedPresses[press.code];
        if (unmatched < 255)
            ++unmatched;
        // The cell is that of the moment the key went down, not of this pass.
        double musicMs = engine.streamTimeAt(music, press.when);
        if (m_loop)
            musicMs = m_loop->songMs(musicMs);
        const int32_t chartMs = nearestInt32(leadMs + musicMs);
        const int32_t near = m_kep.MsToBeatNear(chartMs);
        if (near < 0 || near >= m_kep.TotalBeats)
            continue;
        setKey(m_kep.MsToBeatHalf(chartMs), *row);
    }
    if (cellInChart) {
        for (const KeyRow& key : KeyToRow) {
            const uint8_t now = m_kep.KeyState[key.code];
            if (now == m_kep.PrevKeyState[key.code] || now == 0)
                continue;
            uint8_t& unmatched = m_unmatchedPresses[key.code];
            if (unmatched > 0) {
                --unmatched; // recorded above, at the moment of its press
                continue;
            }
            // Down without a press in this stretch: held since before it started.
            setKey(recordCell, key.row);
        }
    }
    m_kep.PrevKeyState = m_kep.KeyState;
}

} // namespace tavix
