#pragma once

#include <QPixmap>
#include <QWidget>

namespace tavix {

// A toolbar button that is only a picture. It reports presses, releases and clicks by
// its index and leaves the pressed look (moving it) to the window, which knows the
// button's home position. A click is a left release inside the button that follows a
// press on it; the second press of a double-click is no press, so a double-click runs
// the command once. Disabled buttons receive no mouse events at all.
class PictureButton : public QWidget
{
    Q_OBJECT
public:
    PictureButton(int index, QWidget* parent);

    int index() const { return m_index; }
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return m_picture; }

signals:
    void mouseDown(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x,
                   int y);
    void mouseUp(int index, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_index;
    bool m_pressed = false;
    QPixmap m_picture;
};

} // namespace tavix
