#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace tavix {

// The controls of charting at the keyboard: the snap under the speed label, and a strip
// under the overview strip with the Keys and Report buttons, the zoom and the choice to
// move the cursor on after each key entered, and test play's controls. Nothing the classic window
// places moves.
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
};

} // namespace tavix
