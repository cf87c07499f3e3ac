#include "ChartHistory.h"

#include "ChartStep.h"

namespace tavix {

ChartHistory::ChartHistory(KeP& kep, QObject* parent) : QObject(parent), m_kep(kep) {}

ChartHistory::~ChartHistory()
{
    // The steps refer to this history; they go first.
    m_stack.clear();
}

void ChartHistory::push(ChartStep* step, const ChartChange& change)
{
    if (change.sizeBefore() == 0 && change.sizeAfter() > 0) {
        delete step;
        m_stack.clear();
        return;
    }
    m_stack.push(step);
}

void ChartHistory::record(const QString& name, ChartChange change)
{
    if (change.empty())
        return;
    auto* step = new ChartStep(*this, name, std::move(change));
    push(step, step->change());
}

void ChartHistory::record(const QString& name, ChartChange change, const WindowFacts& before,
                          const WindowFacts& after)
{
    if (change.empty() && before == after)
        return;
    auto* step = new ChartStep(*this, name, std::move(change), before, after);
    push(step, step->change());
}

void ChartHistory::stepApplied(bool applied, const WindowFacts* facts)
{
    if (onStepApplied)
        onStepApplied(applied, facts);
}

size_t ChartHistory::recordBytes() const
{
    size_t bytes = 0;
    for (int i = 0; i < m_stack.count(); ++i)
        if (const auto* step = dynamic_cast<const ChartStep*>(m_stack.command(i)))
            bytes += step->memoryBytes();
    return bytes;
}

} // namespace tavix
