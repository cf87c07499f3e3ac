#pragma once

#include "ChartChange.h"
#include "WindowFacts.h"

#include <QObject>
#include <QUndoStack>

#include <functional>
#include <memory>

namespace tavix {

class ChartStep;
class KeP;

// The chart's undo history: one step per user action on a QUndoStack, each holding what
// the action changed. The stack's clean state is the chart as last saved or opened.
class ChartHistory : public QObject
{
    Q_OBJECT
public:
    explicit ChartHistory(KeP& kep, QObject* parent = nullptr);
    ~ChartHistory() override;

    KeP& chart() { return m_kep; }
    QUndoStack& stack() { return m_stack; }
    const QUndoStack& stack() const { return m_stack; }

    // Records a change already made as one step; an empty change records nothing. A
    // change that makes the chart's first grid begins the history: before it there was
    // no chart to go back to.
    void record(const QString& name, ChartChange change);
    // The same for an action that also changes the window's facts; recorded when it
    // changed the chart or the facts.
    void record(const QString& name, ChartChange change, const WindowFacts& before,
                const WindowFacts& after);

    bool canUndo() const { return m_stack.canUndo(); }
    bool canRedo() const { return m_stack.canRedo(); }
    void undo() { m_stack.undo(); }
    void redo() { m_stack.redo(); }

    bool isClean() const { return m_stack.isClean(); }
    void markSaved();
    // The chart matches no saved file (one restored after a crash), even undone.
    void markUnsaved();

    // The steps recorded from here to endGroup() become one step (none when none was
    // recorded), undone and redone as one: an action made of other actions. The saved
    // state asked for meanwhile is set at its end.
    void beginGroup(const QString& name);
    void endGroup();

    // The bytes the recorded steps hold beyond Qt's own bookkeeping of each.
    size_t recordBytes() const;

    // Told after a step is undone or redone: whether the chart was in the state the step
    // expected, and the window's facts the step puts back, when it has any.
    std::function<void(bool applied, const WindowFacts* facts)> onStepApplied;
    void stepApplied(bool applied, const WindowFacts* facts);

private:
    enum class SavedAtEnd { Keep, Saved, Unsaved };

    void push(ChartStep* step, const ChartChange& change, bool inGroup);
    QUndoCommand* groupParent();

    KeP& m_kep;
    QUndoStack m_stack;
    bool m_grouping = false;
    QString m_groupName;
    std::unique_ptr<QUndoCommand> m_group; // made with its first step
    SavedAtEnd m_savedAtEnd = SavedAtEnd::Keep;
};

} // namespace tavix
