#include "ChartHistory.h"

#include "ChartStep.h"

namespace tavix {

ChartHistory::ChartHistory(KeP& kep, QObject* parent) : QObject(parent), m_kep(kep) {}

ChartHistory::~ChartHistory()
{
    // The steps refer to this history; they go first.
    m_stack.clear();
}

QUndoCommand* ChartHistory::groupParent()
{
    if (!m_grouping)
        return nullptr;
    if (!m_group)
        m_group = std::make_unique<QUndoCommand>(m_groupName);
    return m_group.get();
}

void ChartHistory::push(ChartStep* step, const ChartChange& change, bool inGroup)
{
    if (change.sizeBefore() == 0 && change.sizeAfter() > 0) {
        // A step of a group goes with the group, and so do the steps before it.
        if (inGroup)
            m_group.reset();
        else
            delete step;
        m_stack.clear();
        return;
    }
    if (!inGroup)
        m_stack.push(step);
}

void ChartHistory::record(const QString& name, ChartChange change)
{
    if (change.empty())
        return;
    QUndoCommand* group = groupParent();
    auto* step = new ChartStep(*this, name, std::move(change), group);
    push(step, step->change(), group != nullptr);
}

void ChartHistory::record(const QString& name, ChartChange change, const WindowFacts& before,
                          const WindowFacts& after)
{
    if (change.empty() && before == after)
        return;
    QUndoCommand* group = groupParent();
    auto* step = new ChartStep(*this, name, std::move(change), before, after, group);
    push(step, step->change(), group != nullptr);
}

void ChartHistory::markSaved()
{
    if (m_grouping)
        m_savedAtEnd = SavedAtEnd::Saved;
    else
        m_stack.setClean();
}

void ChartHistory::markUnsaved()
{
    if (m_grouping)
        m_savedAtEnd = SavedAtEnd::Unsaved;
    else
        m_stack.resetClean();
}

void ChartHistory::beginGroup(const QString& name)
{
    m_grouping = true;
    m_groupName = name;
    m_savedAtEnd = SavedAtEnd::Keep;
}

void ChartHistory::endGroup()
{
    if (!m_grouping)
        return;
    m_grouping = false;
    // Its steps are made already, as every step is when pushed: the first redo does nothing.
    if (m_group && m_group->childCount() > 0)
        m_stack.push(m_group.release());
    m_group.reset();
    if (m_savedAtEnd == SavedAtEnd::Saved)
        m_stack.setClean();
    else if (m_savedAtEnd == SavedAtEnd::Unsaved)
        m_stack.resetClean();
    m_savedAtEnd = SavedAtEnd::Keep;
}

void ChartHistory::stepApplied(bool applied, const WindowFacts* facts)
{
    if (onStepApplied)
        onStepApplied(applied, facts);
}

size_t ChartHistory::recordBytes() const
{
    size_t bytes = 0;
    const auto add = [&](const QUndoCommand* command) {
        if (const auto* step = dynamic_cast<const ChartStep*>(command))
            bytes += step->memoryBytes();
    };
    for (int i = 0; i < m_stack.count(); ++i) {
        const QUndoCommand* command = m_stack.command(i);
        add(command);
        for (int k = 0; k < command->childCount(); ++k)
            add(command->child(k));
    }
    return bytes;
}

} // namespace tavix
