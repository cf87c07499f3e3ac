#pragma once

#include "ChartFile.h"
#include "KeP.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace tavix {

// The script export: the chart as a SYLK sheet with one row for every cell that holds a
// key or a confirm marker, between the two fixed templates.
class SylkWriter
{
public:
    // The highest cell whose confirm marker is set; 0 when none is.
    static int32_t finalCell(const KeP& kep);

    // The six records of every written cell, sheet rows counted from 3.
    struct Rows
    {
        QByteArray text;
        int32_t sheetRows = 2; // the title and type rows plus the data rows
    };
    static Rows dataRows(const KeP& kep);

    // "B;Y<rows>;X6;D0 0 <rows-1> 5" and its line end.
    static QByteArray boundsRecord(int32_t sheetRows);

    // The whole script as it is written; templates as in writeFile().
    static QByteArray script(const KeP& kep);

    // Writes the script to exactly `path` (the caller has fixed the extension). The
    // chart's own templates are used; empty ones are replaced by the built-in ones.
    static ChartResult writeFile(const KeP& kep, const QString& path);
};

} // namespace tavix
