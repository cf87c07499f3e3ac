#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>

namespace tavix {

// Where a save writes. Normally a temporary file beside the target, which replaces it only
// once complete and flushed, so a failed save never harms the file that was there. A
// folder that refuses new files leaves no room for the temporary file: there an existing
// file that may be written is written in place, the best that folder allows (a failure
// midway may then harm it).
class SaveTarget
{
public:
    explicit SaveTarget(const QString& path);

    bool open();
    QIODevice& device();
    // Makes the new content the file's; false on failure, with errorString().
    bool commit();
    // Gives up: the temporary file goes, the target stays as it was (unless in place).
    void cancel();
    QString errorString() const;
    bool inPlace() const { return m_inPlace; }

private:
    QString m_path;
    QSaveFile m_atomic;
    QFile m_direct;
    bool m_inPlace = false;
};

} // namespace tavix
