#pragma once

#include "KeyDisplayHost.h"

#include <QImage>
#include <QWidget>

namespace tavix {

// The canvas `Picture1`: shows the frames the key display presents and reports the mouse
// in canvas pixels, which is all the editor needs for its gestures.
class KeyCanvas : public QWidget, public CanvasSurface
{
    Q_OBJECT

public:
    static constexpr int CanvasWidth = 974;
    static constexpr int CanvasHeight = 435;

    explicit KeyCanvas(QWidget* parent = nullptr);

    QSize surfaceSize() const override;
    void present(const QImage& frame) override;

    // The frame shown now; null before the first one.
    const QImage& shownFrame() const { return m_frame; }

signals:
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, float x, float y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, float x, float y);
    // A turn of the wheel over the canvas, in eighths of a degree (120 a notch).
    void wheelTurned(QPoint angleDelta, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QImage m_frame;
};

} // namespace tavix
