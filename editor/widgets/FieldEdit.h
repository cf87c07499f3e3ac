#pragma once

#include <QLineEdit>

namespace tavix {

// The entry box of a field: it reports the three ways of committing it, Enter, the loss
// of focus to another control and a double-click. The focus that goes to the box's own
// context menu or to another application is not lost: it comes back to the box.
class FieldEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit FieldEdit(QWidget* parent);

signals:
    void enterPressed();
    void focusLost();
    void doubleClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace tavix
