#include "ChartStep.h"

#include "ChartHistory.h"

namespace tavix {

ChartStep::ChartStep(ChartHistory& history, const QString& name, ChartChange change,
                     QUndoCommand* parent)
    : QUndoCommand(name, parent), m_history(history), m_change(std::move(change))
{
}

ChartStep::ChartStep(ChartHistory& history, const QString& name, ChartChange change,
                     const WindowFacts& before, const WindowFacts& after, QUndoCommand* parent)
    : QUndoCommand(name, parent), m_history(history), m_change(std::move(change)),
      m_facts(std::make_unique<Facts>(Facts{before, after}))
{
}

void ChartStep::undo()
{
    m_history.stepApplied(m_change.undo(m_history.chart()), m_facts ? &m_facts->before : nullptr);
}

void ChartStep::redo()
{
    if (m_made) {
        m_made = false;
        return;
    }
    m_history.stepApplied(m_change.redo(m_history.chart()), m_facts ? &m_facts->after : nullptr);
}

size_t ChartStep::memoryBytes() const
{
    return sizeof(*this) + m_change.memoryBytes() - sizeof(m_change) +
           (m_facts ? sizeof(Facts) : 0);
}

} // namespace tavix
