#include "QtFileChooser.h"

#include "GCommonDialog.h"

#include <QFileDialog>
#include <QRegularExpression>

#include <algorithm>

namespace tavix {

namespace {

// The description part of a name filter, as the dialog shows it when it hides the
// patterns.
QString shownText(const QString& nameFilter)
{
    static const QRegularExpression details(QStringLiteral("\\s*\\([^()]*\\)$"));
    return QString(nameFilter).remove(details);
}

int selectedIndex(const QFileDialog& dialog, const QStringList& nameFilters)
{
    const QString selected = dialog.selectedNameFilter();
    qsizetype at = nameFilters.indexOf(selected);
    if (at < 0) {
        for (qsizetype i = 0; i < nameFilters.size() && at < 0; ++i)
            if (shownText(nameFilters[i]) == selected)
                at = i;
    }
    return at < 0 ? 1 : int(at) + 1;
}

} // namespace

QtFileChooser::QtFileChooser(bool useNativeDialog) : m_native(useNativeDialog) {}

FileChooserAnswer QtFileChooser::choose(const FileChooserRequest& request)
{
    QFileDialog dialog(request.owner, request.title, request.initDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog, !m_native);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(!request.save && request.fileMustExist ? QFileDialog::ExistingFile
                                                              : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        const int index = std::clamp(request.filterIndex, 1, int(request.nameFilters.size()));
        dialog.selectNameFilter(request.nameFilters[index - 1]);
    }
    if (!request.defaultExt.isEmpty())
        dialog.setDefaultSuffix(request.defaultExt);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    if (request.owner)
        dialog.setWindowModality(Qt::WindowModal);

    FileChooserAnswer answer;
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return answer;

    answer.accepted = true;
    answer.path = files.front();
    answer.filterIndex =
        request.nameFilters.isEmpty() ? 1 : selectedIndex(dialog, request.nameFilters);
    // What the chooser hands back is what it was asked for.
    if (request.save) {
        answer.flags = GCommonDialog::FlagHideReadOnly |
                       (request.confirmOverwrite ? GCommonDialog::FlagOverwritePrompt : 0u);
    } else {
        answer.flags = (request.readOnlyChecked ? GCommonDialog::FlagReadOnly : 0u) |
                       (request.hideReadOnly ? GCommonDialog::FlagHideReadOnly : 0u) |
                       (request.fileMustExist ? GCommonDialog::FlagFileMustExist : 0u);
    }
    return answer;
}

} // namespace tavix
