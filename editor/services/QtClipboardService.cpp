#include "QtClipboardService.h"

#include <QClipboard>
#include <QGuiApplication>

namespace tavix {

QString QtClipboardService::text() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

void QtClipboardService::setText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

} // namespace tavix
