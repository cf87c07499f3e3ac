#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

namespace tavix {

// A label that reports clicks (a left release inside it) and double-clicks.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent);

    // Wraps the way the classic label did: a word that does not fit after the blanks in
    // front of it starts the next line, and blanks at the start of a line take no room,
    // so leading blanks can push a short caption onto a second line.
    void setBlankPushingWrap(bool on);
    static QStringList blankPushingLines(const QString& text, const QFontMetrics& metrics,
                                         int width);

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_blankPushingWrap = false;
};

} // namespace tavix
