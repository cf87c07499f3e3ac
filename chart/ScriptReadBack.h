#pragma once

#include <QString>

namespace tavix {

class KeP;

// A script holds a row only for a cell with a key or marker set to 1: the empty cells
// after the last such cell, and values other than 0 and 1, are not in it. Whether a saved
// script is the chart all the same is found by reading it back.
class ScriptReadBack
{
public:
    // True when the script at `path`, opened into an empty chart, gives exactly `kep`'s grid.
    static bool givesBack(const KeP& kep, const QString& path);
};

} // namespace tavix
