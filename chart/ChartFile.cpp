#include "ChartFile.h"

#include "KeP.h"
#include "NativeChartReader.h"
#include "NativeChartWriter.h"
#include "SylkReader.h"
#include "SylkWriter.h"

namespace tavix {

namespace {
constexpr QLatin1StringView NativeExt(".zts");
constexpr QLatin1StringView ScriptExt(".slk");
} // namespace

bool hasExtension(const QString& fileName, QLatin1StringView ext)
{
    return fileName.right(4).toLower() == ext;
}

QString withExtension(const QString& fileName, QLatin1StringView ext)
{
    return hasExtension(fileName, ext) ? fileName : fileName + ext;
}

ChartResult SaveChart(const KeP& kep, const QString& fileName, int16_t filterIndex)
{
    if (filterIndex == 1 && kep.ScriptMode) {
        // A chart without a grid still exports: the script with no data rows.
        return SylkWriter::writeFile(kep, withExtension(fileName, ScriptExt));
    }
    const QString path = withExtension(fileName, NativeExt);
    if (!kep.hasGrid())
        return ChartResult::failure(ChartResult::Status::NoGrid,
                                    QStringLiteral("nothing to save yet"), path);
    return NativeChartWriter::writeFile(kep, path);
}

ChartResult LoadChart(ChartEdit& edit, const QString& fileName)
{
    if (hasExtension(fileName, NativeExt))
        return NativeChartReader::readFile(edit, fileName);
    return SylkReader::importFile(edit, fileName);
}

} // namespace tavix
