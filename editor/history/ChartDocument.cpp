#include "ChartDocument.h"

namespace tavix {

void ChartDocument::prepareChange()
{
    if (beforeChange)
        beforeChange();
}

void ChartDocument::notifyChanged()
{
    if (changed)
        changed();
}

void ChartDocument::record(const QString& name, ChartChange change)
{
    m_history.record(name, std::move(change));
    notifyChanged();
}

void ChartDocument::recordKeepingSaved(const QString& name, ChartChange change)
{
    const bool wasSaved = !isModified();
    m_history.record(name, std::move(change));
    if (wasSaved)
        m_history.markSaved();
    notifyChanged();
}

void ChartDocument::record(const QString& name, ChartChange change, const WindowFacts& before,
                           const WindowFacts& after)
{
    m_history.record(name, std::move(change), before, after);
    notifyChanged();
}

bool ChartDocument::undo()
{
    prepareChange();
    if (!m_history.canUndo())
        return false;
    m_history.undo();
    return true;
}

bool ChartDocument::redo()
{
    prepareChange();
    if (!m_history.canRedo())
        return false;
    m_history.redo();
    return true;
}

bool ChartDocument::isModified() const
{
    return !m_history.isClean() || (changesWaiting && changesWaiting());
}

} // namespace tavix
