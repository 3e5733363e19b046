#include "backupstore.h"

#include "backupnames.h"
#include "copyrun.h"
#include "torbfindfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace BackupStore
{
namespace
{
QString withSlash(const QString& dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}
} // namespace

QStringList ListBackups(const QString& baseDir)
{
    QStringList entries;
    ListSubdirectories(baseDir, entries);
    QStringList backups;
    for (const QString& entry : entries) {
        if (BackupNames::IsBackupEntry(entry))
            backups.append(entry);
    }
    return backups;
}

TargetState PrepareTarget(TOrbFindFile& finder, const QString& dataDir, const QString& target)
{
    if (!QFileInfo(dataDir).isDir())
        return TargetState::NothingToBackUp;
    if (CopyRun::FilesToCopy(finder, dataDir).isEmpty())
        return TargetState::NothingToBackUp;
    const QFileInfo info(target);
    if (info.exists() || info.isSymLink())
        return info.isDir() ? TargetState::Exists : TargetState::CannotCreate;
    return QDir().mkdir(target) ? TargetState::Created : TargetState::CannotCreate;
}

bool DeleteBackup(TOrbFindFile& finder, const QString& backupDir)
{
    finder.setDiretorio(backupDir);
    finder.setFiltros(QStringLiteral("*.*"));
    finder.setRecurse(false);
    finder.setAtributos(TOrbFindFile::DefaultAtributos);
    finder.Execute();
    // A file that cannot be deleted only keeps the directory.
    for (const QString& file : finder.InfoName_Files())
        QFile::remove(file);
    return QDir().rmdir(backupDir);
}

bool RenameBackup(const QString& baseDir, const QString& entryName, const QString& newName)
{
    if (!BackupNames::IsValidName(newName) || entryName.isEmpty() || entryName.contains(QLatin1Char('/')))
        return false;
    const QString from = withSlash(baseDir) + entryName;
    const QString to = withSlash(baseDir) + BackupNames::DirectoryName(newName);
    const QFileInfo target(to);
    // rename(2) would quietly replace an empty directory; the old name is kept instead.
    if (target.exists() || target.isSymLink() || !QFileInfo(from).exists())
        return false;
    return QDir().rename(from, to);
}

QString FindBackup(const QString& baseDir, const QString& name)
{
    const QStringList backups = ListBackups(baseDir);
    if (backups.contains(name))
        return name;
    const QString prefixed = BackupNames::DirectoryName(name);
    return backups.contains(prefixed) ? prefixed : QString();
}
} // namespace BackupStore
