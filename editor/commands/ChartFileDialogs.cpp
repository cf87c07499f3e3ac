#include "ChartFileDialogs.h"

#include "cCommonDialog.h"

namespace tavix::ChartFileDialogs {

QString saveFilter(bool scriptMode)
{
    if (scriptMode)
        return QStringLiteral(
            "Script documents (*.SLK)|*.SLK|Zorvik Tune Scribe File (*.ZTS)|*.ZTS");
    return QStringLiteral("Zorvik Tune Scribe File (*.ZTS)|*.ZTS");
}

QString openFilter()
{
    return QStringLiteral("All Support documents (*.SLK;*.ZTS)|*.SLK;*.ZTS");
}

void setUpSave(cCommonDialog& dialog, QWidget* owner, const QString& initDir, bool scriptMode)
{
    dialog.DialogTitle = QStringLiteral("Save FIle");
    dialog.CancelError = true;
    dialog.hwnd = owner;
    dialog.flags = SaveFlags;
    dialog.InitDir = initDir;
    dialog.Filter = saveFilter(scriptMode);
    dialog.FilterIndex = 1;
}

void setUpOpen(cCommonDialog& dialog, QWidget* owner, const QString& initDir)
{
    dialog.DialogTitle = QStringLiteral("Open FIle");
    dialog.CancelError = true;
    dialog.hwnd = owner;
    dialog.flags = OpenFlags;
    dialog.InitDir = initDir;
    dialog.Filter = openFilter();
    dialog.FilterIndex = 1;
}

} // namespace tavix::ChartFileDialogs
