#include "KeyCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cstring>

namespace tavix {

KeyCanvas::KeyCanvas(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    setFixedSize(CanvasWidth, CanvasHeight);
    // Moves are reported with or without a button held, as the editor decides what they
    // mean from its own drag state.
    setMouseTracking(true);
}

QSize KeyCanvas::surfaceSize() const
{
    return size();
}

void KeyCanvas::present(const QImage& frame)
{
    // Copy into our own buffer rather than share the renderer's: a shared image would
    // make the renderer copy its whole frame the next time it paints into it.
    if (!m_frame.isNull() && m_frame.size() == frame.size() && m_frame.format() == frame.format() &&
        m_frame.bytesPerLine() == frame.bytesPerLine()) {
        std::memcpy(m_frame.bits(), frame.constBits(), size_t(frame.sizeInBytes()));
    } else {
        m_frame = frame.copy();
    }
    update();
}

void KeyCanvas::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    if (m_frame.isNull()) {
        // Nothing has been drawn yet: the canvas shows its plain background.
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.drawImage(QPoint(0, 0), m_frame);
}

void KeyCanvas::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    emit mousePressed(event->button(), event->modifiers(), float(p.x()), float(p.y()));
}

void KeyCanvas::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    emit mouseMoved(event->buttons(), event->modifiers(), float(p.x()), float(p.y()));
}

void KeyCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    emit mouseReleased(event->button(), event->modifiers(), float(p.x()), float(p.y()));
}

void KeyCanvas::wheelEvent(QWheelEvent* event)
{
    emit wheelTurned(event->angleDelta(), event->modifiers());
    event->accept();
}

} // namespace tavix
