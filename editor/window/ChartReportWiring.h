#pragma once

#include "ChartChecks.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

namespace tavix {

class ChartReportDialog;
class KE;
class WaveformPeaks;
struct ChartingStrip;

// The chart report wired to the window: Ctrl+I or the strip's button opens it over the
// chart as it is, with the song's length and its levels once the song is read through,
// and while it is open it follows every change of the chart. A finding chosen in it puts
// the cursor and the view on the finding's first cell, except while the song plays. It
// never changes the chart.
class ChartReportWiring : public QObject
{
    Q_OBJECT
public:
    ChartReportWiring(KE& window, ChartingStrip& strip);
    ~ChartReportWiring() override;

    // Opens the report, or brings it to the front with its figures made anew.
    void open();
    // The chart changed: an open report is made again once the change is through.
    void chartChanged();
    ChartReportDialog* dialog() const;

private:
    void refresh();
    void showCell(int32_t cell);
    std::optional<SongLevels> levels();

    KE& m_window;
    QPointer<ChartReportDialog> m_dialog;
    bool m_pending = false;
    // The levels of the song last read through, kept while it stays the window's.
    std::weak_ptr<const WaveformPeaks> m_levelsOf;
    std::vector<float> m_levels;
    CheckThresholds m_limits;
};

} // namespace tavix
