#include "LaunchFiles.h"

#include "ChartFile.h"
#include "GData.h"

namespace tavix {

LaunchFiles LaunchFiles::fromArguments(const QStringList& arguments)
{
    const QString scriptSwitch = scriptModeSwitch();
    LaunchFiles files;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (!optionsEnded && a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (a.isEmpty() || (!optionsEnded && a.startsWith(QLatin1Char('-'))) ||
            a.contains(scriptSwitch))
            continue;
        const bool chart = hasExtension(a, QLatin1StringView(".zts")) ||
                           hasExtension(a, QLatin1StringView(".slk"));
        QString& slot = chart ? files.chart : files.song;
        if (slot.isEmpty())
            slot = a;
    }
    return files;
}

} // namespace tavix
