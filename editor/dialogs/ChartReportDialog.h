#pragma once

#include "ChartChecks.h"
#include "ChartStats.h"

#include <QDialog>

#include <array>
#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace tavix {

class KeysPerMeasureGraph;

// What a chart holds and what in it a chart maker should look at: its figures, a graph of
// the keys in each measure, and the findings of the checks, one a line. A click on a
// finding, or Enter on it, shows its first cell. Modeless; the owner gives it a new report
// whenever the chart changes.
class CheckLimitsRow;

class ChartReportDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Figure { Keys, Chords, Markers, KeyedLength, KeysPerSecond, LongestRun, Count };

    explicit ChartReportDialog(std::function<void(int32_t cell)> showCell,
                               QWidget* parent = nullptr);

    void setReport(const ChartStats& stats, const std::vector<CheckFinding>& findings);

    // "Measure M (cells A-B): message", measures counted from 1.
    static QString findingLine(const CheckFinding& finding);

    QLabel& figure(Figure f) { return *m_figures[size_t(f)]; }
    QListWidget& findings() { return *m_findings; }
    KeysPerMeasureGraph& graph() { return *m_graph; }
    // The checks' limits, kept by the owner with the settings.
    CheckLimitsRow& limits() { return *m_limits; }

private:
    void chosen(const QListWidgetItem* item);

    std::function<void(int32_t)> m_showCell;
    std::array<QLabel*, size_t(Figure::Count)> m_figures{};
    KeysPerMeasureGraph* m_graph = nullptr;
    QLabel* m_findingsTitle = nullptr;
    QListWidget* m_findings = nullptr;
    CheckLimitsRow* m_limits = nullptr;
};

} // namespace tavix
