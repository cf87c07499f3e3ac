#include "PictureButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace tavix {

PictureButton::PictureButton(int index, QWidget* parent) : QWidget(parent), m_index(index) {}

void PictureButton::setPicture(const QPixmap& picture)
{
    m_picture = picture;
    update();
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_picture.isNull())
        painter.drawPixmap(rect(), m_picture);
}

void PictureButton::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    m_pressed = true;
    emit mouseDown(m_index, event->button(), event->modifiers(), p.x(), p.y());
    event->accept();
}

void PictureButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt delivers the second press of a double-click as this event alone; it neither
    // presses the button nor makes the release that follows a click.
    event->accept();
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    // Whether the release counts as a click is decided where it happened, before the
    // window moves the button back.
    const bool inside = rect().contains(p);
    const bool pressed = m_pressed;
    if (event->buttons() == Qt::NoButton)
        m_pressed = false;
    emit mouseUp(m_index, event->button(), event->modifiers(), p.x(), p.y());
    event->accept();
    if (pressed && inside && event->button() == Qt::LeftButton && event->buttons() == Qt::NoButton)
        emit clicked(m_index);
}

} // namespace tavix
