#include "SaveTarget.h"

#include <QFileInfo>

namespace tavix {

SaveTarget::SaveTarget(const QString& path) : m_path(path), m_atomic(path), m_direct(path) {}

bool SaveTarget::open()
{
    if (m_atomic.open(QIODevice::WriteOnly))
        return true;
    // Only a folder that refuses new files (no permission, or immutable) lets the target
    // be written in place; any other failure stays a failure.
    const QFileInfo target(m_path);
    const QFileInfo folder(target.absolutePath());
    if (!target.isFile() || !target.isWritable() || folder.isWritable())
        return false;
    m_inPlace = m_direct.open(QIODevice::WriteOnly | QIODevice::Truncate);
    return m_inPlace;
}

QIODevice& SaveTarget::device()
{
    if (m_inPlace)
        return m_direct;
    return m_atomic;
}

bool SaveTarget::commit()
{
    if (!m_inPlace)
        return m_atomic.commit();
    const bool flushed = m_direct.flush();
    m_direct.close();
    return flushed && m_direct.error() == QFileDevice::NoError;
}

void SaveTarget::cancel()
{
    if (m_inPlace)
        m_direct.close();
    else
        m_atomic.cancelWriting();
}

QString SaveTarget::errorString() const
{
    return m_inPlace ? m_direct.errorString() : m_atomic.errorString();
}

} // namespace tavix
