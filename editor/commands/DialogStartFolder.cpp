#include "DialogStartFolder.h"

#include <QFileInfo>

#include <utility>

namespace tavix {

DialogStartFolder::DialogStartFolder(QString programDir, QString homeDir)
    : m_programDir(std::move(programDir)), m_homeDir(std::move(homeDir))
{
}

QString DialogStartFolder::current() const
{
    // Asked each time: the folder's rights may change while the editor runs.
    const QFileInfo program(m_programDir);
    if (!m_programDir.isEmpty() && program.isDir() && program.isWritable())
        return m_programDir;
    return m_lastUsed.isEmpty() ? m_homeDir : m_lastUsed;
}

void DialogStartFolder::remember(const QString& filePath)
{
    if (filePath.isEmpty())
        return;
    m_lastUsed = QFileInfo(filePath).absolutePath();
}

} // namespace tavix
