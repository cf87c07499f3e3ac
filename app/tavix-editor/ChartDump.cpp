#include "ChartDump.h"

#include "KeP.h"

#include <QSaveFile>
#include <QTextStream>

namespace tavix {

bool writeChartDump(const KeP& kep, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out << "cells " << kep.TotalBeats << '\n';
    for (int32_t c = 0; c < kep.TotalBeats; ++c)
        for (int r = 1; r <= KeP::RowsPerCell; ++r)
            if (const uint8_t v = kep.at(c, r); v != 0)
                out << c << ' ' << r << ' ' << v << '\n';
    out.flush();
    return file.commit();
}

} // namespace tavix
