#pragma once

#include "RecoveryInfo.h"
#include "RecoverySet.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <functional>

namespace tavix {

class KeP;

// Keeps a chart with unsaved changes in a recovery set of its own: a set interval (30 s)
// after the first change since the last write, the chart is copied and written on a
// worker thread, so drawing and playback never wait for the disk. A write on demand (a
// termination signal) happens at once on the caller's thread. The files go when the
// chart has no unsaved changes any more.
class Autosave : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 30000;

    // `info` says what the chart belongs to at the moment of each write.
    Autosave(const KeP& kep, const QString& dir, std::function<RecoveryInfo()> info,
             int intervalMs = DefaultIntervalMs);
    ~Autosave() override;

    // The chart changed; while `modified` a write follows within the interval, otherwise
    // the recovery files are removed.
    void chartChanged(bool modified);
    // The chart has no unsaved changes (saved, undone back to the saved state, or
    // discarded): no more writes, and the recovery files go.
    void discard();
    // Writes the chart now on this thread, after any write in progress. False, with the
    // reason in lastError(), when it could not be written.
    bool writeNow();

    bool pending() const { return m_timer.isActive(); }
    bool writing() const { return m_busy; }
    int writes() const { return m_writes; }
    int intervalMs() const { return m_timer.interval(); }
    const QString& lastError() const { return m_lastError; }
    const RecoverySet& files() const { return m_set; }

signals:
    // After each write, on this object's thread.
    void written(bool ok);

private:
    void timeUp();
    void startWrite();
    void finished(quint64 serial, bool ok, const QString& error);
    void waitForWriter();

    const KeP& m_kep;
    std::function<RecoveryInfo()> m_info;
    RecoverySet m_set;
    QTimer m_timer;
    QThreadPool m_writer;
    bool m_dirty = false; // changed since the last copy was taken
    bool m_busy = false;
    bool m_again = false; // the interval ran out while a write was in progress
    quint64 m_serial = 0; // of the write in progress
    int m_writes = 0;
    QString m_lastError;
};

} // namespace tavix
