#pragma once

#include "WaveformPeaks.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QToolButton;

namespace tavix {

class KeP;

// The strip under the window's controls that shows the whole song at once: its waveform
// envelope, the chart's keys per measure as small bars, the confirm markers as ticks, the
// stretch the canvas shows as a highlighted frame and the play position. Its time axis is
// the time bar's, chart time from 0 to the bar's maximum, left to right over the song part.
// A click or a drag there chooses the time bar value of that point; the toggle at its
// right end switches the canvas's waveform and beat lines, and the button under it opens
// the tempo dialog. Stretches of the song where its beat drifts from the chart's one tempo
// are tinted.
class OverviewStrip : public QWidget
{
    Q_OBJECT

public:
    static constexpr int StripWidth = 969;
    static constexpr int StripHeight = 52;
    static constexpr int ToggleSize = 24;
    // The song part: everything left of the toggle.
    static constexpr int SongWidth = StripWidth - ToggleSize - 6;
    // Rows of the song part: marker ticks at the top, the envelope, the key bars under it.
    static constexpr int TickHeight = 5;
    static constexpr int EnvelopeTop = 6;
    static constexpr int EnvelopeHeight = 30;
    static constexpr int BarsBottom = StripHeight - 1;
    static constexpr int BarsHeight = 13;

    // What the strip shows besides the chart and the song.
    struct View
    {
        int32_t timeSetMaximum = 0; // the strip spans chart time 0 .. maximum x 100 ms
        int32_t viewFromMs = 0;     // chart time at the canvas's left and right edges
        int32_t viewToMs = 0;
        int32_t playMs = -1; // the play position while playing, else -1
        double leadMs = 0.0; // the song is heard this far behind the chart
    };

    OverviewStrip(const KeP& kep, QWidget* parent = nullptr);
    ~OverviewStrip() override;

    // A stretch of the song, in song time: it lies behind chart time by the lead, as the
    // envelope does.
    struct SongStretch
    {
        double fromMs = 0.0;
        double toMs = 0.0;
    };

    void setPeaks(std::shared_ptr<const WaveformPeaks> peaks);
    // The stretches tinted; none clears them.
    void markStretches(std::vector<SongStretch> stretches);
    // The columns of the song part each tinted stretch covers now, [first, last).
    std::vector<std::pair<int, int>> markedColumns() const;
    // Takes the state shown; repaints only when a pixel of it would change.
    void refresh(const View& view);
    // The toggle's state, set without reporting it back.
    void setGuidesShown(bool shown);
    bool guidesShown() const;
    QToolButton& guidesToggle() { return *m_toggle; }
    // Opens the tempo dialog.
    QToolButton& tempoButton() { return *m_tempo; }

    // The x of the song part where a chart time lies, and the time bar value of an x.
    double xOfMs(double chartMs) const;
    int32_t timeSetValueAt(double x) const;

    // Repaints asked for since the strip was made, for tests.
    int repaintsAsked() const { return m_repaintsAsked; }

signals:
    void timeSetChosen(int32_t value);
    void guidesToggled(bool shown);
    void tempoAsked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Everything a repaint depends on, in pixels where positions are concerned.
    struct Shown
    {
        int32_t maximum = 0;
        float beatRate = 0.0f;
        double leadMs = 0.0;
        int viewFromX = 0;
        int viewToX = 0;
        int playX = -1;
        int64_t peakBlocks = -1;
        std::vector<int32_t> keysPerMeasure;
        std::vector<int32_t> markerCells;
        bool operator==(const Shown&) const = default;
    };

    Shown shownFor(const View& view) const;
    void countKeys(Shown& shown) const;
    void choose(double x);
    void paintEnvelope(QPainter& painter);
    void paintChart(QPainter& painter);
    void paintStretches(QPainter& painter);

    const KeP& m_kep;
    std::shared_ptr<const WaveformPeaks> m_peaks;
    std::vector<SongStretch> m_stretches;
    QToolButton* m_toggle = nullptr;
    QToolButton* m_tempo = nullptr;
    Shown m_shown;
    std::vector<PeakRange> m_columns;
    // The chart is counted again at most a few times a second (a long one is large); a
    // count put off is made when the time comes, with the view last given.
    QElapsedTimer m_sinceCount;
    QTimer m_countLater;
    View m_lastView;
    int m_repaintsAsked = 0;
};

} // namespace tavix
