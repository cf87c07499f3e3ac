#pragma once

#include "ChartChange.h"
#include "ChartEdit.h"
#include "ChartHistory.h"
#include "WindowFacts.h"

#include <QString>

#include <functional>
#include <utility>

namespace tavix {

class KeP;

// The chart as the commands change it: each change is made through the chart's editing
// interface and becomes one step of the history; the chart file it belongs to; and
// whether it differs from what was last saved or opened.
class ChartDocument
{
public:
    explicit ChartDocument(KeP& kep) : m_kep(kep), m_history(kep) {}

    KeP& chart() { return m_kep; }
    const KeP& chart() const { return m_kep; }
    ChartHistory& history() { return m_history; }
    const ChartHistory& history() const { return m_history; }

    // Runs before every change: changes made outside the history so far (the keys of a
    // playback run) become a step of their own first.
    std::function<void()> beforeChange;
    // Whether such changes are waiting; they count as unsaved.
    std::function<bool()> changesWaiting;
    // Runs after every change of the chart or of the history.
    std::function<void()> changed;

    // `writes` makes the change through the chart's editing interface; what it changed
    // becomes one step named `name`.
    template <typename Writes> void change(const QString& name, Writes&& writes)
    {
        prepareChange();
        ChartEdit edit(m_kep);
        writes(edit);
        record(name, edit.take());
    }
    // A change already made, as one step; an empty one records nothing.
    void record(const QString& name, ChartChange change);
    // The same for a change no user asked for (a song's length learned late): a chart as
    // saved stays saved.
    void recordKeepingSaved(const QString& name, ChartChange change);
    // The same for an action that also changes the window's facts.
    void record(const QString& name, ChartChange change, const WindowFacts& before,
                const WindowFacts& after);
    void prepareChange();
    // Tells that the chart or the history changed without a step (a save, an undo).
    void notifyChanged();

    // A step back or on through the history (after the waiting changes became one);
    // false when there is none.
    bool undo();
    bool redo();

    bool isModified() const;

    // The chart file last opened or saved (empty for none).
    const QString& path() const { return m_path; }
    void setPath(QString path) { m_path = std::move(path); }

private:
    KeP& m_kep;
    ChartHistory m_history;
    QString m_path;
};

} // namespace tavix
