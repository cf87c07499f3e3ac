#include "OpenFailureText.h"

#include "ChartFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace tavix {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("OpenFailureText", text);
}

QString withDetail(const QString& text, const QString& detail)
{
    if (detail.isEmpty())
        return text;
    return text + QStringLiteral("\n\n") + tr("Details: %1").arg(detail);
}

// A file that is not there or cannot be read says so before anything about its content.
QString unreadable(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return tr("there is no such file");
    if (!file.isFile() || !file.isReadable())
        return tr("it cannot be read");
    return {};
}

} // namespace

QString OpenFailureText::song(const QString& shown, const QString& path, const QString& detail)
{
    QString what = unreadable(path);
    if (what.isEmpty())
        what = tr("it is not a song file this program can read");
    return withDetail(tr("The music file \"%1\" cannot be opened: %2.").arg(shown, what), detail);
}

QString OpenFailureText::chart(const QString& path, const ChartResult& result)
{
    using Status = ChartResult::Status;
    QString what = unreadable(path);
    if (what.isEmpty()) {
        switch (result.status) {
        case Status::NotChart:
        case Status::BadHeader:
            what = tr("it is damaged or not a chart file");
            break;
        case Status::ScriptError:
            what = tr("it is damaged or not a chart script");
            break;
        default:
            what = tr("it cannot be read");
            break;
        }
    }
    return withDetail(
        tr("The chart \"%1\" was not opened: %2.").arg(QDir::toNativeSeparators(path), what),
        result.reason);
}

QString OpenFailureText::songTooLarge(const QString& shown)
{
    return tr("The music file \"%1\" cannot be opened: there is not enough memory for it.")
        .arg(shown);
}

QString OpenFailureText::chartTooLarge(const QString& path)
{
    return tr("The chart \"%1\" was not opened: there is not enough memory for it.")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace tavix
