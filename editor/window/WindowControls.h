#pragma once

#include "ClickLabel.h"
#include "FieldEdit.h"
#include "Toolbar.h"

#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>

#include <memory>

namespace tavix {

class KeP;
class KeyCanvas;
class OverviewStrip;

// The window's controls, by their names, where the classic window has them, with its
// captions, fonts and colours; beyond them the bar of a song still decoding, the
// playback rate and metronome label right of the buttons, and the overview strip under
// everything. All are children of the window, made in the order that stacks them.
struct WindowControls
{
    static constexpr int ClientWidth = 998;
    // The classic controls fill 691 pixels; the overview strip, the charting strip and the
    // row of offers lie under them.
    static constexpr int ClientHeight = 796;
    static constexpr int OverviewTop = 684;

    WindowControls(QWidget* window, KeP& kep);
    ~WindowControls();

    QLabel BpmSet;
    ClickLabel sBpmB;
    FieldEdit sBpm;
    QLabel OffSet;
    ClickLabel slSetOff;
    FieldEdit sOff;
    QLabel mSet;
    QLabel MSeteD;
    QProgressBar decodeBar;
    QLabel Label1;
    QLabel scriptFile;
    QScrollBar TimeSet;
    QLabel cPosL;
    QLabel cPos;
    QLabel NofBeat;
    QLabel cBeat;
    ClickLabel Asp;
    QLabel listening;
    std::unique_ptr<KeyCanvas> Picture1;
    std::unique_ptr<OverviewStrip> overview;
    std::unique_ptr<Toolbar> toolbar;
};

} // namespace tavix
