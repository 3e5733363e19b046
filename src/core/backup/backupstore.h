#pragma once

#include <QString>
#include <QStringList>

class TOrbFindFile;

// The backups of a station home on disk: each a directory "Bk " + name directly in the home,
// holding a flat copy of the data directory's files.
namespace BackupStore
{
// The entries of `baseDir` taken as backups, bare names in the order of ListSubdirectories.
QStringList ListBackups(const QString& baseDir);

// Where a new backup stands before its files are copied.
enum class TargetState
{
    NothingToBackUp, // no data directory, or no file in it
    Created, // the target directory was made for it
    Exists, // the target directory is already there
    CannotCreate,
};
// Checks that `dataDir` holds a file, then makes `target` (one level) unless it exists.
TargetState PrepareTarget(TOrbFindFile& finder, const QString& dataDir, const QString& target);

// Deletes the files lying directly in `backupDir` (whatever their attributes), then the
// directory itself. A subdirectory keeps the directory, which is then not removed. True when
// the directory is gone.
bool DeleteBackup(TOrbFindFile& finder, const QString& backupDir);

// Renames the backup entry `entryName` of `baseDir` to "Bk " + `newName`. False, with nothing
// changed, for a name BackupNames refuses, a missing entry or a name already taken.
bool RenameBackup(const QString& baseDir, const QString& entryName, const QString& newName);

// The listed backup that `name` stands for: a listed entry of that exact name, else the one
// named "Bk " + `name`. Empty when there is none.
QString FindBackup(const QString& baseDir, const QString& name);
} // namespace BackupStore
