#pragma once

#include "MessageService.h"

namespace tavix {

// Message boxes through QMessageBox, modal to their owner.
class QtMessageService : public MessageService
{
public:
    void information(QWidget* owner, const QString& title, const QString& text) override;
    void warning(QWidget* owner, const QString& title, const QString& text) override;
    SaveChoice askToSave(QWidget* owner, const QString& title, const QString& text) override;
    bool askToRestore(QWidget* owner, const QString& title, const QString& text) override;
    bool askToGoOn(QWidget* owner, const QString& title, const QString& text,
                   const QString& goOn) override;
};

} // namespace tavix
