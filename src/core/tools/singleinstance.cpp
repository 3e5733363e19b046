#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

SingleInstance::SingleInstance(const StationHome& home)
    : m_lock(lockFilePath(home))
{ }

SingleInstance::Result SingleInstance::tryAcquire()
{
    // The lock of a live program is never taken: QLockFile also holds a file lock on it, so
    // only a dead holder's file can be removed as stale.
    if (m_lock.tryLock(0))
        return Result::Acquired;
    return m_lock.error() == QLockFile::LockFailedError ? Result::AlreadyRunning : Result::Unguarded;
}

QString SingleInstance::lockFilePath(const StationHome& home)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    const QByteArray digest
        = QCryptographicHash::hash(canonicalHome(home).toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return dir + QStringLiteral("/colloqua-") + QString::fromLatin1(digest) + QStringLiteral(".lock");
}

QString SingleInstance::canonicalHome(const StationHome& home)
{
    QString existing = QDir::cleanPath(home.ProgramDir());
    QStringList missing;
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/")) {
        missing.prepend(QFileInfo(existing).fileName());
        existing = QFileInfo(existing).absolutePath();
    }
    QString path = QFileInfo(existing).canonicalFilePath();
    if (path.isEmpty())
        path = existing;
    for (const QString& part : std::as_const(missing))
        path = (path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/')) + part;
    return path;
}
