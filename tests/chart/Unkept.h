#pragma once

#include "ChartEdit.h"
#include "KeP.h"

namespace tavix::test {

// A chart edit for a call whose change the test does not keep: the change is made
// through the editing interface, and its record is let go with the temporary.
class Unkept
{
public:
    explicit Unkept(KeP& kep) : m_edit(kep) {}
    operator ChartEdit&() { return m_edit; }

private:
    ChartEdit m_edit;
};

inline Unkept unkept(KeP& kep)
{
    return Unkept(kep);
}

} // namespace tavix::test
