#include "backupnames.h"

#include "torbfindfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

namespace BackupNames
{
QString DefaultName(const QDateTime& now, const QLocale& locale)
{
    QString name = TOrbFindFile::DateTimeText(now, locale);
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    name.replace(QLatin1Char(':'), QLatin1Char('~'));
    return name;
}

QString ForbiddenCharacters()
{
    return QStringLiteral("\\/:*?\"<>|");
}

bool IsValidName(const QString& name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString forbidden = ForbiddenCharacters();
    for (const QChar c : name) {
        if (forbidden.contains(c))
            return false;
    }
    return true;
}

QString InvalidNameWarning()
{
    return QCoreApplication::translate(
               "BackupNames", "Um nome de arquivo ou diretório não pode conter qualquer um dos caracteres seguintes:")
        + QLatin1Char('\r') + ForbiddenCharacters();
}

QString DirectoryName(const QString& name)
{
    return QString::fromUtf16(Prefix) + name;
}

bool IsBackupEntry(const QString& entryName)
{
    return entryName.contains(QString::fromUtf16(Prefix), Qt::CaseSensitive) && !entryName.contains(QLatin1Char('.'));
}
} // namespace BackupNames
