#include "NativeChartReader.h"

#include "ChartEdit.h"
#include "DeviceIo.h"
#include "KeP.h"
#include "NativeChartFormat.h"
#include "Rounding.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tavix {

ChartResult NativeChartReader::read(ChartEdit& edit, QIODevice& in, const QString& path)
{
    using namespace Internal;
    using Status = ChartResult::Status;
    const auto readFailed = [&] {
        return ChartResult::failure(Status::CannotOpen,
                                    QStringLiteral("cannot be read: ") + in.errorString(), path);
    };
    const auto badHeader = [&](const QString& why) {
        return ChartResult::failure(Status::BadHeader, QStringLiteral("bad header: ") + why, path);
    };

    char header[NativeHeaderSize];
    const qint64 got = readFully(in, header, NativeHeaderSize);
    if (got < 0)
        return readFailed();
    if (got < NativeMagicSize || std::memcmp(header, NativeMagic, NativeMagicSize) != 0)
        return ChartResult::failure(Status::NotChart, QStringLiteral("not a chart file"), path);
    if (got < NativeHeaderSize)
        return badHeader(QStringLiteral("the upper index is cut short"));

    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= uint32_t(uint8_t(header[NativeMagicSize + i])) << (8 * i);
    const auto upper = int32_t(u);
    constexpr int64_t largestUpper = int64_t(KeP::MaxCells) * KeP::RowsPerCell;
    if (upper < 0)
        return badHeader(QStringLiteral("negative upper index %1").arg(upper));
    if (upper > largestUpper)
        return badHeader(QStringLiteral("upper index %1 is too large: the largest chart has %2 "
                                        "cells")
                             .arg(upper)
                             .arg(KeP::MaxCells));

    // An upper index that is no multiple of 7 still names the nearest whole cell count;
    // the grid is then padded or cut to exactly that many cells.
    const int64_t cells = nearestTo<int64_t>(double(upper) / KeP::RowsPerCell).value_or(0);
    const size_t stored = size_t(upper) + 1;
    const size_t kept = size_t(cells) * KeP::RowsPerCell + 1;
    std::vector<uint8_t> grid(std::max(stored, kept), 0);
    // Bytes the file lacks stay 0.
    const qint64 gridRead = readFully(in, reinterpret_cast<char*>(grid.data()), qint64(stored));
    if (gridRead < 0)
        return readFailed();
    grid.resize(kept);

    edit.replaceGrid(std::move(grid));
    ChartResult result = ChartResult::success(path);
    if (gridRead < qint64(stored)) {
        // A file cut off (a copy or a download that stopped) still opens, but not as if whole.
        result.cutShort = true;
        result.note = QStringLiteral("shorter than its header claims (%1 of %2 bytes); the cells "
                                     "it lacks are read as empty")
                          .arg(NativeHeaderSize + gridRead)
                          .arg(NativeHeaderSize + qint64(stored));
    }
    return result;
}

ChartResult NativeChartReader::readFile(ChartEdit& edit, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return ChartResult::failure(ChartResult::Status::CannotOpen,
                                    QStringLiteral("cannot be opened: ") + file.errorString(),
                                    path);
    return read(edit, file, path);
}

} // namespace tavix
