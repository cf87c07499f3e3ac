#pragma once

#include "RecoveryInfo.h"
#include "RecoverySet.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <vector>

namespace tavix {

class KeP;

// Keeps a chart with unsaved changes in a recovery set of its own: a set interval (30 s)
// after the first change since the last write, the chart is copied and written on a
// worker thread, so drawing and playback never wait for the disk. A write on demand (a
// termination signal) happens at once on the caller's thread. The files go when the
// chart has no unsaved changes any more, on the worker when a write is still going on.
// A copy that cannot be written keeps the changes marked and is tried again, sooner at
// first and then less often, until one is written; failingChanged() tells the window.
class Autosave : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 30000;
    // The first try again after a failed copy, doubled after each further failure.
    static constexpr int FirstRetryMs = 5000;
    static constexpr int LongestRetryMs = 300000;
    // How a copy goes to disk, on the worker thread: the chart's bytes and what it belongs
    // to, into the set's files. False, with the reason in `error`, when it could not.
    using Writer = std::function<bool(const RecoverySet& set, const std::vector<uint8_t>& grid,
                                      const RecoveryInfo& info, QString& error)>;

    // `info` says what the chart belongs to at the moment of each write.
    Autosave(const KeP& kep, const QString& dir, std::function<RecoveryInfo()> info,
             int intervalMs = DefaultIntervalMs);
    ~Autosave() override;

    // The chart changed; while `modified` a write follows within the interval, otherwise
    // the recovery files are removed.
    void chartChanged(bool modified);
    // The chart has no unsaved changes (saved, undone back to the saved state, or
    // discarded): no more writes, and the recovery files and their lock go.
    void discard();
    // Writes the chart now on this thread, after any write in progress. False, with the
    // reason in lastError(), when it could not be written.
    bool writeNow();
    // The editor ends at once (a termination signal): a chart with unsaved changes is
    // written now, otherwise the files go.
    void keepOnEnd(bool modified)
    {
        if (modified)
            writeNow();
        else
            discard();
    }
    // The default writes the chart, then its side file; tests slow it down or make it fail.
    void setWriter(Writer writer) { m_write = std::move(writer); }

    bool pending() const { return m_timer.isActive(); }
    bool writing() const { return m_busy; }
    int writes() const { return m_writes; }
    int intervalMs() const { return m_intervalMs; }
    // The last copy failed; lastError() says why.
    bool failing() const { return !m_lastError.isEmpty(); }
    const QString& lastError() const { return m_lastError; }
    const RecoverySet& files() const { return m_set; }

signals:
    // After each write, on this object's thread.
    void written(bool ok);
    // Copies began to fail, or one succeeded (or none is needed any more) after failures.
    void failingChanged(bool failing);

private:
    void timeUp();
    void startWrite();
    void finished(quint64 serial, bool ok, const QString& error);
    void removedAfter(quint64 serial);
    // The outcome of a copy that counts: a failure is tried again later.
    void report(bool ok, const QString& error);
    void setError(const QString& error);
    int retryDelayMs() const;
    void waitForWriter();

    const KeP& m_kep;
    std::function<RecoveryInfo()> m_info;
    Writer m_write;
    RecoverySet m_set;
    QTimer m_timer;
    QThreadPool m_writer;
    int m_intervalMs;
    bool m_dirty = false; // changed since the last copy was taken, or that copy failed
    bool m_busy = false;
    bool m_again = false; // the interval ran out while a write was in progress
    quint64 m_serial = 0; // of the latest copy
    quint64 m_letGo = 0;  // the copy in progress when the files were discarded
    int m_failures = 0;   // copies failed in a row
    int m_writes = 0;
    QString m_lastError;
};

} // namespace tavix
