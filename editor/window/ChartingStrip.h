#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace tavix {

// The controls of charting at the keyboard: the snap under the speed label, and a strip
// under the overview strip with the Keys and Report buttons, the zoom and the choice to
// move the cursor on after each key entered, test play's controls, and the tempo found when a
// song opened, offered until used or dismissed. Nothing the classic window places moves, and
// the offer moves nothing either: it lies over the strip's right end, where test play's
// result line is, and only while it is offered.
struct ChartingStrip
{
    static constexpr int Top = 740;
    static constexpr int Height = 30;

    explicit ChartingStrip(QWidget* window);

    void showSnap(const QString& name);
    void showZoom(int cellWidth);

    QLabel snap;
    QWidget strip;
    QPushButton keys;
    QPushButton report; // the chart report
    QCheckBox advance;
    QLabel zoom;
    // Test play: its start, whether the chart's own hit sounds play in it, and how the
    // run goes.
    QPushButton testPlay;
    QCheckBox chartSounds;
    QLabel judged;
    QLabel loop; // the range a run repeats, if any
    // The tempo offered: what was found, a button that applies it, one that dismisses it.
    QWidget tempoOffer;
    QLabel tempoFound;
    QPushButton useTempo;
    QPushButton dismissTempo;

    // Shows `text` in the offer, shortened to the room there (the whole of it in `tip`).
    void offerTempo(const QString& text, const QString& tip);
    void hideTempoOffer() { tempoOffer.hide(); }
    bool tempoOffered() const { return !tempoOffer.isHidden(); }
};

} // namespace tavix
