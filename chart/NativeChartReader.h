#pragma once

#include "ChartFile.h"

#include <QString>

class QIODevice;

namespace tavix {

class KeP;

// Reads the native chart file into the grid. The header is checked before anything is
// allocated; on every failure the chart is left exactly as it was.
class NativeChartReader
{
public:
    static ChartResult readFile(KeP& kep, const QString& path);
    // The same from an open device (a file, a buffer); `path` only names it in results.
    static ChartResult read(KeP& kep, QIODevice& in, const QString& path = {});
};

} // namespace tavix
