#include "ChartingStrip.h"

#include <QHBoxLayout>
#include <QStyle>

#include <algorithm>

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

void fitToText(QPushButton& button)
{
    const QStyle& style = *button.style();
    const int sides = style.pixelMetric(QStyle::PM_ButtonMargin) +
                      style.pixelMetric(QStyle::PM_DefaultFrameWidth);
    button.setFixedWidth(button.fontMetrics().horizontalAdvance(button.text()) + 2 * sides);
}

} // namespace

ChartingStrip::ChartingStrip(QWidget* window)
    : snap(window), strip(window), keys(QObject::tr("Keys\u2026"), &strip),
      report(QObject::tr("Report\u2026"), &strip),
      advance(QObject::tr("Cursor on after each entry"), &strip), zoom(&strip),
      testPlay(QObject::tr("Test play"), &strip),
      chartSounds(QObject::tr("Hit sounds in test play"), &strip), judged(&strip), loop(&strip),
      offers(window), tempoOffer(&offers), tempoFound(&tempoOffer),
      useTempo(QObject::tr("Use it"), &tempoOffer),
      dismissTempo(QStringLiteral("\u00d7"), &tempoOffer)
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
    layout->addWidget(&report);
    layout->addSpacing(8);
    layout->addWidget(&advance);
    layout->addSpacing(8);
    layout->addWidget(&zoom);
    layout->addSpacing(8);
    layout->addWidget(&testPlay);
    layout->addWidget(&chartSounds);
    layout->addSpacing(4);
    layout->addWidget(&judged, 1);
    layout->addWidget(&loop);
    for (QWidget* w : {static_cast<QWidget*>(&keys), static_cast<QWidget*>(&report),
                       static_cast<QWidget*>(&advance), static_cast<QWidget*>(&zoom),
                       static_cast<QWidget*>(&testPlay), static_cast<QWidget*>(&chartSounds),
                       static_cast<QWidget*>(&judged), static_cast<QWidget*>(&loop)})
        w->setFont(stripFont());
    // As wide as their words, not the style's least width of a button, so that the test
    // play's line keeps the room its longest text needs.
    for (QPushButton* b : {&keys, &report})
        fitToText(*b);
    colour(zoom);
    colour(advance);
    colour(chartSounds);
    colour(judged);
    colour(loop);
    // The offers row, its items from the left; a little smaller than the strip's words.
    offers.setGeometry(16, OffersTop, 969, OffersHeight);
    auto* row = new QHBoxLayout(&offers);
    row->setContentsMargins(0, 0, 0, 2);
    row->addWidget(&tempoOffer);
    row->addStretch(1);
    auto* offer = new QHBoxLayout(&tempoOffer);
    offer->setContentsMargins(0, 0, 0, 0);
    offer->setSpacing(4);
    offer->addWidget(&tempoFound);
    offer->addWidget(&useTempo);
    offer->addWidget(&dismissTempo);
    QFont small = stripFont();
    small.setPointSizeF(10);
    for (QWidget* w : std::initializer_list<QWidget*>{&tempoFound, &useTempo, &dismissTempo})
        w->setFont(small);
    colour(tempoFound);
    dismissTempo.setToolTip(QObject::tr("Dismiss the tempo found"));
    for (QPushButton* b : {&useTempo, &dismissTempo}) {
        fitToText(*b);
        b->setFocusPolicy(Qt::NoFocus);
    }
    tempoOffer.hide();
    testPlay.setFocusPolicy(Qt::NoFocus);
    chartSounds.setFocusPolicy(Qt::NoFocus);
    // The window keeps the focus, so Space and the arrows stay shortcuts after a click here.
    keys.setFocusPolicy(Qt::NoFocus);
    report.setFocusPolicy(Qt::NoFocus);
    advance.setFocusPolicy(Qt::NoFocus);
    showSnap(QStringLiteral("1/16"));
    showZoom(32);
}

void ChartingStrip::offerTempo(const QString& text, const QString& tip)
{
    const int buttons = useTempo.width() + dismissTempo.width() + 2 * 4;
    const int room = std::max(0, offers.width() - buttons);
    tempoFound.setText(tempoFound.fontMetrics().elidedText(text, Qt::ElideRight, room));
    tempoFound.setToolTip(tip.isEmpty() ? text : tip);
    tempoOffer.show();
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
