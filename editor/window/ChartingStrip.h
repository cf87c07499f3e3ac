#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace tavix {

// The controls of charting at the keyboard: the snap under the speed label, and a strip
// under the overview strip with the Keys and Report buttons, the zoom and the choice to
// move the cursor on after each key entered, and test play's controls. Under it a row of
// its own for what is offered: the tempo found when a song opened, until used or
// dismissed. Nothing the classic window places moves.
struct ChartingStrip
{
    static constexpr int Top = 740;
    static constexpr int Height = 30;
    static constexpr int OffersTop = Top + Height;
    static constexpr int OffersHeight = 24;

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
    // The row of offers, and in it the tempo offered: what was found, a button that
    // applies it, one that dismisses it.
    QWidget offers;
    QWidget tempoOffer;
    QLabel tempoFound;
    QPushButton useTempo;
    QPushButton dismissTempo;

    // Shows `text` in the offer, shortened to the row's room (the whole of it in `tip`).
    void offerTempo(const QString& text, const QString& tip);
    void hideTempoOffer() { tempoOffer.hide(); }
    bool tempoOffered() const { return !tempoOffer.isHidden(); }
};

} // namespace tavix
