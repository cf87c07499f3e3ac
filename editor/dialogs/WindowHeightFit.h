#pragma once

#include <QObject>

class QWidget;

namespace tavix {

// Keeps a window at least as tall as its layout needs at the window's width. Qt gives a
// window whose layout holds word-wrapped labels no minimum height at all, so at the height
// it opens with, or once a text grows a line, its rows are squeezed over one another.
// Made as a child of the window, it lives as long as the window.
class WindowHeightFit : public QObject
{
    Q_OBJECT
public:
    explicit WindowHeightFit(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    QWidget& m_window;
    bool m_fitting = false;
};

} // namespace tavix
