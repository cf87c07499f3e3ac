#pragma once

#include "KeP.h"

#include <cstdio>
#include <cstdlib>

namespace tavix::fuzz {

// Stops the run with a message; libFuzzer keeps the input that got here.
[[noreturn]] inline void broken(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void check(bool ok, const char* what)
{
    if (!ok)
        broken(what);
}

// What every chart must satisfy after any read, successful or not.
inline void checkInvariant(const KeP& kep)
{
    check(kep.TotalBeats >= 0 && kep.TotalBeats <= KeP::MaxCells, "cell count out of range");
    if (kep.hasGrid())
        check(kep.KeyGrid.size() == size_t(kep.TotalBeats) * KeP::RowsPerCell + 1,
              "grid size does not match the cell count");
    else
        check(kep.TotalBeats == 0, "cells without a grid");
    check(kep.KeyGrid.capacity() <= size_t(KeP::MaxCells) * KeP::RowsPerCell + 1,
          "grid reserved beyond the largest chart");
}

} // namespace tavix::fuzz
