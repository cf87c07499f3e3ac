#include "StepEntry.h"

#include "KeP.h"

namespace tavix {

int StepEntry::press(uint8_t code)
{
    const int row = rowOfKeyCode(code).value_or(0);
    if (row == 0 || m_held.test(code))
        return 0;
    m_held.set(code);
    m_entered = true;
    return row;
}

bool StepEntry::release(uint8_t code)
{
    if (!m_held.test(code))
        return false;
    m_held.reset(code);
    if (m_held.any() || !m_entered)
        return false;
    m_entered = false;
    return m_advancing;
}

void StepEntry::reset()
{
    m_held.reset();
    m_entered = false;
}

} // namespace tavix
