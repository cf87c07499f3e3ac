// The canvas widget: its size, the frames it shows and the mouse it reports.
#include "KeyCanvas.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace tavix;

namespace {

QImage solidFrame(QRgb colour)
{
    QImage image(974, 435, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

TEST(KeyCanvas, IsAFixedCanvasOfTheDisplaySize)
{
    KeyCanvas canvas;
    EXPECT_EQ(canvas.size(), QSize(974, 435));
    EXPECT_EQ(canvas.minimumSize(), QSize(974, 435));
    EXPECT_EQ(canvas.maximumSize(), QSize(974, 435));
    EXPECT_EQ(canvas.surfaceSize(), QSize(974, 435));
    EXPECT_TRUE(canvas.shownFrame().isNull());
}

TEST(KeyCanvas, ShowsACopyOfThePresentedFrame)
{
    KeyCanvas canvas;
    QImage frame = solidFrame(qRgb(10, 20, 30));
    frame.setPixel(5, 7, qRgb(200, 100, 50));
    canvas.present(frame);
    frame.fill(qRgb(255, 255, 255)); // the renderer paints its next frame
    EXPECT_EQ(canvas.shownFrame().pixel(0, 0), qRgb(10, 20, 30));

    const QImage shown = canvas.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(974, 435));
    EXPECT_EQ(shown.pixel(5, 7), qRgb(200, 100, 50));
    EXPECT_EQ(shown.pixel(900, 400), qRgb(10, 20, 30));

    const uchar* buffer = canvas.shownFrame().constBits();
    canvas.present(solidFrame(qRgb(1, 2, 3)));
    EXPECT_EQ(canvas.shownFrame().constBits(), buffer); // the same buffer is refilled
    EXPECT_EQ(canvas.grab().toImage().pixel(5, 7), qRgb(1, 2, 3));
}

TEST(KeyCanvas, ReportsPressMoveAndReleaseInCanvasPixels)
{
    KeyCanvas canvas;
    QSignalSpy pressed(&canvas, &KeyCanvas::mousePressed);
    QSignalSpy moved(&canvas, &KeyCanvas::mouseMoved);
    QSignalSpy released(&canvas, &KeyCanvas::mouseReleased);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(37.5, 100.25), QPointF(137.5, 200.25),
                      Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&canvas, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(60, 120), QPointF(160, 220), Qt::NoButton,
                     Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&canvas, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(61, 121.5), QPointF(161, 221.5),
                        Qt::RightButton, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(&canvas, &release);

    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(pressed[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(pressed[0][2].toFloat(), 37.5f);
    EXPECT_EQ(pressed[0][3].toFloat(), 100.25f);

    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].value<Qt::MouseButtons>(), Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(moved[0][2].toFloat(), 60.f);
    EXPECT_EQ(moved[0][3].toFloat(), 120.f);

    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(released[0][1].value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    EXPECT_EQ(released[0][2].toFloat(), 61.f);
    EXPECT_EQ(released[0][3].toFloat(), 121.5f);
}

TEST(KeyCanvas, DoubleClickReportsASecondPress)
{
    // The second press of a double click arrives as a double-click event; the editor
    // must see it as a press so that both clicks of it toggle.
    KeyCanvas canvas;
    QSignalSpy pressed(&canvas, &KeyCanvas::mousePressed);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(40, 30), QPointF(140, 130), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&canvas, &dbl);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(pressed[0][2].toFloat(), 40.f);
}

} // namespace
