#pragma once

#include <QString>

class QWidget;

namespace tavix {

// Modal message boxes. The real one shows QMessageBox; tests record what is shown.
class MessageService
{
public:
    virtual ~MessageService() = default;
    virtual void information(QWidget* owner, const QString& title, const QString& text) = 0;
    virtual void warning(QWidget* owner, const QString& title, const QString& text) = 0;
};

} // namespace tavix
