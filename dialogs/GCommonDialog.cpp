#include "GCommonDialog.h"

#include "cCommonDialog.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tavix {

namespace {

QString upToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString errorSource()
{
    QString program;
    if (QCoreApplication::instance())
        program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (program.isEmpty())
        program = QStringLiteral("tavix-editor");
    return program + QStringLiteral(".cCommonDialog");
}

} // namespace

GCommonDialog::GCommonDialog(FileChooser& chooser) : m_chooser(chooser) {}

QString GCommonDialog::nulSeparatedFilter(const QString& filter)
{
    QString out = filter;
    for (QChar& c : out)
        if (c == QLatin1Char('|') || c == QLatin1Char(':'))
            c = QChar(0);
    out.append(QChar(0));
    out.append(QChar(0));
    return out;
}

QStringList GCommonDialog::filterParts(const QString& filter)
{
    QStringList parts;
    for (const QString& part : nulSeparatedFilter(filter).split(QChar(0))) {
        if (part.isEmpty())
            break;
        parts.append(part);
    }
    return parts;
}

QString GCommonDialog::caseInsensitivePatterns(const QString& patterns)
{
    QStringList out;
    for (const QString& raw : patterns.split(QLatin1Char(';'))) {
        const QString pattern = raw.trimmed();
        if (pattern.isEmpty())
            continue;
        QString folded;
        int depth = 0; // inside a [...] set the letters are left as written
        for (const QChar c : pattern) {
            if (c == QLatin1Char('['))
                ++depth;
            else if (c == QLatin1Char(']') && depth > 0)
                --depth;
            const char16_t u = c.unicode();
            const bool asciiLetter = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
            if (depth == 0 && asciiLetter) {
                folded += QLatin1Char('[');
                folded += c.toLower();
                folded += c.toUpper();
                folded += QLatin1Char(']');
            } else {
                folded += c;
            }
        }
        out.append(folded);
    }
    return out.join(QLatin1Char(' '));
}

FileChooserRequest GCommonDialog::buildRequest(const cCommonDialog& dialog, bool save)
{
    FileChooserRequest r;
    r.save = save;
    r.owner = dialog.hwnd;
    r.title = dialog.DialogTitle;
    r.initDir = dialog.InitDir;

    const QStringList parts = filterParts(dialog.Filter);
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = i + 1 < parts.size() ? parts[i + 1] : QString();
        r.descriptions.append(description);
        r.patterns.append(pattern);
        r.nameFilters.append(description + QStringLiteral(" (") + caseInsensitivePatterns(pattern) +
                             QLatin1Char(')'));
    }

    r.filterIndex = (!save && dialog.FilterIndex == 0) ? 1 : dialog.FilterIndex;
    r.proposedName = upToNul(dialog.filename);
    r.defaultExt = dialog.DefaultExt;
    if (save) {
        r.confirmOverwrite = (dialog.flags & FlagOverwritePrompt) != 0;
        r.hideReadOnly = true;
    } else {
        r.readOnlyChecked = (dialog.flags & FlagReadOnly) != 0;
        r.hideReadOnly = (dialog.flags & FlagHideReadOnly) != 0;
        r.fileMustExist = (dialog.flags & FlagFileMustExist) != 0;
    }
    return r;
}

QString GCommonDialog::titleOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

bool GCommonDialog::ShowOpen(cCommonDialog& dialog)
{
    return show(dialog, false);
}

bool GCommonDialog::ShowSave(cCommonDialog& dialog)
{
    return show(dialog, true);
}

bool GCommonDialog::show(cCommonDialog& dialog, bool save)
{
    dialog.Cancelled = false;
    dialog.ErrorNumber = 0;
    dialog.ErrorSource.clear();

    const FileChooserAnswer answer = m_chooser.choose(buildRequest(dialog, save));
    if (answer.accepted && answer.errorCode == 0) {
        dialog.filename = upToNul(answer.path);
        dialog.FileTitle = titleOf(dialog.filename);
        dialog.FilterIndex = answer.filterIndex;
        dialog.flags = answer.flags;
        return true;
    }

    dialog.filename.clear();
    dialog.FileTitle.clear();
    dialog.Filter.clear();
    dialog.flags = 0;
    dialog.FilterIndex = save ? 0 : -1;

    if (answer.errorCode != 0) {
        dialog.ErrorNumber = int32_t(answer.errorCode | uint32_t(ErrorBase));
        dialog.ErrorSource = errorSource();
        return false;
    }
    dialog.Cancelled = true;
    if (dialog.CancelError) {
        dialog.ErrorNumber = CancelErrorNumber;
        dialog.ErrorSource = errorSource();
        return false;
    }
    return true;
}

} // namespace tavix
