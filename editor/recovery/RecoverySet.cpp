#include "RecoverySet.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QUuid>

namespace tavix {

namespace {

const QString Prefix = QStringLiteral("recovery-");

} // namespace

RecoverySet::RecoverySet(QString dir, QString id) : m_dir(std::move(dir)), m_id(std::move(id)) {}

RecoverySet::~RecoverySet() = default;

QString RecoverySet::newId()
{
    return QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
           QUuid::createUuid().toString(QUuid::Id128).left(12);
}

QString RecoverySet::chartPath() const
{
    return QDir(m_dir).filePath(Prefix + m_id + QStringLiteral(".zts"));
}

QString RecoverySet::infoPath() const
{
    return QDir(m_dir).filePath(Prefix + m_id + QStringLiteral(".json"));
}

QString RecoverySet::lockPath() const
{
    return QDir(m_dir).filePath(Prefix + m_id + QStringLiteral(".lock"));
}

bool RecoverySet::lock(QString* error)
{
    if (isLocked())
        return true;
    if (!QDir().mkpath(m_dir)) {
        if (error)
            *error =
                QObject::tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(m_dir));
        return false;
    }
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only an ended editor leaves a lock behind: never judge a lock by its age, as an
    // editor keeps its own for hours.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (error)
        *error = m_lock->error() == QLockFile::LockFailedError
                     ? QObject::tr("its lock %1 is held by another program")
                           .arg(QDir::toNativeSeparators(lockPath()))
                     : QObject::tr("its lock %1 cannot be made")
                           .arg(QDir::toNativeSeparators(lockPath()));
    m_lock.reset();
    return false;
}

bool RecoverySet::isLocked() const
{
    return m_lock && m_lock->isLocked();
}

void RecoverySet::unlock()
{
    m_lock.reset();
}

bool RecoverySet::writeInfo(const RecoveryInfo& info, QString* error) const
{
    QJsonObject o;
    o.insert(QStringLiteral("chart"), info.chartPath);
    o.insert(QStringLiteral("song"), info.songPath);
    o.insert(QStringLiteral("tempo"), info.tempoText);
    o.insert(QStringLiteral("offset"), info.offsetText);
    o.insert(QStringLiteral("saved"), info.savedAt.toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("chartDigest"), QString::fromLatin1(info.chartDigest));
    QSaveFile file(infoPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(o).toJson()) < 0 ||
        !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

std::optional<RecoveryInfo> RecoverySet::readInfo() const
{
    QFile file(infoPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    RecoveryInfo info;
    info.chartPath = o.value(QStringLiteral("chart")).toString();
    info.songPath = o.value(QStringLiteral("song")).toString();
    info.tempoText = o.value(QStringLiteral("tempo")).toString();
    info.offsetText = o.value(QStringLiteral("offset")).toString();
    info.savedAt =
        QDateTime::fromString(o.value(QStringLiteral("saved")).toString(), Qt::ISODateWithMs);
    info.chartDigest = o.value(QStringLiteral("chartDigest")).toString().toLatin1();
    return info;
}

bool RecoverySet::hasChart() const
{
    return QFileInfo::exists(chartPath());
}

void RecoverySet::remove() const
{
    QFile::remove(chartPath());
    QFile::remove(infoPath());
}

QByteArray RecoverySet::digestOf(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

RecoverySet::Pairing RecoverySet::pairing(const std::optional<RecoveryInfo>& info) const
{
    if (!info)
        return Pairing::NoSideFile;
    if (info->chartDigest.isEmpty())
        return Pairing::Unknown;
    return digestOf(chartPath()) == info->chartDigest ? Pairing::Matching : Pairing::Mismatched;
}

std::unique_ptr<RecoverySet> RecoverySet::claimLeftBehind(const QString& dir)
{
    // What an editor that ended while removing its set, or an earlier version, left.
    const QStringList rest = QDir(dir).entryList(
        {Prefix + QStringLiteral("*.json"), Prefix + QStringLiteral("*.lock")}, QDir::Files);
    for (const QString& name : rest) {
        RecoverySet set(dir, QFileInfo(name).completeBaseName().mid(Prefix.size()));
        if (!set.hasChart() && set.lock()) {
            set.remove();
            set.unlock();
        }
    }
    const QFileInfoList charts =
        QDir(dir).entryInfoList({Prefix + QStringLiteral("*.zts")}, QDir::Files, QDir::Time);
    // Newest first; the others stay for a later start.
    for (const QFileInfo& chart : charts) {
        const QString id = chart.completeBaseName().mid(Prefix.size());
        auto set = std::make_unique<RecoverySet>(dir, id);
        if (set->lock())
            return set;
    }
    return nullptr;
}

} // namespace tavix
