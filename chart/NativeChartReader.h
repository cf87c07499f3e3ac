#pragma once

#include "ChartFile.h"

#include <QString>

class QIODevice;

namespace tavix {

class ChartEdit;

// Reads the native chart file into the grid, as one recorded change of the chart's
// editing interface. The header is checked before anything is allocated; on every
// failure the chart is left exactly as it was.
class NativeChartReader
{
public:
    static ChartResult readFile(ChartEdit& edit, const QString& path);
    // The same from an open device (a file, a buffer); `path` only names it in results.
    static ChartResult read(ChartEdit& edit, QIODevice& in, const QString& path = {});
};

} // namespace tavix
