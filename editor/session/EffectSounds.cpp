#include "EffectSounds.h"

#include "ResourceInit.h"

#include <QFile>

#include <cstring>

namespace tavix {

namespace {

QByteArray resourceBytes(const QString& resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes of a sound resource copied into a zero-filled block of their own size.
QByteArray soundBlock(const QString& resource)
{
    const QByteArray data = resourceBytes(resource);
    QByteArray block(data.size(), '\0');
    if (!data.isEmpty())
        std::memcpy(block.data(), data.constData(), size_t(data.size()));
    return block;
}

} // namespace

void EffectSounds::open()
{
    initSoundsResources();
    m_keyBlock = soundBlock(QStringLiteral(":/SOUND/PF"));
    for (int i = 0; i < MarkerSound; ++i)
        m_keySounds[size_t(i)] = m_engine.FSOUND_Stream_Open(
            m_keyBlock.constData(), FSOUND_MEMORY_MODE, 0, int(m_keyBlock.size()));
    m_markerBlock = soundBlock(QStringLiteral(":/SOUND/SP"));
    m_keySounds[MarkerSound] = m_engine.FSOUND_Stream_Open(
        m_markerBlock.constData(), FSOUND_MEMORY_MODE, 0, int(m_markerBlock.size()));
}

void EffectSounds::openMetronome()
{
    initSoundsResources();
    const std::array<const char*, 2> clips{":/SOUND/MB", ":/SOUND/MM"};
    for (size_t i = 0; i < clips.size(); ++i) {
        if (m_metronome[i] != 0)
            continue;
        QByteArray& block = m_clickBlocks[i];
        block = resourceBytes(QString::fromLatin1(clips[i]));
        if (!block.isEmpty())
            m_metronome[i] = m_engine.FSOUND_Stream_Open(block.constData(), FSOUND_MEMORY_MODE, 0,
                                                         int(block.size()));
    }
}

void EffectSounds::close()
{
    for (StreamHandle& handle : m_keySounds)
        m_engine.FSOUND_Stream_Close(handle);
    for (StreamHandle& handle : m_metronome)
        if (handle != 0)
            m_engine.FSOUND_Stream_Close(handle);
}

} // namespace tavix
