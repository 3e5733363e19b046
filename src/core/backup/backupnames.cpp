#include "backupnames.h"

#include "torbfindfile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace BackupNames
{
QString DefaultName(const QDateTime& now, const QLocale& locale)
{
    QString name = TOrbFindFile::DateTimeText(now, locale);
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    name.replace(QLatin1Char('.'), QLatin1Char('-'));
    name.replace(QLatin1Char(':'), QLatin1Char('~'));
    return name;
}

QString ForbiddenCharacters()
{
    return QStringLiteral("\\/:*?\"<>|");
}

namespace
{
bool holdsForbidden(const QString& name)
{
    const QString forbidden = ForbiddenCharacters();
    return std::any_of(name.cbegin(), name.cend(), [&](QChar c) { return forbidden.contains(c); });
}
} // namespace

bool IsValidName(const QString& name)
{
    return !holdsForbidden(name) && !name.contains(QLatin1Char('.'));
}

QString Refusal(const QString& name)
{
    if (holdsForbidden(name))
        return InvalidNameWarning();
    if (name.contains(QLatin1Char('.')))
        return QCoreApplication::translate("BackupNames",
            "O nome da cópia de segurança não pode conter o caractere \".\" (ponto): uma cópia com ponto no nome "
            "não aparece na lista para restauração.");
    return QString();
}

QString InvalidNameWarning()
{
    return QCoreApplication::translate(
        "BackupNames", "Um nome de arquivo ou diretório não pode conter qualquer um dos caracteres seguintes:\r%1")
        .arg(ForbiddenCharacters());
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
