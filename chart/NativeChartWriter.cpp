#include "NativeChartWriter.h"

#include "DeviceIo.h"
#include "KeP.h"
#include "NativeChartFormat.h"
#include "SaveTarget.h"

#include <cstring>

namespace tavix {

ChartResult NativeChartWriter::writeFile(const KeP& kep, const QString& path)
{
    return writeGrid(kep.KeyGrid.bytes(), path);
}

ChartResult NativeChartWriter::writeGrid(const std::vector<uint8_t>& grid, const QString& path)
{
    using namespace Internal;
    const int32_t upper = grid.empty() ? 0 : int32_t(grid.size()) - 1;
    char header[NativeHeaderSize];
    std::memcpy(header, NativeMagic, NativeMagicSize);
    const auto u = uint32_t(upper);
    for (int i = 0; i < 4; ++i)
        header[NativeMagicSize + i] = char((u >> (8 * i)) & 0xFF);

    SaveTarget file(path);
    const auto failed = [&](const QString& why) {
        return ChartResult::failure(ChartResult::Status::WriteFailed,
                                    QStringLiteral("cannot be written: ") + why, path);
    };
    if (!file.open())
        return failed(file.errorString());
    const auto gridBytes = qint64(grid.size());
    if (!writeFully(file.device(), header, NativeHeaderSize) ||
        !writeFully(file.device(), reinterpret_cast<const char*>(grid.data()), gridBytes)) {
        const QString why = file.errorString();
        file.cancel();
        return failed(why);
    }
    if (!file.commit())
        return failed(file.errorString());
    return ChartResult::success(path);
}

} // namespace tavix
