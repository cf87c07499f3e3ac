#include "ClickLabel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStringList>

namespace tavix {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::setBlankPushingWrap(bool on)
{
    m_blankPushingWrap = on;
    update();
}

QStringList ClickLabel::blankPushingLines(const QString& all, const QFontMetrics& metrics,
                                          int width)
{
    // Each piece is a run of blanks and the word after it; a piece that does not fit ends
    // the line, even a line that has nothing but blanks.
    QStringList lines;
    QString line;
    qsizetype i = 0;
    while (i < all.size()) {
        qsizetype j = i;
        while (j < all.size() && all[j] == u' ')
            ++j;
        while (j < all.size() && all[j] != u' ')
            ++j;
        const QString piece = all.mid(i, j - i);
        if (metrics.horizontalAdvance(line + piece) <= width) {
            line += piece;
        } else {
            // The word moves on; blanks at the start of a line take no room.
            lines.append(line);
            line = piece.trimmed();
        }
        i = j;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

void ClickLabel::paintEvent(QPaintEvent* event)
{
    if (!m_blankPushingWrap) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect();
    const QFontMetrics metrics(font());
    const QStringList lines = blankPushingLines(text(), metrics, area.width());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    int y = area.top();
    for (const QString& l : lines) {
        painter.drawText(QRect(area.left(), y, area.width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, l);
        y += metrics.height();
    }
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

} // namespace tavix
