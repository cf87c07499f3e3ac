#include "QtMessageService.h"

#include <QMessageBox>
#include <QPushButton>

namespace tavix {

void QtMessageService::information(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::information(owner, title, text);
}

void QtMessageService::warning(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox::warning(owner, title, text);
}

MessageService::SaveChoice QtMessageService::askToSave(QWidget* owner, const QString& title,
                                                       const QString& text)
{
    // Buttons of our own, so each has its access key (Alt+S, Alt+D, Alt+C) on every
    // desktop; Escape cancels.
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, owner);
    QPushButton* save = box.addButton(QObject::tr("&Save"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QObject::tr("&Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveChoice::Save;
    if (box.clickedButton() == discard)
        return SaveChoice::Discard;
    return SaveChoice::Cancel;
}

bool QtMessageService::askToRestore(QWidget* owner, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, owner);
    QPushButton* restore = box.addButton(QObject::tr("&Restore"), QMessageBox::AcceptRole);
    box.addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.exec();
    return box.clickedButton() == restore;
}

bool QtMessageService::askToGoOn(QWidget* owner, const QString& title, const QString& text,
                                 const QString& goOn)
{
    // Cancel is the default: Enter or Escape loses nothing.
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, owner);
    QPushButton* proceed = box.addButton(goOn, QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QObject::tr("&Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == proceed;
}

} // namespace tavix
