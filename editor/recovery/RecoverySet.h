#pragma once

#include "RecoveryInfo.h"

#include <QString>

#include <memory>
#include <optional>

class QLockFile;

namespace tavix {

// The files that keep a chart with unsaved changes for recovery: the chart itself (a
// native chart file), a side file saying what it belongs to, and a lock file held by the
// editor that writes them. Every editor writes a set of its own, so two editors at once
// never write over each other's; a set whose lock is not held any more was left by an
// editor that ended without removing it.
class RecoverySet
{
public:
    RecoverySet(QString dir, QString id);
    ~RecoverySet();
    RecoverySet(const RecoverySet&) = delete;
    RecoverySet& operator=(const RecoverySet&) = delete;

    // A name no other editor uses: the process id and a random part, so that windows of
    // one process differ too.
    static QString newId();
    // The newest set in `dir` that no running editor holds, locked for the caller.
    static std::unique_ptr<RecoverySet> claimLeftBehind(const QString& dir);

    const QString& dir() const { return m_dir; }
    const QString& id() const { return m_id; }
    QString chartPath() const;
    QString infoPath() const;
    QString lockPath() const;

    // Holds the set's lock for as long as this object lives (or until unlock()).
    bool lock();
    bool isLocked() const;
    void unlock();

    // The side file, written whole or not at all.
    bool writeInfo(const RecoveryInfo& info, QString* error = nullptr) const;
    std::optional<RecoveryInfo> readInfo() const;
    bool hasChart() const;
    // Removes the chart and its side file; the lock stays as it is.
    void remove() const;

private:
    QString m_dir;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tavix
