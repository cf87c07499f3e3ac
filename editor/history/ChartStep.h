#pragma once

#include "ChartChange.h"
#include "WindowFacts.h"

#include <QUndoCommand>

#include <memory>

namespace tavix {

class ChartHistory;

// One user action on the undo stack: what it changed in the chart and, for the few that
// change more (a tempo commit, a chart open), the window's facts before and after it.
// The change is already made when the step is pushed, so the first redo does nothing.
class ChartStep : public QUndoCommand
{
public:
    // A step within a group has the group as its parent.
    ChartStep(ChartHistory& history, const QString& name, ChartChange change,
              QUndoCommand* parent = nullptr);
    ChartStep(ChartHistory& history, const QString& name, ChartChange change,
              const WindowFacts& before, const WindowFacts& after, QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

    const ChartChange& change() const { return m_change; }
    size_t memoryBytes() const;

private:
    struct Facts
    {
        WindowFacts before;
        WindowFacts after;
    };

    ChartHistory& m_history;
    ChartChange m_change;
    std::unique_ptr<Facts> m_facts;
    bool m_made = true; // made before it was pushed
};

} // namespace tavix
