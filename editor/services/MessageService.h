#pragma once

#include <QString>

class QWidget;

namespace tavix {

// Modal message boxes and questions. The real one shows QMessageBox; tests record what is
// shown and answer the questions.
class MessageService
{
public:
    enum class SaveChoice { Save, Discard, Cancel };

    virtual ~MessageService() = default;
    virtual void information(QWidget* owner, const QString& title, const QString& text) = 0;
    virtual void warning(QWidget* owner, const QString& title, const QString& text) = 0;
    // Unsaved changes are about to be lost: save them, discard them, or cancel.
    virtual SaveChoice askToSave(QWidget* owner, const QString& title, const QString& text) = 0;
    // A chart kept after a crash: restore it (true) or discard it (false).
    virtual bool askToRestore(QWidget* owner, const QString& title, const QString& text) = 0;
    // Something would be lost: go on (the button `goOn` names what happens) or cancel.
    virtual bool askToGoOn(QWidget* owner, const QString& title, const QString& text,
                           const QString& goOn) = 0;
};

} // namespace tavix
