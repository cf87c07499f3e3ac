#include "QtMessageService.h"

#include <QMessageBox>

namespace tavix {

void QtMessageService::information(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::information(owner, title, text);
}

void QtMessageService::warning(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::warning(owner, title, text);
}

} // namespace tavix
