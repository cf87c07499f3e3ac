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
// editor that ended without removing it. The chart and the side file are two files,
// replaced one after the other: the side file names the digest of the chart it was
// written with, so a pair that an ending editor left half renewed is told apart.
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
    // The newest set in `dir` that no running editor holds, locked for the caller. Side
    // files and locks that no chart and no running editor belong to any more go.
    static std::unique_ptr<RecoverySet> claimLeftBehind(const QString& dir);
    // The hex digest of a file's bytes; empty when it cannot be read.
    static QByteArray digestOf(const QString& path);

    const QString& dir() const { return m_dir; }
    const QString& id() const { return m_id; }
    QString chartPath() const;
    QString infoPath() const;
    QString lockPath() const;

    // Holds the set's lock for as long as this object lives (or until unlock()). False,
    // with the reason in `error`, when the folder cannot be made or another holds it.
    bool lock(QString* error = nullptr);
    bool isLocked() const;
    void unlock();

    // The side file, written whole or not at all.
    bool writeInfo(const RecoveryInfo& info, QString* error = nullptr) const;
    std::optional<RecoveryInfo> readInfo() const;
    bool hasChart() const;
    // Whether the chart is the one its side file was written with.
    enum class Pairing { Matching, Mismatched, NoSideFile, Unknown };
    Pairing pairing(const std::optional<RecoveryInfo>& info) const;
    // Removes the chart and its side file; the lock stays as it is.
    void remove() const;

private:
    QString m_dir;
    QString m_id;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace tavix
