#pragma once

#include "ChartFile.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace tavix {

class KeP;

// Writes the native chart file: magic, upper index, the grid bytes unchanged.
class NativeChartWriter
{
public:
    // Writes to exactly `path` (the caller has fixed the extension). The chart must have
    // a grid. The old file at `path` is replaced only by a complete new one.
    static ChartResult writeFile(const KeP& kep, const QString& path);
    // The same from a copy of a grid's bytes (element 0 first), which any thread may write.
    static ChartResult writeGrid(const std::vector<uint8_t>& grid, const QString& path);
};

} // namespace tavix
