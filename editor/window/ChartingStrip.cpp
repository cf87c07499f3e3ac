#include "ChartingStrip.h"

#include <QHBoxLayout>

namespace tavix {

namespace {

const QColor CaptionColour(192, 64, 0);

QFont stripFont()
{
    QFont font(QStringLiteral("Roboto Condensed"));
    font.setPointSizeF(11);
    font.setBold(true);
    return font;
}

void colour(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, CaptionColour);
    widget.setPalette(palette);
}

} // namespace

ChartingStrip::ChartingStrip(QWidget* window)
    : snap(window), strip(window), keys(QObject::tr("Keys\u2026"), &strip),
      advance(QObject::tr("Cursor on after each entry"), &strip), zoom(&strip)
{
    // Under the speed and metronome lines, in the corner they leave free.
    snap.setGeometry(862, 664, 130, 20);
    snap.setFont(stripFont());
    snap.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    colour(snap);

    strip.setGeometry(16, Top, 969, Height);
    auto* layout = new QHBoxLayout(&strip);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->addWidget(&keys);
    layout->addSpacing(16);
    layout->addWidget(&advance);
    layout->addSpacing(16);
    layout->addWidget(&zoom);
    layout->addStretch();
    for (QWidget* w : {static_cast<QWidget*>(&keys), static_cast<QWidget*>(&advance),
                       static_cast<QWidget*>(&zoom)})
        w->setFont(stripFont());
    colour(zoom);
    colour(advance);
    // The window keeps the focus, so Space and the arrows stay shortcuts after a click here.
    keys.setFocusPolicy(Qt::NoFocus);
    advance.setFocusPolicy(Qt::NoFocus);
    showSnap(QStringLiteral("1/16"));
    showZoom(32);
}

void ChartingStrip::showSnap(const QString& name)
{
    snap.setText(QObject::tr("Snap %1").arg(name));
}

void ChartingStrip::showZoom(int cellWidth)
{
    zoom.setText(QObject::tr("Zoom %1 px a cell").arg(cellWidth));
}

} // namespace tavix
